#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mss/mss_dmp_stream.h"
#include "udb/udb_recordset.h"

class mss_dmp_database;

// The values of one row, formatted by a caller that reads them straight from its source:
// each column's literal, in the table's column order, separated by ", ".
class mss_row_values {
 public:
  virtual ~mss_row_values() = default;
  virtual void append_values(std::string& out) = 0;
};

// One table of the script: append_record writes one INSERT ... VALUES (...); GO block per
// row. The statement text up to VALUES is built once; each row is formatted straight into
// the buffer of the script's stream.
class mss_dmp_recordset : public udb_recordset {
 public:
  // Copies every descriptor of the schema.
  mss_dmp_recordset(mss_dmp_database& database, const std::u16string& table_name,
                    const udb_schema& schema);
  // Switches identity insert off again when it was switched on.
  ~mss_dmp_recordset() override;

  void append_record(udb_record& record) override;
  // Writes a row whose values the caller formats, once a record of `record_layout` went
  // through append_record with its fields in the columns' order; false (nothing written)
  // until then, or when the schema or names changed since: append_record must take it.
  bool append_values(mss_row_values& values, std::uint64_t record_layout);
  // The same in two steps, for rows formatted on another thread: whether rows of values are
  // taken now; the INSERT of a row of values appended to `out`, touching nothing of the
  // recordset; and such an INSERT written as the next row, false (nothing written) when rows
  // of values are not taken.
  bool takes_values(std::uint64_t record_layout) const;
  void format_values(std::string& out, mss_row_values& values) const;
  bool append_formatted(std::string_view row, std::uint64_t record_layout);

  bool has_identity() const noexcept { return has_identity_; }

 private:
  // The source name of every column, resolved again when the names map changes.
  void resolve_source_names();
  // Every column's source name is a field of the record; throws when one is missing.
  void check_field_names(const udb_record& record);
  // Writes one row, after the identity switch when due; `values` appends it. A failure takes
  // it back.
  template <class Values>
  void write_row(Values&& values);
  // Appends one INSERT; `values` appends its literals.
  template <class Values>
  void format_row(std::string& out, Values&& values) const;

  std::shared_ptr<mss_dmp_stream> stream_;
  std::u16string database_safe_name_;
  std::string safe_name_utf8_;
  std::string insert_prefix_;  // INSERT INTO t ([a], [b]) VALUES (
  std::vector<std::u16string> source_names_;
  std::uint64_t names_revision_ = 0;
  bool names_resolved_ = false;
  // The record layout whose field names were last found to match the columns.
  std::uint64_t checked_layout_ = 0;
  bool layout_checked_ = false;
  bool has_identity_ = false;
  bool identity_pending_ = true;
};
