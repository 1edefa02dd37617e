#include "ole/ole_date_text.h"

#include <array>

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_alpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// 1 to 12 for an English month name or its first three letters (case ignored), 0 for a
// weekday name (skipped), -1 for anything else.
int word_kind(std::string_view word) {
  static constexpr std::array<std::string_view, 12> k_months = {
      "january", "february", "march",     "april",   "may",      "june",
      "july",    "august",   "september", "october", "november", "december"};
  static constexpr std::array<std::string_view, 7> k_days = {
      "sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};
  char buf[12];
  if (word.size() < 3 || word.size() > sizeof buf) return -1;
  for (std::size_t i = 0; i < word.size(); ++i) buf[i] = lower(word[i]);
  const std::string_view w(buf, word.size());
  auto matches = [&](std::string_view name) {
    return w == name || (w.size() == 3 && name.substr(0, 3) == w) ||
           (w.size() == 4 && name.substr(0, 3) == w.substr(0, 3) && w[3] == '.');
  };
  for (std::size_t i = 0; i < k_months.size(); ++i) {
    if (matches(k_months[i]) || (i == 8 && w == "sept")) return static_cast<int>(i) + 1;
  }
  for (const auto day : k_days) {
    if (matches(day)) return 0;
  }
  return -1;
}

struct number {
  int value;
  int digits;
};

}  // namespace

bool ole_parse_date_text(std::string_view text, ole_systemtime& st) {
  std::array<number, 3> nums{};
  int num_count = 0;
  int month_name = 0;
  int time[3] = {0, 0, 0};
  int time_count = 0;

  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const char c = text[i];
    if (c == ' ' || c == '/' || c == '-' || c == '.' || c == ',' || c == '\t') {
      ++i;
    } else if (is_alpha(c)) {
      const std::size_t start = i;
      while (i < n && (is_alpha(text[i]) || text[i] == '.')) ++i;
      const int kind = word_kind(text.substr(start, i - start));
      if (kind < 0 || time_count > 0) return false;
      if (kind > 0) {
        if (month_name != 0) return false;
        month_name = kind;
      }
    } else if (is_digit(c)) {
      const std::size_t start = i;
      long value = 0;
      while (i < n && is_digit(text[i])) {
        if (value < 100000) value = value * 10 + (text[i] - '0');
        ++i;
      }
      const int digits = static_cast<int>(i - start);
      if (i < n && text[i] == ':') {
        // A time: h:mm or h:mm:ss, nothing after it.
        if (time_count > 0 || value > 23) return false;
        time[time_count++] = static_cast<int>(value);
        while (i < n && text[i] == ':' && time_count < 3) {
          ++i;
          long part = 0;
          const std::size_t p = i;
          while (i < n && is_digit(text[i])) part = part * 10 + (text[i++] - '0');
          if (i == p || i - p > 2) return false;
          time[time_count++] = static_cast<int>(part);
        }
        while (i < n && text[i] == ' ') ++i;
        if (i != n) return false;
      } else {
        if (time_count > 0 || num_count == 3) return false;
        nums[num_count++] = {static_cast<int>(value), digits};
      }
    } else {
      return false;
    }
  }

  auto year_like = [](const number& x) { return x.digits >= 3 || x.value > 31; };
  int year = 0, month = 0, day = 0;
  int year_digits = 0;
  if (month_name != 0) {
    // With a month name the number that can only be a year is the year; otherwise the day
    // comes first.
    if (num_count != 2) return false;
    month = month_name;
    const int y = year_like(nums[0]) ? 0 : 1;
    year = nums[y].value;
    year_digits = nums[y].digits;
    day = nums[1 - y].value;
  } else {
    if (num_count != 3) return false;
    if (year_like(nums[0])) {
      year = nums[0].value;
      year_digits = nums[0].digits;
      month = nums[1].value;
      day = nums[2].value;
    } else {
      month = nums[0].value;
      day = nums[1].value;
      year = nums[2].value;
      year_digits = nums[2].digits;
      if (month > 12 && day <= 12) {
        const int t = month;
        month = day;
        day = t;
      }
    }
  }
  if (year_digits <= 2) year = ole_widen_year(year);
  if (year < 100 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > ole_days_in_month(year, month)) return false;
  if (time[1] > 59 || time[2] > 59) return false;

  st = ole_systemtime{};
  st.year = static_cast<std::uint16_t>(year);
  st.month = static_cast<std::uint16_t>(month);
  st.day = static_cast<std::uint16_t>(day);
  st.hour = static_cast<std::uint16_t>(time[0]);
  st.minute = static_cast<std::uint16_t>(time[1]);
  st.second = static_cast<std::uint16_t>(time[2]);
  return true;
}
