// The literal of every value the writers put into an INSERT, and the fast forms of the
// script row formatter.

#include "mss/mss_literal.h"

#include <charconv>

#include "mss/mss_safe_value.h"
#include "mss/mss_server_facts.h"
#include "mss/mss_text_literal.h"
#include "ole/ole_date.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "udb/t_ftd.h"
#include "udb/udb_custom_conversion.h"
#include "udb/udb_field.h"

namespace {

void append_doubling(std::string& out, std::string_view s) {
  for (const char c : s) {
    out += c;
    if (c == '\'') out += '\'';
  }
}

template <class T>
void append_number(std::string& out, T value) {
  char buf[32];
  const auto result = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, static_cast<std::size_t>(result.ptr - buf));
}

// printf's "%.Ne", which is what the variant's text form of a double uses.
void append_scientific(std::string& out, double value, int precision) {
  char buf[40];
  const auto result =
      std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision);
  out.append(buf, static_cast<std::size_t>(result.ptr - buf));
}

bool is_hex_literal(std::string_view s) {
  if (s.size() < 2 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) return false;
  for (std::size_t i = 2; i < s.size(); ++i) {
    const char c = s[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

bool is_decimal_digits(std::string_view s) {
  for (const char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

// The literal of a non-text value from its text form (ASCII: numbers, dates, hex bytes).
void append_narrow_literal(std::string& out, std::string_view s, ole_vartype vt) {
  if (s.empty()) {
    out += "''";
    return;
  }
  if (vt == VT_DATE) {
    const ole_date date(s);
    char buf[ole_date::k_text_size];
    const std::string_view printed(buf, date.print(buf, true, true));
    out += '\'';
    const std::size_t zero = printed.find("0000-00-00");
    if (zero != std::string_view::npos) {
      TK_LOG(2, "Null date has been found");
      append_doubling(out, printed.substr(0, zero));
      out += "1899-12-30";
      append_doubling(out, printed.substr(zero + 10));
    } else {
      append_doubling(out, printed);
    }
    out += '\'';
    return;
  }
  if (ole_is_binary(vt)) {
    TK_LOG(1, "GOT BLOB!!!");
    if (s.size() < 2) return;
    if (is_hex_literal(s) || is_decimal_digits(s)) {
      out += s;
    } else {
      out += '\'';
      append_doubling(out, s);
      out += '\'';
    }
    return;
  }
  append_doubling(out, s);
}

char* put_digits(char* p, unsigned value, int width) {
  for (int i = width - 1; i >= 0; --i, value /= 10) p[i] = static_cast<char>('0' + value % 10);
  return p + width;
}

std::string& scratch() {
  thread_local std::string text;
  return text;
}

// to_mssql_str of the text of mssql_get_safe_variant(value), without building either.
void append_value_literal(std::string& out, const ole_variant& value, ole_vartype vt,
                          mss_date_form form, mss_date_text date_text) {
  if (vt == VT_DATE && form != mss_date_form::other) {
    mss_append_date_literal(out, value.systemtime(), form, date_text);
    return;
  }
  // While detail traces are off, the common kinds print straight from the value; with them
  // on, the general path writes its traces.
  if (tk_log_gate > 1) {
    if (vt == VT_DECIMAL) {
      char buf[ole_decimal::k_text_size];
      out.append(buf, value.format_decimal(buf));
      return;
    }
    if (vt == VT_CY) {
      char buf[ole_currency::k_text_size];
      out.append(buf, value.cy().format(buf));
      return;
    }
  }
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
      out += "''";
      return;
    case VT_BSTR:
      mss_append_text_value(out, value);
      return;
    case VT_I1:
      append_number(out, static_cast<int>(value.i1()));
      return;
    case VT_I2:
      append_number(out, static_cast<int>(value.i2()));
      return;
    case VT_I4:
      append_number(out, value.i4());
      return;
    case VT_UI1:
      append_number(out, static_cast<unsigned>(value.ui1()));
      return;
    case VT_UI2:
      append_number(out, static_cast<unsigned>(value.ui2()));
      return;
    case VT_UI4:
    case VT_UINT:
      append_number(out, value.ui4());
      return;
    case VT_I8:
      append_number(out, value.i8());
      return;
    case VT_UI8:
      append_number(out, value.ui8());
      return;
    case VT_R4:
      append_scientific(out, static_cast<double>(value.r4()), 6);
      return;
    case VT_R8:
      mss_append_double(out, value.r8());
      return;
    case VT_BOOL:
      out += value.bool_val() == ole_variant_true ? '1' : '0';
      return;
    case VT_DATE: {
      const bool in_range = mss_date_in_range(value);
      if (!in_range) TK_LOG(1, "Skip date-out-of-range");
      (in_range ? value : mss_latest_date()).to_string(scratch());
      append_narrow_literal(out, scratch(), vt);
      return;
    }
    default:
      value.to_string(scratch());
      append_narrow_literal(out, scratch(), vt);
      return;
  }
}

}  // namespace

void mss_append_date_literal(std::string& out, const ole_systemtime& date, mss_date_form form,
                             mss_date_text text) {
  const ole_systemtime* st = &date;
  if (!mss_date_fits(*st, form)) {
    TK_LOG(1, "Skip date-out-of-range");
    st = &mss_latest_date().systemtime();
  }
  char buf[32];
  char* p = buf;
  const bool separated = text == mss_date_text::separated;
  *p++ = '\'';
  p = put_digits(p, st->year, 4);
  if (separated) *p++ = '-';
  p = put_digits(p, st->month, 2);
  if (separated) *p++ = '-';
  p = put_digits(p, st->day, 2);
  const bool has_time =
      st->hour != 0 || st->minute != 0 || st->second != 0 || st->milliseconds != 0;
  if (form == mss_date_form::datetime || has_time) {
    *p++ = form == mss_date_form::datetime && separated ? 'T' : ' ';
    p = put_digits(p, st->hour, 2);
    *p++ = ':';
    p = put_digits(p, st->minute, 2);
    *p++ = ':';
    p = put_digits(p, st->second, 2);
    if (st->milliseconds != 0) {
      *p++ = '.';
      p = put_digits(p, st->milliseconds, 3);
    }
  }
  *p++ = '\'';
  out.append(buf, static_cast<std::size_t>(p - buf));
}

ole_variant mss_date_default(const t_ftd& column) {
  const ole_variant& def = column.def_value;
  if (column.vartype != VT_DATE) return ole_variant();
  if (def.vt() == VT_DATE) return def;
  if (def.vt() != VT_BSTR || def.text().empty()) return ole_variant();
  return ole_variant::from_string(tk_to_utf8_lossy(def.text()), VT_DATE);
}

std::u16string mss_bool_literal(const ole_variant& value) {
  const udb_field field(std::u16string(), 1, value);
  if (udb_custom_conversion::is_acceptable2(field)) return udb_custom_conversion::handle2(field);
  return value.to_bool() ? u"1" : u"0";
}

void mss_append_integer(std::string& out, std::int64_t value) {
  append_number(out, value);
}

void mss_append_double(std::string& out, double value) {
  if (value != mss_safe_double(value)) TK_LOG(1, "Clamped double out of range");
  append_scientific(out, mss_safe_double(value), 16);
}

bool mss_append_date_value(std::string& out, const ole_systemtime& date, const t_ftd& column) {
  const mss_date_form form = mss_date_form_of(column);
  if (form == mss_date_form::other) return false;
  mss_append_date_literal(out, date, form);
  return true;
}

bool mss_append_printed_decimal(std::string& out, std::string_view printed, int whole_digits,
                                const t_ftd& column) {
  // What does not fit the column is the general path's to clamp.
  if (column.reserved != 0 && whole_digits > static_cast<int>(column.get_precision()) -
                                                 static_cast<int>(column.get_scale()))
    return false;
  out += printed;
  return true;
}

void mss_append_mssql_str(std::string& out, std::u16string_view text, ole_vartype vt) {
  TK_WLOG(1, "to_mssql_str(%s), unicode=%d", text, mss_current_unicode() ? 1 : 0);
  if (vt == VT_BSTR) {
    mss_append_text_literal(out, text);
    return;
  }
  std::string& narrow = scratch();
  narrow.clear();
  mss_append_utf8(narrow, text, false);
  append_narrow_literal(out, narrow, vt);
}

std::u16string to_mssql_str(std::u16string_view text, ole_vartype vt) {
  std::string out;
  mss_append_mssql_str(out, text, vt);
  return tk_from_utf8(out);
}

void mss_append_fld_str(std::string& out, const udb_field& field, const t_ftd& column,
                        mss_date_text date_text) {
  TK_LOG(1, "mss_get_fld_append_str");
  const std::size_t start = out.size();
  const ole_vartype vt = field.get_type();
  const mss_date_form form = mss_date_form_of(column);
  append_value_literal(out, field, vt, form, date_text);
  TK_LOG(2, "Got initial string: %s", std::string_view(out).substr(start));

  // The rules are asked only about values of a type one of them takes (and about every value
  // while detail traces are on, so that they show it).
  if ((tk_log_gate <= 1 || udb_custom_conversion::may_accept2(vt)) &&
      udb_custom_conversion::is_acceptable2(field)) {
    out.resize(start);
    // A literal the rule has ready as ASCII goes in as it is (while detail traces are off).
    const std::string_view ready =
        tk_log_gate > 1 ? udb_custom_conversion::ascii_literal2(field) : std::string_view();
    if (!ready.empty()) {
      out += ready;
    } else {
      mss_append_utf8(out, udb_custom_conversion::handle2(field), false);
    }
    TK_LOG(1, "Got string: %s", std::string_view(out).substr(start));
    return;
  }
  const std::string_view s = std::string_view(out).substr(start);
  if (vt == VT_NULL || (vt != VT_BSTR && (s.empty() || s == "''"))) {
    TK_LOG(1, "Put NULL-field");
    out.resize(start);
    if (column.b_not_null) {
      const ole_variant& def = column.def_value;
      const ole_variant date =
          form != mss_date_form::other ? mss_date_default(column) : ole_variant();
      if (date.vt() == VT_DATE) {
        mss_append_date_literal(out, date.systemtime(), form, date_text);
      } else if (def.vt() == VT_BOOL) {
        mss_append_utf8(out, mss_bool_literal(def), false);
      } else if (def.vt() == VT_BSTR) {
        mss_append_mssql_str(out, def.text(), column.vartype);
      } else {
        thread_local std::u16string def_text;
        def.to_wstring(def_text);
        mss_append_mssql_str(out, def_text, column.vartype);
      }
    } else {
      out += "NULL";
    }
  } else if (vt == VT_DECIMAL) {
    // The literal is the decimal's printed text, so it answers without printing again.
    const int digits = mss_integer_digits(s);
    const bool out_of_range = tk_log_gate > 2 ? mss_decimal_digits_out_of_range(digits, column)
                                              : dec_is_out_of_range(field, column);
    if (out_of_range) {
      TK_LOG(1, "Decimal is out of range");
      const ole_decimal& value = field.decimal();
      const std::u16string largest =
          gen_dec_value(&column, value.is_negative() && !value.is_zero());
      out.resize(start);
      mss_append_utf8(out, largest, false);
    } else if (column.reserved != 0) {
      const int precision = static_cast<int>(column.get_precision());
      const int scale = static_cast<int>(column.get_scale());
      if (digits > precision - scale) {
        TK_LOG(3, "Decimal value %s does not conform to precision/scale", s);
        out.resize(start);
        out += '0';
      }
    }
  }
  TK_LOG(1, "Got string: %s", std::string_view(out).substr(start));
}

std::u16string mss_get_fld_append_str(const udb_field* field, const t_ftd* column) {
  TK_ASSERT(field != nullptr && column != nullptr);
  std::string out;
  mss_append_fld_str(out, *field, *column);
  return tk_from_utf8(out);
}
