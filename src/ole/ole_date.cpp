#include "ole/ole_date.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "ole/ole_date_text.h"
#include "ole/ole_number_text.h"
#include "tk/tk_log.h"

namespace {

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

// Reads text the way sscanf reads %d, %Nd, %hd, %s and literal characters, so that the date
// forms below accept exactly what their scanf formats describe.
class scanner {
 public:
  explicit scanner(std::string_view s) : s_(s) {}

  // Blanks, a sign and digits, at most `width` characters after the blanks (0: no limit).
  // A value outside the 16-bit range fails, as it cannot be a date part.
  bool integer(std::uint16_t& out, std::size_t width = 0) {
    skip_blanks();
    const std::size_t limit = width > 0 ? std::min(s_.size(), pos_ + width) : s_.size();
    std::size_t i = pos_;
    bool negative = false;
    if (i < limit && (s_[i] == '+' || s_[i] == '-')) negative = s_[i++] == '-';
    const std::size_t first = i;
    long value = 0;
    while (i < limit && is_digit(s_[i])) {
      if (value < 1000000) value = value * 10 + (s_[i] - '0');
      ++i;
    }
    if (i == first || value > 32767) return false;
    pos_ = i;
    out = static_cast<std::uint16_t>(negative ? -value : value);
    return true;
  }

