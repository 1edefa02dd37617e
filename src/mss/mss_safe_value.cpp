// The range clamps bulk copy and the literals share.

#include "mss/mss_safe_value.h"

#include "ole/ole_date.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "udb/udb_field.h"

bool mss_date_in_range(const ole_variant& value) {
  ole_systemtime st;
  if (!ole_variant_time_to_systemtime(value.date(), st)) return false;
  return st.year >= 1753 && st.year <= 9999;
}

const ole_variant& mss_latest_date() {
  static const ole_variant value = ole_variant::from_string("9999-12-30", VT_DATE);
  return value;
}

ole_variant mssql_get_safe_variant(const ole_variant& value) {
  TK_LOG(1, "mssql_get_safe_variant");
  if (value.vt() == VT_DATE && !mss_date_in_range(value)) {
    TK_LOG(1, "Skip date-out-of-range");
    return mss_latest_date();
  }
  if (value.vt() == VT_R8) return ole_variant(mss_safe_double(value.r8()));
  return value;
}

const ole_systemtime& mss_safe_date(const ole_variant& value, bool from_year_one) {
  const ole_systemtime& st = value.systemtime();
  if (mss_date_fits(st, from_year_one ? mss_date_form::date : mss_date_form::datetime)) return st;
  TK_LOG(1, "Skip date-out-of-range");
  return mss_latest_date().systemtime();
}

bool dec_is_out_of_range(const udb_field& field, const t_ftd& column) {
  TK_ASSERT(field.get_type() == VT_DECIMAL);
  const ole_decimal& value = field.decimal();
  char buf[ole_decimal::k_text_size];
  const std::string_view text(buf, value.format(buf));
  const int digits = mss_integer_digits(text);
  TK_LOG(2, "Got decimal: %s, scale=%d, prec=%d", text, static_cast<int>(value.scale), digits);
  return mss_decimal_digits_out_of_range(digits, column);
}

bool check_dec_str_prec_scale(std::u16string_view text, int precision, int scale) {
  TK_WLOG(1, "check_dec_str_prec_scale(%s,%d,%d)", text, precision - scale, scale);
  std::string narrow;
  for (const char16_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  if (narrow.find('.') != std::string::npos) {
    TK_LOG(1, "Decimal point is found");
  } else {
    TK_LOG(1, "Decimal point is not found");
  }
  if (mss_integer_digits(narrow) <= precision - scale) return true;
  TK_LOG(1, "Precision is out of range");
  return false;
}

std::u16string gen_dec_value(const t_ftd* column, bool negative) {
  TK_ASSERT(column != nullptr);
  const int precision = static_cast<int>(column->get_precision());
  const int scale = static_cast<int>(column->get_scale());
  std::u16string out;
  if (negative) out += u'-';
  out.append(static_cast<std::size_t>(precision > scale ? precision - scale : 0), u'9');
  out += u'.';
  out.append(static_cast<std::size_t>(scale), u'9');
  return out;
}
