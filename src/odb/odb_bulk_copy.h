#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct ole_decimal;
struct ole_systemtime;
class odb_connection;

// How a value travels to one column in a bulk load: in the column's own binary form, text as
// UTF-16LE bytes (the client library copies bound bytes unconverted, also into N columns).
enum class odb_bulk_kind {
  tinyint,
  smallint,
  integer,
  bigint,
  bit,
  real,
  float8,
  money,
  numeric,
  datetime,
  date,
  time,
  datetime2,
  ntext,  // NCHAR/NVARCHAR/NTEXT: UTF-16LE
  text,   // CHAR/VARCHAR/TEXT: bytes as given
  binary,
  guid,  // text form, converted by the library
};

struct odb_bulk_column {
  odb_bulk_kind kind = odb_bulk_kind::ntext;
  int precision = 0;  // numeric only
  int scale = 0;      // numeric only
};

// A bulk load into one table of the connection's current database, over db-lib's bcp calls.
// Each row is filled column by column (set_...), then sent; batch() commits what was sent;
// finish() ends the load. Every failure the library or the server reports is an odb_exception
// (a failed batch or end fails the table: its rows did not all arrive). The client library
// cannot send an empty text or binary value (it takes a length of 0 for NULL), so set_text and
// set_bytes refuse an empty value and the caller sends such rows another way.
class odb_bulk_copy {
 public:
  // `table` is the owner-qualified name as the server takes it.
  // `keep_identity`: identity columns take the values sent instead of generating them.
  odb_bulk_copy(odb_connection& connection, const std::u16string& table,
                std::vector<odb_bulk_column> columns, bool keep_identity);
  // A load not finished is ended without committing its last batch.
  ~odb_bulk_copy();
  odb_bulk_copy(const odb_bulk_copy&) = delete;
  odb_bulk_copy& operator=(const odb_bulk_copy&) = delete;

  void set_null(std::size_t column);
  void set_integer(std::size_t column, std::int64_t value);
  void set_double(std::size_t column, double value);
  // Ten-thousandths.
  void set_money(std::size_t column, std::int64_t value);
  // False when the value needs more integer digits than the column has.
  bool set_numeric(std::size_t column, const ole_decimal& value);
  void set_datetime(std::size_t column, const ole_systemtime& value);
  void set_text(std::size_t column, std::u16string_view value);
  void set_narrow_text(std::size_t column, std::string_view value);
  void set_bytes(std::size_t column, std::span<const std::uint8_t> value);

  void send_row();
  // Commits the rows sent since the last batch; returns how many the server took.
  std::int64_t batch();
  // Commits the rest and ends the load; returns how many rows the last batch held.
  std::int64_t finish();

  std::size_t columns() const noexcept { return columns_.size(); }
  const odb_bulk_column& column(std::size_t i) const { return columns_[i]; }

 private:
  struct slot;
  void bind(std::size_t column);

  odb_connection& connection_;
  std::vector<odb_bulk_column> columns_;
  std::vector<slot> slots_;
  std::int64_t rows_sent_ = 0;  // since the last batch
  bool open_ = false;
};