  bool literal(char c) {
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  // A run of non-blank characters (at most 255).
  bool word(std::string_view& out) {
    skip_blanks();
    const std::size_t first = pos_;
    while (pos_ < s_.size() && !is_space(s_[pos_]) && pos_ - first < 255) ++pos_;
    out = s_.substr(first, pos_ - first);
    return !out.empty();
  }

  void skip_blanks() {
    while (pos_ < s_.size() && is_space(s_[pos_])) ++pos_;
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

bool all_zero_time(const ole_systemtime& st) {
  return st.hour == 0 && st.minute == 0 && st.second == 0 && st.milliseconds == 0;
}

}  // namespace

ole_date::ole_date(const ole_systemtime& st) : st_(st), kind_(k_datetime) {
  TK_LOG(1, "ole_date::ole_date(SYSTEMTIME)");
  refine_type();
}

ole_date::ole_date(const ole_variant& value) {
  TK_LOG(1, "ole_date::ole_date(VARIANT, vt=%d)", static_cast<int>(value.vt()));
  if (value.vt() == VT_DATE) {
    // The broken-down date is kept with every date value and agrees with its OLE date.
    st_ = value.systemtime();
    kind_ = k_datetime;
    refine_type();
  } else if (value.vt() != VT_EMPTY && value.vt() != VT_NULL) {
    throw tk_mail_assertion(__FILE__, __LINE__);
  }
}

ole_date::ole_date(std::u16string_view text) {
  // Dates are ASCII; anything else cannot parse, so a lossy narrowing is enough.
  char buf[64];
  if (text.size() <= sizeof buf &&
      std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
    std::transform(text.begin(), text.end(), buf, [](char16_t c) { return static_cast<char>(c); });
    *this = ole_date(std::string_view(buf, text.size()));
  } else {
    *this = ole_date(std::string_view(tk_to_utf8_lossy(text)));
  }
}

ole_date::ole_date(std::string_view text) {
  TK_LOG(1, "ole_date::ole_date('%s')", text);
  std::string_view buf = trim(text);
  TK_LOG(1, "After tk_trim: %s", buf);
  bool morning = false;
  for (const std::string_view marker : {"AM", "PM", "am", "pm"}) {
    const std::size_t pos = buf.find(marker);
    if (pos != std::string_view::npos) {
      morning = marker[0] == 'A' || marker[0] == 'a';
      buf = trim(buf.substr(0, pos));
      break;
    }
  }
  TK_LOG(1, "Again buf1=%s", buf);
  // "2:30" is the shortest time there is.
  if (buf.size() < 4) {
    TK_LOG(2, "Invalid date/time format: '%s'", buf);
    return;
  }
  import_from_string(buf);
  if ((kind_ == k_datetime || kind_ == k_date) && st_.day > 31 && st_.year < 32) {
    std::swap(st_.year, st_.day);  // day-first forms such as 31.12.2017
  }
  if (kind_ == k_invalid) return;
  const bool afternoon =
      text.find("PM") != std::string_view::npos || text.find("pm") != std::string_view::npos;
  if (afternoon && st_.hour < 12) {
    st_.hour = static_cast<std::uint16_t>(st_.hour + 12);
  } else if (morning && !afternoon && st_.hour == 12) {
    st_.hour = 0;  // 12:15 AM is a quarter past midnight
  }
}

bool ole_date::is_valid() const {
  TK_LOG(1, "ole_date::is_valid");
  if (kind_ == k_invalid) return false;
  // A bare date has no time to stand on its own: 0000-00-00 is no date.
  if (st_.year == 0 && st_.month == 0 && st_.day == 0 && kind_ != k_date) {
    TK_LOG(1, "DATETIME is a pute time");
  } else {
    if (st_.month == 0 || st_.month > 12) {
      TK_LOG(1, "Invalid month");
      return false;
    }
    if (st_.day == 0 || st_.year == 0 || (st_.year > 31 && st_.day > 31)) {
      TK_LOG(1, "Invalid day and/or year");
      return false;
    }
    // The calendar date as it will stand once day-first forms are swapped: it must exist.
    int year = st_.year, day = st_.day;
    if ((kind_ == k_datetime || kind_ == k_date) && day > 31 && year < 32) std::swap(year, day);
    year = ole_widen_year(year);
    if (year > 9999 || day > ole_days_in_month(year, st_.month)) {
      TK_LOG(1, "Invalid day and/or year");
      return false;
    }
  }
  if (st_.hour > 23 || st_.minute > 59 || st_.second > 59 || st_.milliseconds > 999) {
    TK_LOG(1, "Invalid time");
    return false;
  }
  return true;
}

void ole_date::refine_type() {
  TK_LOG(1, "ole_date::refine_type(%d,%d,%d,%d,%d,%d)", st_.year, st_.month, st_.day, st_.hour,
         st_.minute, st_.second);
  if (st_.year == 0 && st_.month == 0 && st_.day == 0) {
    kind_ = k_time;
  } else if (all_zero_time(st_) && st_.year != 0 && st_.month != 0 && st_.day != 0) {
    kind_ = k_date;
  }
}

void ole_date::import_from_string(std::string_view text) {
  TK_LOG(1, "ole_date::import_from_string");
  st_ = ole_systemtime{};
  kind_ = k_invalid;
  auto accept = [this](int kind) {
    kind_ = kind;
    if (is_valid()) return true;
    st_ = ole_systemtime{};
    kind_ = k_invalid;
    return false;
  };

  if (text.size() == 14) {
    TK_LOG(1, "Trying timestamp format (1)...");
    scanner in(text);
    if (in.integer(st_.year, 4) && in.integer(st_.month, 2) && in.integer(st_.day, 2) &&
        in.integer(st_.hour, 2) && in.integer(st_.minute, 2) && in.integer(st_.second, 2) &&
        accept(k_datetime)) {
      return;
    }
    st_ = ole_systemtime{};
  }
  if (text.size() == 8) {
    TK_LOG(1, "Trying timestamp format (2)...");
    scanner in(text);
    if (in.integer(st_.year, 4) && in.integer(st_.month, 2) && in.integer(st_.day, 2) &&
        accept(k_date)) {
      return;
    }
    st_ = ole_systemtime{};
  }
  {
    TK_LOG(1, "Trying pure time format...");
    scanner in(text);
    std::string_view seconds;
    if (in.integer(st_.hour) && in.literal(':') && in.integer(st_.minute)) {
      if (in.literal(':') && in.word(seconds)) process_milliseconds(seconds);
      if (accept(k_time)) return;
    }
    st_ = ole_systemtime{};
  }
  static constexpr char k_separators[] = {'-', '/', '.'};
  for (int k = 0; k < 3; ++k) {
    TK_LOG(1, "Trying datetime format #%d", k);
    const char sep = k_separators[k];
    scanner in(text);
    int items = 0;
    std::string_view seconds;
    if (in.integer(st_.year) && ++items && in.literal(sep) && in.integer(st_.month) && ++items &&
        in.literal(sep) && in.integer(st_.day) && ++items) {
      in.skip_blanks();
      if (in.integer(st_.hour) && ++items && in.literal(':') && in.integer(st_.minute) && ++items &&
          in.literal(':') && in.word(seconds)) {
        ++items;
      }
    }
    if (items == 3) {
      st_.hour = st_.minute = 0;
      TK_LOG(1, "Format #%d succeeded (3 items)", k);
      if (accept(k_date)) return;
    } else if (items == 6) {
      TK_LOG(1, "Format #%d succeeded (6 items)", k);
      process_milliseconds(seconds);
      kind_ = k_datetime;
      refine_type();
      if (accept(kind_)) return;
    }
    st_ = ole_systemtime{};
  }
  if (ole_parse_date_text(text, st_)) {
    TK_LOG(1, "Got datetime using Microsoft API");
    kind_ = k_datetime;
    refine_type();
    if (accept(kind_)) return;
  }
  st_ = ole_systemtime{};
  kind_ = k_invalid;
  TK_LOG(2, "Invalid date/time format: '%s'", text);
}

void ole_date::process_milliseconds(std::string_view seconds) {
  TK_LOG(1, "ole_date::process_milliseconds");
  TK_LOG(1, "Got row sec: '%s'", seconds);
  std::size_t start = 0;
  const std::size_t len = ole_leading_number(seconds, &start, false);
  const std::string_view num = seconds.substr(start, len);
  long whole = 0;
  long millis = 0;
  if (num.find_first_of("eE") != std::string_view::npos) {
    // Rare exponent forms go through a double.
    double v = 0;
    std::from_chars(num.data() + (num[0] == '+' ? 1 : 0), num.data() + num.size(), v);
    v = std::clamp(v, -70000.0, 70000.0);
    whole = static_cast<long>(v);
    millis = static_cast<long>((v - static_cast<double>(whole)) * 1000);
  } else {
    // The decimals are read as digits: 45.123 is 45 s and exactly 123 ms.
    std::size_t i = 0;
    bool negative = false;
    if (i < num.size() && (num[i] == '+' || num[i] == '-')) negative = num[i++] == '-';
    for (; i < num.size() && is_digit(num[i]); ++i) {
      if (whole < 70000) whole = whole * 10 + (num[i] - '0');
    }
    if (i < num.size() && num[i] == '.') ++i;
    for (int place = 100; i < num.size() && is_digit(num[i]) && place > 0; ++i, place /= 10) {
      millis += (num[i] - '0') * place;
    }
    if (negative) whole = -whole, millis = -millis;
  }
  st_.second = static_cast<std::uint16_t>(whole);
  st_.milliseconds = static_cast<std::uint16_t>(millis);
  TK_LOG(1, "Got sec: %d", static_cast<int>(whole));
  TK_LOG(1, "Got msec: %d", static_cast<int>(millis));
}

ole_variant ole_date::to_variant() const {
  TK_LOG(1, "ole_date::to_variant");
  ole_systemtime st = st_;
  if (st.month != 0 && st.day != 0) st.year = static_cast<std::uint16_t>(ole_widen_year(st.year));
  return ole_variant(st);
}

std::size_t ole_date::print(char (&out)[k_text_size], bool with_milliseconds,
                            bool wide_form) const {
  ole_systemtime st = st_;
  if (st.year < 100 && (!wide_form || (st.month != 0 && st.day != 0))) {
    st.year = static_cast<std::uint16_t>(ole_widen_year(st.year));
  }
  // Milliseconds print with three digits, so that 5 ms reads back as 5 ms, not 500.
  const bool ms = with_milliseconds && st.milliseconds != 0;
  int n = 0;
  switch (kind_) {
    case k_datetime:
      if (midnight_as_date_ && all_zero_time(st)) {
        TK_LOG(1, "printing date...");
        n = std::snprintf(out, sizeof out, "%04d-%02d-%02d", st.year, st.month, st.day);
      } else if (!ms) {
        TK_LOG(1, "printing datetime...");
        n = std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", st.year, st.month,
                          st.day, st.hour, st.minute, st.second);
      } else {
        TK_LOG(1, "printing datetime...");
        n = std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d.%03d", st.year, st.month,
                          st.day, st.hour, st.minute, st.second, st.milliseconds);
      }
      break;
    case k_date:
      TK_LOG(1, "printing date...");
      n = std::snprintf(out, sizeof out, "%04d-%02d-%02d", st.year, st.month, st.day);
      break;
    case k_time: {
      TK_LOG(1, "printing time...");
      const char* prefix = wide_form ? "" : "0000-00-00 ";
      n = ms ? std::snprintf(out, sizeof out, "%s%02d:%02d:%02d.%03d", prefix, st.hour, st.minute,
                             st.second, st.milliseconds)
             : std::snprintf(out, sizeof out, "%s%02d:%02d:%02d", prefix, st.hour, st.minute,
                             st.second);
      break;
    }
    default:
      out[0] = '\0';
      break;
  }
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::string ole_date::to_string(bool with_milliseconds) const {
  TK_LOG(1, "ole_date::to_string");
  char buf[k_text_size];
  return std::string(buf, print(buf, with_milliseconds, false));
}

std::u16string ole_date::to_wstring(bool with_milliseconds) const {
  TK_LOG(1, "ole_date::to_wstring");
  char buf[k_text_size];
  const std::size_t n = print(buf, with_milliseconds, true);
  return std::u16string(buf, buf + n);
}
