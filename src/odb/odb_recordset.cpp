// Reading result sets: column types to variant types and each value into its variant.
#include "odb/odb_recordset.h"

#include <cstdio>
#include <cstring>

#include "odb/odb_connection.h"
#include "odb/odb_dblib.h"
#include "odb/odb_exception.h"
#include "odb/odb_numeric.h"
#include "ole/ole_decimal.h"
#include "ole/ole_systemtime.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"

namespace {

// Types db-lib reports that its header does not name.
constexpr int k_sybunique = 36;
constexpr int k_sybmsxml = 163;

struct column_info {
  int type = 0;
  ole_vartype vt = VT_BSTR;
  std::uint32_t reserved = 0;
};

column_info describe(DBPROCESS* proc, int col, t_ftd& ftd) {
  column_info info;
  info.type = dbcoltype(proc, col);
  ftd.name = tk_from_utf8_lossy(dbcolname(proc, col));
  ftd.size = static_cast<std::uint32_t>(std::max(0, dbcollen(proc, col)));
  switch (info.type) {
    case SYBINT1:
      info.vt = VT_UI1;
      break;
    case SYBINT2:
      info.vt = VT_I2;
      break;
    case SYBINT4:
      info.vt = VT_I4;
      break;
    case SYBINT8:
      info.vt = VT_I8;
      break;
    case SYBBIT:
    case SYBBITN:
      info.vt = VT_BOOL;
      break;
    case SYBREAL:
      info.vt = VT_R4;
      break;
    case SYBFLT8:
      info.vt = VT_R8;
      break;
    case SYBMONEY:
    case SYBMONEY4:
      info.vt = VT_CY;
      break;
    case SYBDECIMAL:
    case SYBNUMERIC: {
      info.vt = VT_DECIMAL;
      const DBTYPEINFO* t = dbcoltypeinfo(proc, col);
      if (t != nullptr) info.reserved = (static_cast<std::uint32_t>(t->precision) << 8) | t->scale;
      break;
    }
    case SYBDATETIME:
    case SYBDATETIME4:
    case SYBMSDATETIME2:
    case SYBMSDATETIMEOFFSET:
      info.vt = VT_DATE;
      info.reserved = 1;
      break;
    case SYBMSDATE:
      info.vt = VT_DATE;
      info.reserved = 2;
      break;
    case SYBMSTIME:
      info.vt = VT_DATE;
      info.reserved = 3;
      break;
    case SYBBINARY:
    case SYBVARBINARY:
    case SYBIMAGE:
      info.vt = VT_BLOB;
      break;
    case k_sybunique:
      info.reserved = 1;
      ftd.size = 38;
      break;
    case k_sybmsxml:
      info.reserved = 11;
      break;
    default:
      break;
  }
  ftd.vartype = info.vt;
  ftd.reserved = info.reserved;
  ftd.b_not_null = false;
  TK_WLOG(2, "Field '%s' has type %d", ftd.name, static_cast<int>(info.vt));
  return info;
}

// The value as the library's text conversion writes it.
std::string converted_text(DBPROCESS* proc, int type, const BYTE* data, DBINT len) {
  std::string out(static_cast<std::size_t>(len) * 4 + 64, '\0');
  const DBINT n = dbconvert(proc, type, data, len, SYBCHAR, reinterpret_cast<BYTE*>(out.data()),
                            static_cast<DBINT>(out.size()));
  if (n < 0) throw odb_exception("A value of the result cannot be converted to text.");
  out.resize(static_cast<std::size_t>(n));
  while (!out.empty() && out.back() == '\0') out.pop_back();
  return out;
}

void read_numeric(DBPROCESS* proc, int type, const BYTE* data, DBINT len, ole_variant& out) {
  const auto* num = reinterpret_cast<const DBNUMERIC*>(data);
  const int bytes = odb_numeric_bytes(num->precision) - 1;
  odb_u128 mag = 0;
  for (int i = 1; i <= bytes; ++i) mag = (mag << 8) | num->array[i];
  const bool fits = num->scale <= ole_decimal::k_max_scale;
  if (fits && (mag >> 96) == 0) {
    ole_decimal dec;
    dec.scale = num->scale;
    dec.sign = num->array[0] == 1 ? ole_decimal::k_negative : 0;
    dec.lo64 = static_cast<std::uint64_t>(mag);
    dec.hi32 = static_cast<std::uint32_t>(mag >> 64);
    out.set_decimal(dec);
    return;
  }
  out = ole_variant(converted_text(proc, type, data, len));
}

// A date, time or both as SQL Server reads them back in any language setting
// ("0001-01-01 00:00:00.1234567"), the fraction to the digits it has.
std::string iso_text(const DBDATEREC2& rec, std::uint32_t kind) {
  char buf[48];
  std::string out;
  if (kind != 3) {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", rec.year, rec.month, rec.day);
    out += buf;
  }
  if (kind != 2) {
    if (!out.empty()) out += ' ';
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", rec.hour, rec.minute, rec.second);
    out += buf;
    if (rec.nanosecond != 0) {
      std::snprintf(buf, sizeof buf, ".%09d", rec.nanosecond);
      std::string fraction = buf;
      while (fraction.back() == '0') fraction.pop_back();
      out += fraction;
    }
  }
  return out;
}

void read_date(DBPROCESS* proc, int type, const BYTE* data, DBINT len, std::uint32_t kind,
               ole_variant& out) {
  DBDATEREC2 rec{};
  if (dbanydatecrack(proc, &rec, type, data) == FAIL) {
    out = ole_variant(converted_text(proc, type, data, len));
    return;
  }
  ole_systemtime st;
  if (kind != 3) {
    st.year = static_cast<std::uint16_t>(rec.year);
    st.month = static_cast<std::uint16_t>(rec.month);
    st.day = static_cast<std::uint16_t>(rec.day);
  }
  if (kind != 2) {
    st.hour = static_cast<std::uint16_t>(rec.hour);
    st.minute = static_cast<std::uint16_t>(rec.minute);
    st.second = static_cast<std::uint16_t>(rec.second);
    st.milliseconds = static_cast<std::uint16_t>(rec.nanosecond / 1000000);
  }
  // Finer than a millisecond, or outside the years a variant date holds: the exact text.
  if (rec.nanosecond % 1000000 != 0 || (kind != 3 && rec.year < 100) || !out.set_date(st)) {
    out = ole_variant(type == SYBMSDATETIMEOFFSET ? converted_text(proc, type, data, len)
                                                  : iso_text(rec, kind));
  }
}

void read_guid(DBPROCESS* proc, int type, const BYTE* data, DBINT len, ole_variant& out) {
  std::string text = converted_text(proc, type, data, len);
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  out = ole_variant("{" + text + "}");
}

void read_value(DBPROCESS* proc, int col, const column_info& info, ole_variant& out) {
  const BYTE* data = dbdata(proc, col);
  const DBINT len = dbdatlen(proc, col);
  if (data == nullptr) {
    out.set_null();
    return;
  }
  switch (info.type) {
    case SYBINT1:
      out.set_ui1(*data);
      return;
    case SYBINT2: {
      std::int16_t v;
      std::memcpy(&v, data, sizeof v);
      out.set_i2(v);
      return;
    }
    case SYBINT4: {
      std::int32_t v;
      std::memcpy(&v, data, sizeof v);
      out.set_i4(v);
      return;
    }
    case SYBINT8: {
      std::int64_t v;
      std::memcpy(&v, data, sizeof v);
      out.set_i8(v);
      return;
    }
    case SYBBIT:
    case SYBBITN:
      out.set_bool(*data != 0);
      return;
    case SYBREAL: {
      float v;
      std::memcpy(&v, data, sizeof v);
      out.set_r4(v);
      return;
    }
    case SYBFLT8: {
      double v;
      std::memcpy(&v, data, sizeof v);
      out.set_r8(v);
      return;
    }
    case SYBMONEY: {
      DBMONEY m;
      std::memcpy(&m, data, sizeof m);
      const auto raw = static_cast<std::int64_t>(
          (static_cast<std::uint64_t>(static_cast<std::uint32_t>(m.mnyhigh)) << 32) | m.mnylow);
      out.set_cy(ole_currency::from_raw(raw));
      return;
    }
    case SYBMONEY4: {
      DBMONEY4 m;
      std::memcpy(&m, data, sizeof m);
      out.set_cy(ole_currency::from_raw(m.mny4));
      return;
    }
    case SYBDECIMAL:
    case SYBNUMERIC:
      read_numeric(proc, info.type, data, len, out);
      return;
    case SYBDATETIME:
    case SYBDATETIME4:
    case SYBMSDATETIME2:
    case SYBMSDATETIMEOFFSET:
    case SYBMSDATE:
    case SYBMSTIME:
      read_date(proc, info.type, data, len, info.reserved, out);
      return;
    case SYBBINARY:
    case SYBVARBINARY:
    case SYBIMAGE:
      out.set_bytes({data, static_cast<std::size_t>(len)});
      return;
    case k_sybunique:
      read_guid(proc, info.type, data, len, out);
      return;
    case SYBCHAR:
    case SYBVARCHAR:
    case SYBTEXT:
    case SYBNTEXT:
    case SYBNVARCHAR:
    case k_sybmsxml:
      out.set_text(tk_from_utf8_lossy(
          std::string_view(reinterpret_cast<const char*>(data), static_cast<std::size_t>(len))));
      return;
    default:
      out.set_text(tk_from_utf8_lossy(converted_text(proc, info.type, data, len)));
  }
}

}  // namespace

