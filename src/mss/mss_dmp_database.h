#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "mss/mss_dmp_stream.h"
#include "mss/mss_dump_options.h"
#include "udb/udb_database.h"

class mss_dmp_recordset;
struct mss_constraint_sql;

// The T-SQL script as a destination database: every operation appends its statements to the
// script file, and every created table is an mss_dmp_recordset writing one INSERT per row.
// Text is UTF-8 throughout; line ends are CR LF except after CREATE TABLE, CREATE INDEX,
// CREATE CLUSTERED INDEX and their GO, which end in LF alone.
class mss_dmp_database : public udb_database {
 public:
  // Creates the file and writes the header, the database block and SET QUOTED_IDENTIFIER.
  // A file that cannot be created or written raises a level-1 tk_exception_ex.
  mss_dmp_database(const std::u16string& file_name, const mss_dump_options& options);
  // Closes the file; a failure there is only traced, so call close() first to see it.
  ~mss_dmp_database() override;

  void create_schema(const std::u16string& schema_name) override;
  std::unique_ptr<udb_recordset> create_table(const std::u16string& name, const udb_schema& schema,
                                              const udb_indexes& indexes) override;
  void create_index(const std::u16string& table, const udb_schema& schema,
                    const udb_index& index) override;
  void create_views(const query_list& queries) override;
  std::string create_view(const std::u16string& name, const std::u16string& select) override;
  std::string describe(const std::u16string& table, const std::u16string& column,
                       const std::u16string& text) override;
  std::u16string object_name(const std::u16string& name) const override { return safe_name(name); }
  void delete_fk(const udb_relationship& relationship) override;
  void delete_idx(const std::u16string& table, const udb_index& index) override;
  bool delete_tab(const std::u16string& name) override;
  // The script holds no queries to read back.
  bool get_query(const std::u16string& name, std::u16string& text) override;
  // Reading a table back from a script is not supported (internal error).
  std::unique_ptr<udb_recordset> get_table(const std::u16string& name) override;
  // Writes the text followed by LF; returns 0.
  int query(const std::u16string& sql) override;
  bool test_query(const std::u16string& sql) override;
  void create_relationships(const udb_relationships& relationships) override;
  void create_check(const std::u16string& table, const std::u16string& name,
                    const std::u16string& condition) override;

  // The script's column type of a descriptor.
  std::u16string get_native_type(const t_ftd& column) const;
  std::u16string refine_view(std::u16string_view text) const;

  // Writes what is buffered and closes the file, raising a failure to write it (level 1).
  void close();

  const mss_dump_options& options() const noexcept { return options_; }
  // Shared with the recordsets, so a recordset outliving its database writes nowhere harmful.
  const std::shared_ptr<mss_dmp_stream>& stream() const noexcept { return stream_; }
  // The owner-qualified, bracketed name statements use for a table.
  std::u16string safe_name(std::u16string_view table) const;

 private:
  void write_header();
  void create_clustered_index(const std::u16string& table, const udb_schema& schema);
  void write_utf8(std::u16string_view text);
  void write(std::string_view bytes) { stream_->write(bytes); }
  // The constraint `what` names, added where the script runs; `broken` says what keeps it
  // from checking the rows.
  void write_constraint(const std::u16string& what, const std::u16string& broken,
                        const mss_constraint_sql& sql);

  std::shared_ptr<mss_dmp_stream> stream_;
  mss_dump_options options_;
};
