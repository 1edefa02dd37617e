#pragma once

// The range clamps both loads share: what SQL Server cannot store (dates outside the years a
// column holds, doubles beyond FLOAT, decimal integer parts past the column's precision) and
// what stands for it instead. The literals (mss_literal) and bulk copy (mss_table) clamp
// through these; the small checks are inline because every literal takes them.

#include <string>
#include <string_view>

#include "mss/mss_server_facts.h"
#include "ole/ole_systemtime.h"
#include "ole/ole_variant.h"
#include "udb/t_ftd.h"

class udb_field;

// The value with SQL Server's range limits applied: dates outside 1753..9999 become
// 9999-12-30, doubles beyond what a FLOAT holds are clamped.
ole_variant mssql_get_safe_variant(const ole_variant& value);

// The date a column keeps for a VT_DATE value: the value's own, or 9999-12-30 where the column
// cannot hold it (DATETIME before 1753; DATE and DATETIME2, `from_year_one`, before year 1).
const ole_systemtime& mss_safe_date(const ole_variant& value, bool from_year_one);

// Decimal checks: whether the value's integer digits exceed what the column's precision and
// scale leave for them; whether a literal's integer part fits; the column's largest value.
bool dec_is_out_of_range(const udb_field& field, const t_ftd& column);
bool check_dec_str_prec_scale(std::u16string_view text, int precision, int scale);
std::u16string gen_dec_value(const t_ftd* column, bool negative);

// Whether a VT_DATE value lies in the years DATETIME holds, 1753 to 9999.
bool mss_date_in_range(const ole_variant& value);

// 9999-12-30, which stands for every date a column cannot hold.
const ole_variant& mss_latest_date();

// Integer digits of a decimal text without sign and leading zeros ("-0.5" has none).
inline int mss_integer_digits(std::string_view s) {
  std::size_t i = (!s.empty() && s.front() == '-') ? 1 : 0;
  const std::size_t point = s.find('.');
  const std::size_t end = point == std::string_view::npos ? s.size() : point;
  while (i < end && s[i] == '0') ++i;
  return static_cast<int>(end > i ? end - i : 0);
}

// The double a FLOAT column holds: values beyond its range clamped to its largest, values
// nearer zero than its smallest to its smallest (each with its sign).
inline double mss_safe_double(double d) {
  constexpr double k_max_float = 1.79e308;
  constexpr double k_min_float = 2.23e-308;
  if (d > 0) {
    if (d >= k_max_float) return k_max_float;
    if (d <= k_min_float) return k_min_float;
  } else if (d < 0) {
    if (d <= -k_max_float) return -k_max_float;
    if (d >= -k_min_float) return -k_min_float;
  }
  return d;
}

// How a column holds dates, which decides both the range a value must keep and the literal's
// form: DATETIME holds 1753 to 9999 and reads 'YYYY-MM-DDThh:mm:ss' and 'YYYYMMDD hh:mm:ss'
// (not 'YYYY-MM-DD hh:mm:ss') the same under every SET LANGUAGE and SET DATEFORMAT; DATE
// holds years 1 to 9999 and reads 'YYYY-MM-DD' and 'YYYYMMDD' alike everywhere. TIME columns
// keep the general path.
enum class mss_date_form { datetime, date, other };

// How a date literal is spelled: with the separators of ISO 8601, as scripts show them to
// their readers, or unseparated, which a server converts in about half the time (measured on
// a Babelfish server: rows of a DATETIME and a DATE went in 1.7 times faster).
enum class mss_date_text { separated, unseparated };

// The form of the column's dates; DATETIME for a column that is not a date.
inline mss_date_form mss_date_form_of(const t_ftd& column) {
  if (column.vartype != VT_DATE) return mss_date_form::datetime;
  switch (column.reserved & 3) {
    case 2: {
      // A server before 2008 has no DATE: the column is DATETIME there.
      const mss_server_facts* facts = mss_server_facts::instance_ptr();
      const bool has_date = facts == nullptr || !facts->is_initialized() || facts->version() >= 5;
      return has_date ? mss_date_form::date : mss_date_form::datetime;
    }
    case 3:
      return mss_date_form::other;
    default:
      return mss_date_form::datetime;
  }
}

// Whether a date is one the column form holds, every part within its range.
inline bool mss_date_fits(const ole_systemtime& st, mss_date_form form) {
  const int first_year = form == mss_date_form::date ? 1 : 1753;
  return st.year >= first_year && st.year <= 9999 && st.month >= 1 && st.month <= 12 &&
         st.day >= 1 && st.day <= ole_days_in_month(st.year, st.month) && st.hour <= 23 &&
         st.minute <= 59 && st.second <= 59 && st.milliseconds <= 999;
}

// Whether a decimal's printed integer digits are more than the column leaves room for.
inline bool mss_decimal_digits_out_of_range(int digits, const t_ftd& column) {
  if (column.reserved == 0 || column.get_precision() == 0) return false;
  const int room = static_cast<int>(column.get_precision()) - static_cast<int>(column.get_scale());
  return digits > room;
}
