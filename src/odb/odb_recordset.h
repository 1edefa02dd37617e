#pragma once

#include <memory>
#include <vector>

#include "udb/udb_recordset.h"

class odb_connection;

// The rows of one statement's result, read into the universal record model: the schema comes
// from the result's columns (SQL Server types mapped onto the variant types, decimal precision
// and scale, date kinds) and every value keeps its type. A value the variant cannot hold
// exactly (a date before the year 100, a fraction finer than a millisecond, a decimal beyond
// 28 digits) is kept as its exact text instead. The rows are read at once, so the connection
// is free for the next statement while the caller walks them.
class odb_recordset : public udb_recordset {
 public:
  // Reads the first result set that has columns of the batch just sent on `connection`.
  explicit odb_recordset(odb_connection& connection);
  ~odb_recordset() override;

  // Rows are read only.
  void append_record(udb_record& record) override;
  udb_record* get_item() override;
  bool is_eof() override;
  void next() override;
  void reset() override;

  std::size_t size() const noexcept { return rows_.size(); }
  const udb_record& row(std::size_t i) const { return *rows_[i]; }

 private:
  std::vector<std::unique_ptr<udb_record>> rows_;
  std::size_t pos_ = 0;
};
