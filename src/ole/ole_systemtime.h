#pragma once

#include <cstdint>

// A broken-down date and time, laid out like the platform's SYSTEMTIME (eight 16-bit
// fields, 16 bytes): the binary form of a date value is exactly these bytes.
struct ole_systemtime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t day_of_week = 0;  // 0 = Sunday
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;

  friend bool operator==(const ole_systemtime&, const ole_systemtime&) = default;
};
static_assert(sizeof(ole_systemtime) == 16);

// OLE dates count days since 1899-12-30 as a double; before that day the integer part counts
// back while the fraction still runs forward (-1.25 is 1899-12-29 06:00). The supported range
// is 0100-01-01 to 9999-12-31.
inline constexpr double ole_min_date = -657434.0;      // 0100-01-01
inline constexpr double ole_max_date = 2958465.99999;  // 9999-12-31 23:59:59.999

// A year below 100 is a two-digit year: below 50 it lies in the 2000s, else in the 1900s.
constexpr int ole_widen_year(int year) {
  if (year >= 100) return year;
  return year < 50 ? 2000 + year : 1900 + year;
}

bool ole_is_leap_year(int year);
int ole_days_in_month(int year, int month);

// Fails (returns false, leaves out alone) for a date outside the range or a field out of its
// range. A pure time (year, month and day all 0) becomes the fraction of day 0.
bool ole_systemtime_to_variant_time(const ole_systemtime& st, double& out);
// Whether ole_systemtime_to_variant_time succeeds for st, without converting.
bool ole_systemtime_has_variant_time(const ole_systemtime& st);

// Fails for a value outside the range or not a number. Milliseconds are rounded to the
// nearest; the day of the week is filled in.
bool ole_variant_time_to_systemtime(double date, ole_systemtime& out);