odb_recordset::odb_recordset(odb_connection& connection) : udb_recordset(std::u16string()) {
  TK_LOG(2, "odb_recordset::ctor");
  DBPROCESS* proc = connection.handle();
  RETCODE rc;
  while ((rc = dbresults(proc)) != NO_MORE_RESULTS) {
    if (rc == FAIL) {
      connection.drain();
      connection.throw_pending("reading a result");
      throw odb_exception("The server's result could not be read.");
    }
    if (dbnumcols(proc) > 0) break;
  }
  if (rc == NO_MORE_RESULTS) {
    connection.throw_pending("reading a result");
    return;
  }
  const int n = dbnumcols(proc);
  TK_LOG(1, "*** Got %d columns ***", n);
  std::vector<column_info> columns;
  for (int col = 1; col <= n; ++col) {
    t_ftd ftd;
    columns.push_back(describe(proc, col, ftd));
    schema_.push_back(std::move(ftd));
  }
  RETCODE row;
  while ((row = dbnextrow(proc)) != NO_MORE_ROWS) {
    if (row == FAIL) {
      connection.drain();
      connection.throw_pending("reading a row");
      throw odb_exception("A row of the server's result could not be read.");
    }
    if (row != REG_ROW) continue;  // compute rows carry no table data
    auto record = std::make_unique<udb_record>();
    record->reserve(static_cast<std::size_t>(n));
    for (int col = 1; col <= n; ++col) {
      const t_ftd& ftd = schema_[static_cast<std::size_t>(col - 1)];
      udb_field& field =
          record->add_field(ftd.name, static_cast<std::int32_t>(ftd.size), ole_variant());
      read_value(proc, col, columns[static_cast<std::size_t>(col - 1)], field);
    }
    rows_.push_back(std::move(record));
  }
  connection.throw_pending("reading a row");
}

odb_recordset::~odb_recordset() = default;

void odb_recordset::append_record(udb_record& /*record*/) {
  throw tk_mail_assertion("odb_recs", 55);
}

udb_record* odb_recordset::get_item() {
  return pos_ < rows_.size() ? rows_[pos_].get() : nullptr;
}

bool odb_recordset::is_eof() {
  return pos_ >= rows_.size();
}

void odb_recordset::next() {
  if (pos_ < rows_.size()) ++pos_;
}

void odb_recordset::reset() {
  pos_ = 0;
}
