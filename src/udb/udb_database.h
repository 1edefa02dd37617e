#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "udb/udb_index.h"
#include "udb/udb_indexes.h"
#include "udb/udb_names_map.h"
#include "udb/udb_relationships.h"
#include "udb/udb_schema.h"

class udb_recordset;

// A database as the conversion sees it, source or destination: it lists, creates and drops
// tables, indexes, foreign keys, schemas and views, and keeps the source-to-destination name
// translations of what it created.
class udb_database {
 public:
  using query_list = std::vector<std::pair<std::u16string, std::u16string>>;  // (name, text)

  // case_sensitive: table names compare exactly; otherwise ignoring case.
  udb_database(std::u16string name, std::uint32_t kind, bool case_sensitive);
  virtual ~udb_database();
  udb_database(const udb_database&) = delete;
  udb_database& operator=(const udb_database&) = delete;

  virtual void create_schema(const std::u16string& schema_name);
  virtual std::unique_ptr<udb_recordset> create_table(const std::u16string& name,
                                                      const udb_schema& schema,
                                                      const udb_indexes& indexes) = 0;
  virtual void create_index(const std::u16string& table, const udb_schema& schema,
                            const udb_index& index);
  // create_index for every index, in order.
  virtual void create_indexes(const std::u16string& table, const udb_schema& schema,
                              const udb_indexes& indexes);
  virtual void create_views(const query_list& queries);
  // Creates the view `name` as `select`, written in the target's own SQL: empty when made,
  // else why not. The base makes none.
  virtual std::string create_view(const std::u16string& name, const std::u16string& select);
  // Describes the table `table`, or its column `column` when not empty: empty when done, else
  // why not. The base keeps no descriptions.
  virtual std::string describe(const std::u16string& table, const std::u16string& column,
                               const std::u16string& text);
  // How a statement names the table or view `name` (with its schema where the target has one).
  virtual std::u16string object_name(const std::u16string& name) const;
  virtual void delete_fk(const udb_relationship& relationship);
  virtual void delete_idx(const std::u16string& table, const udb_index& index);
  // Forgets the first table of that name; false when there is none.
  virtual bool delete_tab(const std::u16string& name);
  virtual bool get_query(const std::u16string& name, std::u16string& text) = 0;
  // Empties the list in the base.
  virtual void get_schema_info(std::vector<std::u16string>& schemas);
  // A table opened for reading, owned by the caller.
  virtual std::unique_ptr<udb_recordset> get_table(const std::u16string& name) = 0;
  // Not supported in the base (internal error).
  virtual int query(const std::u16string& sql);
  virtual bool test_query(const std::u16string& sql) = 0;
  virtual void create_relationships(const udb_relationships& relationships);
  // Adds the check `name` to the table `table` once its rows are in, `condition` written in the
  // target's own SQL. The base keeps none.
  virtual void create_check(const std::u16string& table, const std::u16string& name,
                            const std::u16string& condition);
  // A table create_table made takes its real name now that its rows are in; the base's tables
  // have it from the start. False when rows for an existing table could not join it as a
  // whole: nothing was added, and they go in through append_table instead.
  virtual bool publish_table(const std::u16string& name);
  // The writer that appends rows straight to the existing table `name`, each refused row on its
  // own; the base has none (internal error).
  virtual std::unique_ptr<udb_recordset> append_table(const std::u16string& name);
  // A table create_table made whose rows did not all arrive is removed where the target can.
  virtual void discard_table(const std::u16string& name);
  virtual std::vector<std::u16string>& get_tables();
  virtual bool is_table_exist(const std::u16string& name);

  const std::u16string& name() const noexcept { return name_; }
  std::uint32_t kind() const noexcept { return kind_; }
  bool case_sensitive() const noexcept { return case_sensitive_; }
  const std::vector<std::u16string>& tables() const noexcept { return tables_; }
  query_list& queries() noexcept { return queries_; }
  const query_list& queries() const noexcept { return queries_; }
  udb_names_map& names_map() noexcept { return names_map_; }
  const udb_names_map& names_map() const noexcept { return names_map_; }
  udb_relationships& relationships() noexcept { return relationships_; }
  const udb_relationships& relationships() const noexcept { return relationships_; }

 protected:
  // Position of the first table of that name under this database's comparison, -1 if none.
  std::int64_t find_table(std::u16string_view name) const;

  std::uint32_t kind_;
  std::u16string name_;
  bool case_sensitive_;
  query_list queries_;
  std::vector<std::u16string> tables_;
  udb_names_map names_map_;
  udb_relationships relationships_;
  std::uint32_t counter_ = 0;
};
