#include "dbf/dbf_xbase_constant.h"

#include <string_view>

// Strict date literals as FoxPro writes them: {^yyyy-mm-dd[,][hh[:mm[:ss]][a|p|am|pm]]}, the
// date parts separated by '-', '/' or '.'; an empty date is {} or braces holding only
// separators and blanks.

namespace {

using kind = dbf_constant::kind;

constexpr int k_max_year = 9999;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool is_leap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in(int year, int month) {
  constexpr int k_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap(year) ? 29 : k_days[month - 1];
}

// Reads what a braces literal holds, left to right.
class cursor {
 public:
  explicit cursor(std::string_view s) : s_(s) {}

  void skip_blanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
  }
  bool done() const { return pos_ >= s_.size(); }
  bool take(char c) {
    if (done() || s_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  bool take_any(std::string_view set) {
    if (done() || set.find(s_[pos_]) == std::string_view::npos) return false;
    ++pos_;
    return true;
  }
  bool take_nocase(char upper) { return take(upper) || take(static_cast<char>(upper + 'a' - 'A')); }

  // One to `most` digits.
  std::optional<int> digits(std::size_t most) {
    int value = 0;
    std::size_t n = 0;
    while (n < most && !done() && is_digit(s_[pos_])) {
      value = value * 10 + (s_[pos_] - '0');
      ++pos_;
      ++n;
    }
    if (n == 0) return std::nullopt;
    return value;
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

bool only_separators(std::string_view s) {
  return s.find_first_not_of(" \t/-.:,") == std::string_view::npos;
}

// The hour of a 12-hour clock reading with its AM/PM mark; none for hours a 12-hour clock lacks.
std::optional<int> from_12_hour(int hour, bool pm) {
  if (hour < 1 || hour > 12) return std::nullopt;
  if (hour == 12) return pm ? 12 : 0;
  return pm ? hour + 12 : hour;
}

std::optional<dbf_constant> dated(kind type, std::optional<std::string> iso) {
  if (!iso) return std::nullopt;
  return dbf_constant{type, std::move(*iso), false};
}

// `value` in at least `width` digits; callers pass values that are not negative.
void append_padded(std::string& out, int value, std::size_t width) {
  const std::string digits = std::to_string(value);
  if (digits.size() < width) out.append(width - digits.size(), '0');
  out += digits;
}

std::optional<dbf_constant> braces(std::string_view text) {
  if (only_separators(text)) {
    const bool has_time = text.find(':') != std::string_view::npos;
    return dbf_constant{has_time ? kind::datetime : kind::date, {}, false};
  }
  cursor c(text);
  c.skip_blanks();
  if (!c.take('^')) return std::nullopt;
  c.skip_blanks();
  const std::optional<int> year = c.digits(4);
  if (!year || !c.take_any("-/.")) return std::nullopt;
  const std::optional<int> month = c.digits(2);
  if (!month || !c.take_any("-/.")) return std::nullopt;
  const std::optional<int> day = c.digits(2);
  if (!day) return std::nullopt;
  c.skip_blanks();
  const bool comma = c.take(',') || c.take_nocase('T');
  c.skip_blanks();
  if (c.done()) {
    if (comma) return dated(kind::datetime, dbf_xbase_iso_datetime(*year, *month, *day, 0, 0, 0));
    return dated(kind::date, dbf_xbase_iso_date(*year, *month, *day));
  }
  std::optional<int> hour = c.digits(2);
  if (!hour) return std::nullopt;
  int minute = 0;
  int second = 0;
  if (c.take(':')) {
    const std::optional<int> m = c.digits(2);
    if (!m) return std::nullopt;
    minute = *m;
    if (c.take(':')) {
      const std::optional<int> s = c.digits(2);
      if (!s) return std::nullopt;
      second = *s;
    }
  }
  c.skip_blanks();
  const bool am = c.take_nocase('A');
  const bool pm = !am && c.take_nocase('P');
  if (am || pm) {
    c.take_nocase('M');
    hour = from_12_hour(*hour, pm);
    if (!hour) return std::nullopt;
  }
  c.skip_blanks();
  if (!c.done()) return std::nullopt;
  return dated(kind::datetime, dbf_xbase_iso_datetime(*year, *month, *day, *hour, minute, second));
}

}  // namespace

std::optional<dbf_constant> dbf_xbase_literal(const dbf_xbase_token& token) {
  using tkind = dbf_xbase_token::kind;
  switch (token.type) {
    case tkind::number:
      return dbf_constant{kind::number, std::string(token.text), false};
    case tkind::string:
      return dbf_constant{kind::string, std::string(token.text), false};
    case tkind::logical:
      return dbf_constant{kind::logical, {}, token.truth};
    case tkind::null:
      return dbf_constant{kind::null, {}, false};
    case tkind::braces:
      return braces(token.text);
    default:
      return std::nullopt;
  }
}

std::optional<std::string> dbf_xbase_iso_date(int year, int month, int day) {
  if (year < 1 || year > k_max_year || month < 1 || month > 12 || day < 1 ||
      day > days_in(year, month))
    return std::nullopt;
  std::string out;
  append_padded(out, year, 4);
  out += '-';
  append_padded(out, month, 2);
  out += '-';
  append_padded(out, day, 2);
  return out;
}

std::optional<std::string> dbf_xbase_iso_datetime(int year, int month, int day, int hour,
                                                  int minute, int second) {
  const std::optional<std::string> date = dbf_xbase_iso_date(year, month, day);
  if (!date || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
    return std::nullopt;
  std::string out = *date + 'T';
  append_padded(out, hour, 2);
  out += ':';
  append_padded(out, minute, 2);
  out += ':';
  append_padded(out, second, 2);
  return out;
}
