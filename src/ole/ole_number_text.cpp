#include "ole/ole_number_text.h"

#include <climits>

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

bool ole_number_text::scan(std::string_view text, ole_number_text& out, bool comma_is_point) {
  out = ole_number_text{};
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && is_blank(text[i])) ++i;
  if (i < n && (text[i] == '+' || text[i] == '-')) out.negative = text[i++] == '-';

  bool any_digit = false;
  auto take = [&](char c, bool fraction) {
    const int d = c - '0';
    any_digit = true;
    if (out.count == 0 && d == 0) {
      if (fraction) --out.exponent;  // a leading zero after the point
    } else if (out.count < k_max_digits) {
      out.digits[out.count++] = static_cast<char>(d);
      if (fraction) --out.exponent;
    } else {
      if (!fraction) ++out.exponent;  // integer digit beyond those kept
      out.sticky = out.sticky || d != 0;
    }
  };
  while (i < n && is_digit(text[i])) take(text[i++], false);
  if (i < n && (text[i] == '.' || (comma_is_point && text[i] == ','))) {
    ++i;
    while (i < n && is_digit(text[i])) take(text[i++], true);
  }
  if (!any_digit) return false;

  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative_exp = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative_exp = text[i++] == '-';
    if (i >= n || !is_digit(text[i])) return false;
    long e = 0;
    while (i < n && is_digit(text[i])) {
      if (e < 100000) e = e * 10 + (text[i] - '0');  // beyond this only zero or overflow
      ++i;
    }
    out.exponent += static_cast<int>(negative_exp ? -e : e);
  }
  while (i < n && is_blank(text[i])) ++i;
  return i == n;
}

std::size_t ole_leading_number(std::string_view text, std::size_t* start, bool comma_is_point) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && is_blank(text[i])) ++i;
  *start = i;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && is_digit(text[i])) ++i, ++digits;
  if (i < n && (text[i] == '.' || (comma_is_point && text[i] == ','))) {
    std::size_t j = i + 1;
    std::size_t fraction = 0;
    while (j < n && is_digit(text[j])) ++j, ++fraction;
    if (digits + fraction > 0) i = j;
    digits += fraction;
  }
  if (digits == 0) return 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < n && is_digit(text[j])) {
      while (j < n && is_digit(text[j])) ++j;
      i = j;
    }
  }
  return i - *start;
}

long long ole_leading_integer(std::string_view text, bool* overflow) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  *overflow = false;
  while (i < n && is_blank(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulated as a negative number so that LLONG_MIN is reachable.
  long long value = 0;
  for (; i < n && is_digit(text[i]); ++i) {
    const int d = text[i] - '0';
    if (value < (LLONG_MIN + d) / 10) {
      *overflow = true;
      value = LLONG_MIN;
      continue;
    }
    value = value * 10 - d;
  }
  if (negative) return value;
  if (value == LLONG_MIN) {
    *overflow = true;
    return LLONG_MAX;
  }
  return -value;
}
