// Bulk loading through db-lib's bcp calls: one bound buffer per column, refilled per row.
#include "odb/odb_bulk_copy.h"

#include <cstring>

#include "odb/odb_connection.h"
#include "odb/odb_dblib.h"
#include "odb/odb_exception.h"
#include "odb/odb_numeric.h"
#include "ole/ole_decimal.h"
#include "ole/ole_systemtime.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"

struct odb_bulk_copy::slot {
  union {
    std::uint8_t u8;
    std::int16_t i16;
    std::int32_t i32;
    std::int64_t i64;
    float r4;
    double r8;
    DBMONEY money;
    DBDATETIME datetime;
    DBDATETIMEALL all;
    DBNUMERIC numeric;
  } fixed{};
  std::string bytes;  // variable-length values
  int host_type = SYBCHAR;
  bool variable = false;
};

namespace {

// Days from 1900-01-01 to the given civil date (negative before it).
std::int32_t days_since_1900(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t days_from_epoch = static_cast<std::int64_t>(era) * 146097 + doe - 719468;
  return static_cast<std::int32_t>(days_from_epoch + 25567);  // 1970-01-01 is day 25567
}

int host_type_of(odb_bulk_kind kind) {
  switch (kind) {
    case odb_bulk_kind::tinyint:
      return SYBINT1;
    case odb_bulk_kind::smallint:
      return SYBINT2;
    case odb_bulk_kind::integer:
      return SYBINT4;
    case odb_bulk_kind::bigint:
      return SYBINT8;
    case odb_bulk_kind::bit:
      return SYBBIT;
    case odb_bulk_kind::real:
      return SYBREAL;
    case odb_bulk_kind::float8:
      return SYBFLT8;
    case odb_bulk_kind::money:
      return SYBMONEY;
    case odb_bulk_kind::numeric:
      return SYBNUMERIC;
    case odb_bulk_kind::datetime:
      return SYBDATETIME;
    case odb_bulk_kind::date:
      return SYBMSDATE;
    case odb_bulk_kind::time:
      return SYBMSTIME;
    case odb_bulk_kind::datetime2:
      return SYBMSDATETIME2;
    case odb_bulk_kind::binary:
      return SYBBINARY;
    case odb_bulk_kind::ntext:
    case odb_bulk_kind::text:
    case odb_bulk_kind::guid:
      return SYBCHAR;
  }
  return SYBCHAR;
}

DBINT fixed_length(odb_bulk_kind kind) {
  switch (kind) {
    case odb_bulk_kind::numeric:
      return sizeof(DBNUMERIC);
    default:
      return -1;  // the library knows the size of its fixed types
  }
}

}  // namespace

odb_bulk_copy::odb_bulk_copy(odb_connection& connection, const std::u16string& table,
                             std::vector<odb_bulk_column> columns, bool keep_identity)
    : connection_(connection), columns_(std::move(columns)), slots_(columns_.size()) {
  TK_WLOG(2, "odb_bulk_copy::ctor(%s)", table);
  connection_.clear_pending();
  const std::string name = tk_to_utf8_lossy(table);
  if (bcp_init(connection_.handle(), name.c_str(), nullptr, nullptr, DB_IN) == FAIL) {
    connection_.throw_pending("starting a bulk load");
    throw odb_exception("The bulk load of " + name + " could not be started.");
  }
  open_ = true;
  if (keep_identity && bcp_control(connection_.handle(), BCPKEEPIDENTITY, 1) == FAIL) {
    connection_.throw_pending("keeping identity values");
    throw odb_exception("The bulk load of " + name + " cannot keep identity values.");
  }
  for (std::size_t i = 0; i < columns_.size(); ++i) bind(i);
}

odb_bulk_copy::~odb_bulk_copy() {
  if (open_ && !connection_.is_dead()) {
    // Ending the load is the only way to free the connection again; the caller already
    // reports the failure that brought us here.
    bcp_done(connection_.handle());
    connection_.clear_pending();
  }
}

