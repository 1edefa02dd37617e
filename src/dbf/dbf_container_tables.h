#pragma once

// The tables of a source folder's Visual FoxPro database containers: which table files each
// container owns and the names the application knew them by, and the containers' relations
// as the universal model's foreign keys.

#include <string>
#include <vector>

#include "dbf/dbf_container.h"
#include "udb/udb_relationships.h"

struct dbf_container_table {
  std::u16string name;  // the container's spelling ("OrderDetails")
  std::string path;     // the table's file, found inside the source folder tree
  const dbf_dbc_table* entry = nullptr;
};

class dbf_container_set {
 public:
  // Reads every .dbc file of `folder`, or only `only` when it names one. A damaged container
  // and a table whose file is missing are reported at level 0 (the run goes on: the first's
  // tables convert as free tables, the second is left out); tables outside `folder`'s tree
  // count as missing.
  dbf_container_set(const std::string& folder, int cp, const std::string& only = {});
  dbf_container_set(const dbf_container_set&) = delete;
  dbf_container_set& operator=(const dbf_container_set&) = delete;

  const std::vector<dbf_container_table>& tables() const noexcept { return tables_; }
  // Whether a container of the folder was read.
  bool empty() const noexcept { return containers_.empty(); }
  // The containers read.
  const std::vector<dbf_container>& containers() const noexcept { return containers_; }

  // Each relation between two tables of tables() whose tags translate into fields: the child's
  // key fields referencing the parent's, ON UPDATE / ON DELETE from the referential integrity
  // rules (cascade where the container says so, else no action). Relations to a table left out
  // or through a tag that does not translate are traced at level 3.
  udb_relationships relationships() const;

 private:
  const dbf_container_table* find(const std::string& name) const;
  std::vector<std::string> key_fields(const dbf_container_table& table,
                                      const std::string& tag) const;

  std::vector<dbf_container> containers_;
  std::vector<dbf_container_table> tables_;
};
