#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/mssql_converter_impl.h"
#include "app/talvex_folder_tables.h"
#include "tk/tk_secret_store.h"
#include "tk/tk_serializer.h"
#include "tk/tk_singleton.h"

class udb_database;
class udb_recordset;
class dbf_recordset;
class mss_tn_validator;
class dbf_database;
struct mss_view_source;
class udb_schema;

// Reports how far the running table has come; the console draws a progress line with it.
class conversion_progress {
 public:
  virtual ~conversion_progress() = default;
  virtual void records(std::int64_t done, std::int64_t total) = 0;
  virtual void table_end() = 0;
};

// The application object: every setting of a conversion, remembered between runs and in
// profile files, and the conversion itself (operator()).
class talvex_converter : public mssql_converter_impl,
                         public tk_serializer,
                         public tk_singleton<talvex_converter> {
 public:
  // `console`: the console program restores and stores only the four dump values and
  // starts from its own defaults, and stores them again when it goes. The wizard stores its
  // settings only when asked (store_settings), so that a cancelled wizard changes nothing.
  // `secrets` (not owned, may be null) keeps a remembered password; none: it is not kept.
  explicit talvex_converter(bool console = true, tk_secret_store* secrets = nullptr);
  ~talvex_converter() override;

  // Runs one conversion on the current settings; failures go to the error handler.
  void operator()();

  // Prepares the destination once the options are known. Dump: common_check_dest for a file
  // (the old script is kept until the new one replaces it); standard output sends the console
  // lines to standard error; a pipe or device is left untouched for the writer.
  void check_dest();

  // Reads or writes the remembered settings; false when the store cannot be opened.
  bool serialize(bool store);
  bool store_settings() { return serialize(true); }
  // Whether a secret store answers, asked of it once (nothing is asked without a store).
  bool secret_store_answers();
  bool store_profile(const std::string& path);
  // True when the profile was read and applied.
  bool load_profile(const std::string& path);

  // The progress sink of the running conversion (not owned), or null.
  void set_progress(conversion_progress* progress) { progress_ = progress; }

  bool direct = true;     // true: a server database; false: a T-SQL dump file
  bool bool_dbf = true;   // logical columns as 'T'/'F'; false: 1/0
  bool skip_del = false;  // leave out records marked as deleted
  // The password is kept between runs, in the secret store only, when this is set.
  bool remember_pswd = false;
  // Each scenario's own destination, remembered apart; `dest` is the one a run uses.
  std::u16string dest_database;
  std::u16string dest_script;
  std::int32_t code_page = 0;  // DBF code page mark for text; 0 = each table's own
  // The wizard's choice of tables in each source folder it has seen (the console keeps none).
  talvex_folder_tables folder_tables;

  // Set when the last run ended on a failure no error level describes (the console then
  // exits with -1 instead of reporting success).
  bool failed = false;

  // What the last run moved, for its closing summary.
  struct run_totals {
    int tables_converted = 0;
    int tables_failed = 0;
    int tables_skipped = 0;  // already there, left as they are
    std::int64_t rows_read = 0;
    std::int64_t rows_written = 0;
    std::int64_t rows_skipped = 0;  // deleted records left out
    std::int64_t records_failed = 0;

    run_totals& operator+=(const run_totals& more);
  };
  const run_totals& totals() const noexcept { return totals_; }
  // What the last run did with each table of its list, in the list's order.
  struct table_totals {
    enum class outcome { converted, failed, skipped, missing };
    std::u16string name;
    outcome result = outcome::converted;
    std::int64_t rows_read = 0;
    std::int64_t rows_written = 0;
    std::int64_t rows_skipped = 0;  // deleted records left out
    std::int64_t records_failed = 0;
    double seconds = 0;
  };
  const std::vector<table_totals>& tables() const noexcept { return tables_; }
  // How long the last run took, in seconds.
  double run_seconds() const noexcept { return run_seconds_; }
  // "Tables converted: ..., records failed: ..." for the totals.
  static std::string summary_line(const run_totals& totals);

  // The tables loading at this moment when several load at once, in the order they started;
  // empty while tables load one after the other.
  std::vector<std::u16string> running_tables() const;

 private:
  // One table on its way: its counters while it loads, and what it moved.
  struct table_run {
    explicit table_run(std::u16string table) : name(std::move(table)) {}

    std::u16string name;
    std::int64_t records_total = 0;
    std::int64_t records_done = 0;
    run_totals totals;
    bool shown = false;  // the front ends' progress counters follow this table
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  };

  std::unique_ptr<udb_database> open_target();
  // Converts the selected tables one after the other on the target's connection.
  void convert_in_turn(dbf_database& source, udb_database& target, mss_tn_validator& names,
                       std::vector<std::u16string>& converted);
  // Converts the selected tables `jobs` at a time, each job on a connection of its own.
  void convert_in_parallel(dbf_database& source, mss_database& target, mss_tn_validator& names,
                           int jobs, std::vector<std::u16string>& converted);
  // Adds a finished table's numbers to the run's and to the list of its tables.
  void count_table(const table_run& run, table_totals::outcome result);
  // The outcome of a table convert_table passed over: skipped as existing, or missing.
  static table_totals::outcome passed_over(const table_run& run);
  // A line a user reads: traced at level 3, and on the console program's console.
  void tell(const std::string& line);
  // Level-0 findings of the server writer (a key the rows break) through the error handler.
  void report_server_findings(udb_database& target, const std::u16string& context);
  // The container comments of the tables this run converted as their descriptions.
  void describe_tables(dbf_database& source, udb_database& target,
                       const std::vector<std::u16string>& converted);
  // The source's local views over the tables this run converted, after all of them.
  void create_views(dbf_database& source, udb_database& target,
                    const std::vector<std::u16string>& converted);
  // The source's foreign keys between tables this run converted, after all of them.
  void create_relationships(const dbf_database& source, udb_database& target,
                            const std::vector<std::u16string>& converted);
  // The container's validation rules of the tables this run converted as checks, after all
  // of them; rules and defaults that do not translate are told.
  void create_checks(dbf_database& source, udb_database& target,
                     const std::vector<std::u16string>& converted);
  // The names and columns of the converted table `table` as a view or rule reads them.
  static mss_view_source view_source(udb_database& target, const std::u16string& table,
                                     const udb_schema& schema);
  // False when the table was passed over (missing, or skipped as existing).
  bool convert_table(dbf_database& source, udb_database& target, mss_tn_validator& names,
                     table_run& run);
  void copy_records(dbf_recordset& source, udb_recordset& target, table_run& run);

  // The secret store's key for the password of `user` on `host`.
  std::u16string secret_key() const;
  void store_secret();

  bool console_;
  tk_secret_store* secrets_;
  // What the secret store last answered; unknown until it is asked.
  enum class secret_state { unknown, answers, silent } secret_state_ = secret_state::unknown;
  std::u16string remembered_key_;  // the key the password was read from or written under
  conversion_progress* progress_ = nullptr;
  run_totals totals_;
  // Held while a table is looked up, named and created: the source and the names are shared
  // by the jobs.
  std::mutex preparing_;
  // Held while a table's numbers join the run's, and over running_ and tables_.
  mutable std::mutex counting_;
  std::vector<std::u16string> running_;
  std::vector<table_totals> tables_;
  double run_seconds_ = 0;
};

// Seconds from `start` until now.
double talvex_seconds_since(std::chrono::steady_clock::time_point start);

// Refusals for a file destination (tk_exception, level 1): a folder, an existing file that
// cannot be opened for reading and writing, or a path in a missing folder.
void common_check_dest(const std::string& path);