void odb_bulk_copy::bind(std::size_t column) {
  slot& s = slots_[column];
  const odb_bulk_kind kind = columns_[column].kind;
  s.host_type = host_type_of(kind);
  s.variable = kind == odb_bulk_kind::ntext || kind == odb_bulk_kind::text ||
               kind == odb_bulk_kind::binary || kind == odb_bulk_kind::guid;
  BYTE* address =
      s.variable ? reinterpret_cast<BYTE*>(s.bytes.data()) : reinterpret_cast<BYTE*>(&s.fixed);
  const DBINT length = s.variable ? 0 : fixed_length(kind);
  if (bcp_bind(connection_.handle(), address, 0, length, nullptr, 0, s.host_type,
               static_cast<int>(column + 1)) == FAIL) {
    try {
      connection_.throw_pending("binding a bulk load column");
    } catch (const odb_exception& e) {
      throw odb_exception("Column " + std::to_string(column + 1) + ": " + e.message());
    }
    throw odb_exception("Column " + std::to_string(column + 1) + " cannot be bulk loaded.");
  }
}

void odb_bulk_copy::set_null(std::size_t column) {
  bcp_collen(connection_.handle(), 0, static_cast<int>(column + 1));
}

void odb_bulk_copy::set_integer(std::size_t column, std::int64_t value) {
  slot& s = slots_[column];
  switch (columns_[column].kind) {
    case odb_bulk_kind::tinyint:
    case odb_bulk_kind::bit:
      s.fixed.u8 = static_cast<std::uint8_t>(value);
      break;
    case odb_bulk_kind::smallint:
      s.fixed.i16 = static_cast<std::int16_t>(value);
      break;
    case odb_bulk_kind::integer:
      s.fixed.i32 = static_cast<std::int32_t>(value);
      break;
    default:
      s.fixed.i64 = value;
  }
  bcp_collen(connection_.handle(), -1, static_cast<int>(column + 1));
}

void odb_bulk_copy::set_double(std::size_t column, double value) {
  slot& s = slots_[column];
  if (columns_[column].kind == odb_bulk_kind::real) {
    s.fixed.r4 = static_cast<float>(value);
  } else {
    s.fixed.r8 = value;
  }
  bcp_collen(connection_.handle(), -1, static_cast<int>(column + 1));
}

void odb_bulk_copy::set_money(std::size_t column, std::int64_t value) {
  slot& s = slots_[column];
  const auto raw = static_cast<std::uint64_t>(value);
  s.fixed.money.mnyhigh = static_cast<DBINT>(static_cast<std::int32_t>(raw >> 32));
  s.fixed.money.mnylow = static_cast<DBUINT>(raw & 0xFFFFFFFFu);
  bcp_collen(connection_.handle(), -1, static_cast<int>(column + 1));
}

bool odb_bulk_copy::set_numeric(std::size_t column, const ole_decimal& value) {
  const odb_bulk_column& c = columns_[column];
  odb_u128 mag = (static_cast<odb_u128>(value.hi32) << 64) | value.lo64;
  const int from = value.scale;
  if (c.scale >= from) {
    // At most 96 bits times 10^38 overflows; compare against the limit first.
    const odb_u128 factor = odb_pow10(c.scale - from);
    if (mag != 0 && odb_pow10(c.precision) / factor <= mag) return false;
    mag *= factor;
  } else {
    const odb_u128 divisor = odb_pow10(from - c.scale);
    const odb_u128 rest = mag % divisor;
    mag /= divisor;
    if (rest * 2 >= divisor) ++mag;  // half away from zero, as the server rounds
  }
  if (mag >= odb_pow10(c.precision)) return false;
  DBNUMERIC& n = slots_[column].fixed.numeric;
  std::memset(&n, 0, sizeof n);
  n.precision = static_cast<BYTE>(c.precision);
  n.scale = static_cast<BYTE>(c.scale);
  n.array[0] = value.is_negative() && mag != 0 ? 1 : 0;
  const int bytes = odb_numeric_bytes(c.precision) - 1;
  for (int i = bytes; i >= 1; --i) {
    n.array[i] = static_cast<unsigned char>(mag & 0xFF);
    mag >>= 8;
  }
  bcp_collen(connection_.handle(), sizeof(DBNUMERIC), static_cast<int>(column + 1));
  return true;
}

