#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dbf/dbf_recordset.h"
#include "tk/tk_singleton.h"
#include "udb/udb_database.h"

// A folder of DBF tables: lists its "*.dbf" files as tables, opens them as recordsets with
// the user's code page mark, and creates, appends to and deletes tables.
class dbf_container_set;
struct dbf_dbc_table;

class dbf_database : public udb_database, public tk_singleton<dbf_database> {
 public:
  // `cp` is the user's encoding choice for every table: a code page mark or dbf_choice_utf8
  // (0 = each table keeps its own).
  dbf_database(std::u16string folder, int a_mode, int cp);
  ~dbf_database() override;

  std::unique_ptr<udb_recordset> create_table(const std::u16string& name, const udb_schema& schema,
                                              const udb_indexes& indexes) override;
  std::unique_ptr<dbf_recordset> create_table(const std::u16string& name, const udb_schema& schema);
  bool delete_tab(const std::u16string& name) override;
  bool get_query(const std::u16string& name, std::u16string& text) override;
  std::unique_ptr<udb_recordset> get_table(const std::u16string& name) override;
  std::unique_ptr<dbf_recordset> get_table(const std::u16string& name, int a_mode);
  bool test_query(const std::u16string& sql) override;

  // Folder + "/" + name, with ".dbf" appended unless the name ends with ".dbf" or ".dbt".
  std::u16string get_full_table_name(const std::u16string& name) const;
  // Writes an empty dBase III memo file for the table.
  void create_memo_file(const std::u16string& name);

  int codepage_mark() const { return cp_; }
  // The container's entry of the table `name`; null for a free table.
  const dbf_dbc_table* container_entry(const std::u16string& name) const;
  // The folder's database containers.
  const dbf_container_set& containers() const { return *containers_; }
  int mode() const { return mode_; }

 private:
  // The file of a listed table; other names give the full name resolved against the folder's
  // entries ignoring case.
  std::string resolve(const std::u16string& name) const;
  // Reads the folder's database containers (or only the one named `only`): their tables take
  // the names the containers give them, and their relations become the database's.
  void take_containers(const std::string& only);

  // The file name behind each listed table name, so that tables whose file names differ only
  // in case each open their own file.
  std::map<std::u16string, std::u16string> files_;
  // Tables of the folder's database containers, by the container's name.
  struct container_file {
    std::string path;
    const dbf_dbc_table* entry = nullptr;
  };
  std::map<std::u16string, container_file> container_files_;
  std::unique_ptr<dbf_container_set> containers_;
  int mode_;
  int cp_;
};
