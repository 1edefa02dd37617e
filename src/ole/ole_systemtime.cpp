#include "ole/ole_systemtime.h"

#include <cmath>

namespace {

constexpr long long k_ms_per_day = 86400000LL;

// Days since 1970-01-01 of a proleptic Gregorian date.
constexpr long long days_from_civil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

constexpr void civil_from_days(long long z, int& y, unsigned& m, unsigned& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

constexpr long long k_epoch = days_from_civil(1899, 12, 30);
static_assert(days_from_civil(100, 1, 1) - k_epoch == -657434);
static_assert(days_from_civil(9999, 12, 31) - k_epoch == 2958465);

}  // namespace

bool ole_is_leap_year(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int ole_days_in_month(int year, int month) {
  static constexpr int k_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && ole_is_leap_year(year) ? 29 : k_days[month - 1];
}

bool ole_systemtime_has_variant_time(const ole_systemtime& st) {
  if (st.hour > 23 || st.minute > 59 || st.second > 59 || st.milliseconds > 999) return false;
  if (st.year == 0 && st.month == 0 && st.day == 0) return true;  // a time of day alone
  const int year = ole_widen_year(st.year);
  return year <= 9999 && st.day >= 1 && st.day <= ole_days_in_month(year, st.month);
}

bool ole_systemtime_to_variant_time(const ole_systemtime& st, double& out) {
  if (!ole_systemtime_has_variant_time(st)) return false;
  const double time =
      (st.hour * 3600000.0 + st.minute * 60000.0 + st.second * 1000.0 + st.milliseconds) /
      static_cast<double>(k_ms_per_day);
  if (st.year == 0 && st.month == 0 && st.day == 0) {
    out = time;  // a time of day alone
    return true;
  }
  const int year = ole_widen_year(st.year);
  const double day = static_cast<double>(days_from_civil(year, st.month, st.day) - k_epoch);
  out = day >= 0 ? day + time : day - time;
  return true;
}

bool ole_variant_time_to_systemtime(double date, ole_systemtime& out) {
  if (!std::isfinite(date) || date <= ole_min_date - 1 || date >= 2958466.0) return false;
  long long day = static_cast<long long>(date);  // toward zero: the day
  long long ms = std::llround(std::fabs(date - static_cast<double>(day)) * k_ms_per_day);
  if (ms >= k_ms_per_day) {
    ms -= k_ms_per_day;
    ++day;  // the fraction runs forward on both sides of day 0
  }
  const long long civil = day + k_epoch;
  int y;
  unsigned m, d;
  civil_from_days(civil, y, m, d);
  if (y < 100 || y > 9999) return false;
  out.year = static_cast<std::uint16_t>(y);
  out.month = static_cast<std::uint16_t>(m);
  out.day = static_cast<std::uint16_t>(d);
  out.day_of_week = static_cast<std::uint16_t>(((civil % 7) + 7 + 4) % 7);  // 1970-01-01 a Thursday
  out.hour = static_cast<std::uint16_t>(ms / 3600000);
  out.minute = static_cast<std::uint16_t>(ms / 60000 % 60);
  out.second = static_cast<std::uint16_t>(ms / 1000 % 60);
  out.milliseconds = static_cast<std::uint16_t>(ms % 1000);
  return true;
}
