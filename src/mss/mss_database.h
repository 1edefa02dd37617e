#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "odb/odb_database.h"
#include "odb/odb_meta_data.h"

class mss_table;
struct mss_constraint_sql;

// The destination database on a running server: it knows the tables the database already
// has, creates schemas, tables (CREATE TABLE with the server type mapping, NOT NULL, defaults,
// identity, case-sensitive text), their keys and indexes, foreign keys and views, and hands out
// the table writers that load the rows. Every statement runs at once on the database's
// connection; failures come back as odb_exceptions.
class mss_database : public odb_database {
 public:
  mss_database(std::u16string name, std::unique_ptr<odb_connection> connection, int mode);
  ~mss_database() override;

  bool is_table_exist(const std::u16string& name) override;
  void create_schema(const std::u16string& schema_name) override;
  // In append mode the rows for an existing table go into a load table of its columns and
  // join it in publish_table; otherwise an existing table is "The specified table already
  // exists". A new table is created under its load name and takes its own name in
  // publish_table, once its rows are in.
  std::unique_ptr<udb_recordset> create_table(const std::u16string& name, const udb_schema& schema,
                                              const udb_indexes& indexes) override;
  // Any index but a primary key (which create_table makes with the table) of a table
  // create_table made; meant for after the rows are in. A unique index the rows break is made plain
  // and reported.
  void create_index(const std::u16string& table, const udb_schema& schema,
                    const udb_index& index) override;
  // Lines telling of unique indexes made plain since the last call, for the run's report.
  std::vector<std::string> take_reports();
  void create_relationships(const udb_relationships& relationships) override;
  // Reported when rows break it (then made WITH NOCHECK) or the server refuses it.
  void create_check(const std::u16string& table, const std::u16string& name,
                    const std::u16string& condition) override;
  void create_views(const query_list& queries) override;
  std::string create_view(const std::u16string& name, const std::u16string& select) override;
  std::string describe(const std::u16string& table, const std::u16string& column,
                       const std::u16string& text) override;
  std::u16string object_name(const std::u16string& name) const override { return safe_name(name); }
  bool delete_tab(const std::u16string& name) override;
  // Rows for an existing table join it in one transaction, with the rows counted; rows it
  // refuses (a key they break) make it false and the load table goes.
  bool publish_table(const std::u16string& name) override;
  std::unique_ptr<udb_recordset> append_table(const std::u16string& name) override;
  // Drops a new table whose load did not end well, while the connection allows; else the next
  // run drops it (drop_leftovers).
  void discard_table(const std::u16string& name) override;
  // Drops the tables that runs which did not end left under load names; the lines telling of
  // each, for the run's report.
  std::vector<std::string> drop_leftovers();
  bool get_query(const std::u16string& name, std::u16string& text) override;
  // The table's rows, read at once.
  std::unique_ptr<udb_recordset> get_table(const std::u16string& name) override;

  // The owner-qualified, bracketed name statements use.
  std::u16string safe_name(std::u16string_view table) const;
  const std::u16string& owner() const noexcept { return owner_; }

  // The same database on a connection of its own, for a table loading beside the others.
  std::unique_ptr<mss_database> open_sibling() const;
  // Takes over what a sibling learned: the tables it created, their names and column names,
  // so that keys, checks and views after the loads find them here.
  void adopt(mss_database& sibling);
  // Opens a new connection when the current one was lost (once per call); true when it did.
  bool reconnect_if_lost();

 private:
  // A new table on its way in: the name it loads under and what a copy of it needs.
  struct staged_table {
    std::u16string load;        // owner-qualified, bracketed
    std::u16string definition;  // the column list of its CREATE TABLE
    udb_schema columns;
    udb_indexes primary;
    bool merge = false;              // rows for the existing table of the real name
    std::int64_t existing_rows = 0;  // of that table, before
  };

  // The writer of the load table of rows for the existing table `name`, with its columns as
  // the server has them.
  std::unique_ptr<mss_table> merge_into(const std::u16string& name);
  // publish_table of rows for an existing table.
  bool merge_rows(const std::u16string& name, const std::u16string& t, const staged_table& staged);
  // Drops the load table of `t` where the connection allows; else the next run does.
  void drop_load_table(const std::u16string& t, const std::u16string& load);
  // Moves the load table's rows into the table `t` and drops the load table.
  void move_rows(const std::u16string& t, const staged_table& staged);
  // Runs the statements as one transaction, rolled back when one fails.
  void in_transaction(const std::function<void()>& statements);

  void init_tables();
  // The table and owner of `name`, the owner this database's tables go to when it names none.
  std::pair<std::u16string, std::u16string> split_name(const std::u16string& name) const;
  // The owner-qualified, bracketed load name of the table `name`.
  std::u16string load_name(const std::u16string& name) const;
  // The columns of the existing table `name`; "does not exist" when it has none.
  std::vector<odb_column_meta> existing_columns(const std::u16string& name);
  std::int64_t row_count(const std::u16string& safe_table);
  // Publishes by copying the rows into a table of the real name, for servers whose rename
  // leaves their catalog views behind.
  void publish_by_copy(const std::u16string& name, const std::u16string& t,
                       const staged_table& staged);
  void create_clustered_index(std::u16string_view on, const udb_schema& schema);
  // `on` is the owner-qualified name the statement goes to, `table` the table's own name.
  void build_index(const std::u16string& table, std::u16string_view on, const udb_schema& schema,
                   const udb_index& index);
  // Runs an index statement; a refusal is traced and leaves the table without the index.
  void run_index_statement(const std::u16string& sql, const std::u16string& name);
  // Adds the constraint `what` names, checked, or WITH NOCHECK with a report when rows break it:
  // `broken` says so of the violation query's answer.
  void add_constraint(const std::string& what, const mss_constraint_sql& sql,
                      const std::function<std::string(const std::string&)>& broken);

  std::u16string owner_;
  bool pk_created_ = false;
  std::vector<std::string> reports_;
  std::vector<std::u16string> created_;            // safe names of the tables this run created
  std::map<std::u16string, staged_table> staged_;  // by safe name
};
