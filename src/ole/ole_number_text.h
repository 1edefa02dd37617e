#pragma once

#include <string_view>

// A decimal number read from text without heap allocation: its significant digits (no
// leading zeros), the power of ten they are scaled by, and the sign. The value is
// digits × 10^exponent, plus a little more when `sticky` is set (nonzero digits were dropped
// beyond the stored ones, which matters only for rounding).
struct ole_number_text {
  static constexpr int k_max_digits = 38;  // fits an unsigned 128-bit integer

  char digits[k_max_digits] = {};  // values 0 to 9
  int count = 0;
  int exponent = 0;
  bool negative = false;
  bool sticky = false;

  // The whole text must be the number: blanks around, a sign, digits with a decimal point,
  // an optional exponent (e or E, a sign, digits). With comma_is_point "," counts as the
  // decimal point too.
  static bool scan(std::string_view text, ole_number_text& out, bool comma_is_point = false);
};

// The length of the leading floating-point number of text after blanks (as strtod reads it,
// without hexadecimal, infinities and NaN); 0 when there is none. The number starts at
// *start. With comma_is_point "," counts as the decimal point.
std::size_t ole_leading_number(std::string_view text, std::size_t* start, bool comma_is_point);

// The leading decimal integer of text as atoi reads it: blanks, a sign, digits; reading stops
// at the first other character, no digits give 0. Saturates and sets overflow when the value
// leaves the 64-bit range.
long long ole_leading_integer(std::string_view text, bool* overflow);
