#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "odb/odb_bulk_copy.h"
#include "udb/udb_recordset.h"

class mss_database;
class odb_connection;

// The writer of one server table. Rows go through bulk copy when the engine says so, else as
// INSERT statements of many rows each (their dates unseparated, which the server reads faster),
// several to a round trip inside a transaction; a batch the server refuses is sent again row by
// row, so each refused record is reported with its own number
// through the reject handler, and the others still arrive. The client library sends an empty text
// or binary value only as NULL, and bulk copy gives a NULL the column's default: so a column gets
// an empty DEFAULT for the load and its empty values arrive as themselves, until a real NULL
// comes for it; from then on the column has no default, its empty N-texts travel as a private
// marker that one UPDATE turns back into '', and its other empty values go the INSERT way
// after the load, as do rows with narrow text the client cannot pass on unchanged. A column's
// own default goes the same way for the load once a real NULL comes for it. The defaults of
// the table's definition are back in place once the load has ended.
// flush() ends the load and compares the rows the server holds with the rows sent: a
// difference is a failure of the table, never a silent success.
class mss_table : public udb_recordset {
 public:
  // `columns` are the table's columns as created or read from the server; `existing_rows` is
  // the row count before this run appends (-1 for a table just created).
  mss_table(mss_database& database, const std::u16string& name, const udb_schema& columns,
            std::int64_t existing_rows);
  // Ends a load that flush() did not end; what it sent stays unchecked.
  ~mss_table() override;

  void append_record(udb_record& record) override;
  void flush() override;

  // Rows the server took so far (committed bulk batches and INSERTs that ran).
  std::int64_t rows_written() const override { return rows_loaded_ + rows_inserted_; }

  // A bulk batch ends at about k_batch_bytes of values, so that the server's commit at each
  // batch's end is paid seldom (measured on a million narrow rows: batches of 1,000 rows ran
  // 8.0 s, of 10,000 rows 6.2 s), and at k_batch_rows rows, which bounds the rows kept for
  // sending again one by one when the server refuses a batch. An INSERT batch holds at most
  // k_insert_batch_rows rows.
  static constexpr std::size_t k_batch_rows = 10000;
  static constexpr std::size_t k_insert_batch_rows = 4000;
  static constexpr std::size_t k_batch_bytes = 1 << 20;
  // Rows one INSERT statement carries at most: the server's limit of a VALUES list, and a byte
  // budget that keeps each statement quick to compile.
  static constexpr std::size_t k_statement_rows = 1000;
  static constexpr std::size_t k_statement_bytes = 1 << 20;

 private:
  struct pending_row {
    std::int64_t record_no;
    std::size_t end;  // end of its values in insert_text_
  };

  void start_bulk();
  void bulk_append(const udb_record& record);
  // False when the row must go as an INSERT instead.
  bool bind_row(const udb_record& record);
  bool bind_field(const udb_field& field, std::size_t column);
  void commit_bulk_batch();
  void end_bulk();
  void queue_insert(const udb_record& record);
  void queue_insert(const std::vector<udb_field>& fields, std::int64_t record_no);
  void send_inserts();
  void finish_loader();
  void restore_empty_texts();
  // What a column's DEFAULT is while bulk copy runs: the table's own, an empty one of the
  // load, or none at all, which a real NULL needs (bulk copy gives a NULL the default). A text
  // or binary column starts with an empty one, any other column with its own; a column of
  // another kind without one, and any column while the defaults cannot be changed, is
  // untouched.
  enum class load_default : std::uint8_t { untouched, own, empty, none };
  struct column_default {
    load_default state = load_default::untouched;
    bool eligible = false;  // a text or binary column
    bool has_own = false;
    bool own_empty = false;  // the own default is an empty value already
    std::u16string own_name, own_definition;
  };
  // Reads the table's defaults and sets each column's for the first record.
  void prepare_defaults(const udb_record& first);
  // Ends the bulk load under way and drops the defaults of the columns the record has a NULL
  // for, so that those NULLs arrive as NULL.
  void drop_defaults_for_nulls(const udb_record& record);
  void change_defaults(const std::vector<load_default>& wanted);
  void restore_defaults();
  bool takes_empty_as_null(std::size_t column) const;
  void check_counts();
  void set_identity_insert(bool on);

  mss_database& database_;
  odb_connection& connection();
  std::u16string safe_name_;
  std::string insert_prefix_;
  std::vector<odb_bulk_column> kinds_;
  bool identity_ = false;
  bool identity_insert_on_ = false;
  bool bulk_ = false;
  std::int64_t existing_rows_ = 0;
  std::int64_t rows_loaded_ = 0;
  std::int64_t rows_inserted_ = 0;
  std::int64_t rows_refused_ = 0;

  std::unique_ptr<odb_bulk_copy> loader_;
  // The rows of the bulk batch under way, kept until it is committed so that a refused batch
  // can be sent again row by row.
  std::vector<std::vector<udb_field>> kept_;
  std::vector<std::int64_t> kept_record_no_;
  std::size_t kept_rows_ = 0;
  std::size_t kept_bytes_ = 0;
  std::vector<bool> marked_columns_;  // columns whose empty texts travel as the marker
  std::vector<column_default> defaults_;
  bool defaults_prepared_ = false;
  std::string narrow_scratch_;
  // Rows waiting to go as INSERT statements: the statements and their records.
  std::string insert_text_;  // each row's values in parentheses, one after the other
  std::vector<pending_row> pending_;
  std::string batch_text_;  // the statements of one round trip
  // Rows bulk copy could not carry, sent as INSERTs once the load has ended.
  std::string deferred_text_;
  std::vector<pending_row> deferred_;
};
