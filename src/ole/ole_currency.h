#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The currency value: a signed 64-bit count of ten-thousandths (the platform's CY).
// Conversions round half to even, as OLE Automation does, and fail instead of wrapping.
struct ole_currency {
  std::int64_t int64 = 0;

  static constexpr std::int64_t k_scale = 10000;
  // "-922337203685477.5808" and its terminator fit.
  static constexpr std::size_t k_text_size = 24;

  static constexpr ole_currency from_raw(std::int64_t ten_thousandths) {
    return ole_currency{ten_thousandths};
  }

  // Blanks around, a sign, digits with "." as the decimal point, an exponent; more than four
  // decimals are rounded. False when the text is no number or the value does not fit.
  static bool parse(std::string_view text, ole_currency& out);

  // The shortest exact text with "." as decimal point: 2.5, -3, 0.0001. Returns its length;
  // the text is terminated.
  std::size_t format(char (&out)[k_text_size]) const;
  std::string to_string() const;

  static bool from_i8(std::int64_t value, ole_currency& out);
  static bool from_ui8(std::uint64_t value, ole_currency& out);
  static bool from_double(double value, ole_currency& out);

  double to_double() const;
  // Rounded half to even to a whole number.
  std::int64_t to_i8() const;

  friend bool operator==(const ole_currency&, const ole_currency&) = default;
};
static_assert(sizeof(ole_currency) == 8);