void odb_bulk_copy::set_datetime(std::size_t column, const ole_systemtime& v) {
  slot& s = slots_[column];
  const odb_bulk_kind kind = columns_[column].kind;
  const std::int64_t ms = ((v.hour * 60 + v.minute) * 60 + v.second) * 1000LL + v.milliseconds;
  const std::int32_t days = v.year == 0 ? 0 : days_since_1900(v.year, v.month, v.day);
  if (kind == odb_bulk_kind::datetime) {
    s.fixed.datetime.dtdays = days;
    // Ticks of 1/300 second, as DATETIME keeps them.
    s.fixed.datetime.dttime = static_cast<DBINT>((ms * 300 + 500) / 1000);
  } else {
    std::memset(&s.fixed.all, 0, sizeof s.fixed.all);
    s.fixed.all.date = days;
    s.fixed.all.time = static_cast<DBUBIGINT>(ms) * 10000u;
    s.fixed.all.time_prec = 7;
    s.fixed.all.has_date = kind != odb_bulk_kind::time ? 1 : 0;
    s.fixed.all.has_time = kind != odb_bulk_kind::date ? 1 : 0;
  }
  bcp_collen(connection_.handle(), -1, static_cast<int>(column + 1));
}

void odb_bulk_copy::set_text(std::size_t column, std::u16string_view value) {
  if (value.empty()) throw odb_exception("An empty text cannot be bulk loaded.");
  slot& s = slots_[column];
  s.bytes.resize(value.size() * 2);
  // UTF-16LE: x86-64 stores char16_t little-endian already.
  std::memcpy(s.bytes.data(), value.data(), s.bytes.size());
  DBPROCESS* proc = connection_.handle();
  bcp_colptr(proc, reinterpret_cast<BYTE*>(s.bytes.data()), static_cast<int>(column + 1));
  bcp_collen(proc, static_cast<DBINT>(s.bytes.size()), static_cast<int>(column + 1));
}

void odb_bulk_copy::set_narrow_text(std::size_t column, std::string_view value) {
  set_bytes(column, {reinterpret_cast<const std::uint8_t*>(value.data()), value.size()});
}

void odb_bulk_copy::set_bytes(std::size_t column, std::span<const std::uint8_t> value) {
  if (value.empty()) throw odb_exception("An empty value cannot be bulk loaded.");
  slot& s = slots_[column];
  s.bytes.assign(reinterpret_cast<const char*>(value.data()), value.size());
  DBPROCESS* proc = connection_.handle();
  bcp_colptr(proc, reinterpret_cast<BYTE*>(s.bytes.data()), static_cast<int>(column + 1));
  bcp_collen(proc, static_cast<DBINT>(s.bytes.size()), static_cast<int>(column + 1));
}

void odb_bulk_copy::send_row() {
  if (bcp_sendrow(connection_.handle()) == FAIL) {
    connection_.throw_pending("sending a row");
    throw odb_exception("The server did not take the row.");
  }
  ++rows_sent_;
}

std::int64_t odb_bulk_copy::batch() {
  const DBINT rows = bcp_batch(connection_.handle());
  rows_sent_ = 0;
  if (rows < 0) {
    connection_.throw_pending("committing a batch of rows");
    throw odb_exception("A batch of rows was not committed.");
  }
  connection_.throw_pending("committing a batch of rows");
  return rows;
}

std::int64_t odb_bulk_copy::finish() {
  open_ = false;
  const DBINT rows = bcp_done(connection_.handle());
  const bool nothing_pending = rows_sent_ == 0;
  rows_sent_ = 0;
  // The library answers -1 for a load that ends with no row after the last batch; nothing can
  // have been lost then, unless the server says otherwise.
  if (rows < 0 && nothing_pending) {
    connection_.throw_pending("ending the bulk load");
    return 0;
  }
  if (rows < 0) {
    connection_.throw_pending("ending the bulk load");
    throw odb_exception("The bulk load did not end well; its last rows were not committed.");
  }
  connection_.throw_pending("ending the bulk load");
  return rows;
}
