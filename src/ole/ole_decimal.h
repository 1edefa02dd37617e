#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ole/ole_currency.h"

// The exact decimal value (the platform's DECIMAL): a 96-bit unsigned magnitude, a scale of
// 0 to 28 (the count of decimals) and a sign. The fields keep the platform's 16-byte layout,
// which is the binary form of a decimal value. Conversions round half to even and fail
// instead of wrapping; text always uses "." as the decimal point.
struct ole_decimal {
  std::uint16_t reserved = 0;
  std::uint8_t scale = 0;
  std::uint8_t sign = 0;  // 0 or k_negative
  std::uint32_t hi32 = 0;
  std::uint64_t lo64 = 0;

  static constexpr std::uint8_t k_negative = 0x80;
  static constexpr int k_max_scale = 28;
  // "-0.0000000000000000000000000001" or 29 digits with sign and point, and a terminator.
  static constexpr std::size_t k_text_size = 33;

  bool is_negative() const { return (sign & k_negative) != 0; }
  bool is_zero() const { return hi32 == 0 && lo64 == 0; }

  // Blanks around, a sign, digits with "." as the decimal point, an exponent (e or E).
  // Digits beyond what 96 bits and 28 decimals hold are rounded away; false when the text
  // is no number or its integer part does not fit.
  static bool parse(std::string_view text, ole_decimal& out);
  // Only the common plain form, an optional minus and at most 18 digits with an optional
  // point ("-1234.50"), read in one pass: the value parse gives. False for every other text.
  static bool parse_plain(std::string_view text, ole_decimal& out);
  // Whether parse_plain reads the text, without reading it.
  static bool is_plain(std::string_view text);
  // The text format() prints for the value parse_plain reads from `plain` (which it must read),
  // worked out from the digits alone: leading and trailing zeros dropped, "0" for zero.
  static std::size_t format_plain(std::string_view plain, char (&out)[k_text_size]);
  // Both in one pass: the length of the text format_plain prints, or 0 for a text parse_plain
  // does not read.
  static std::size_t print_plain(std::string_view text, char (&out)[k_text_size]);

  // Exact text without trailing decimal zeros: 1.5, -12, 0.0000000000000000000000000001.
  // Returns its length; the text is terminated.
  std::size_t format(char (&out)[k_text_size]) const;
  std::string to_string() const;

  static ole_decimal from_i8(std::int64_t value);
  static ole_decimal from_ui8(std::uint64_t value);
  static ole_decimal from_currency(ole_currency value);
  // Fifteen significant digits, as the platform keeps of a double. False for NaN, infinities
  // and magnitudes beyond 96 bits.
  static bool from_double(double value, ole_decimal& out);

  // Round half to even to a whole number; false when it does not fit.
  bool to_i8(std::int64_t& out) const;
  bool to_ui8(std::uint64_t& out) const;
  // Round half to even to four decimals; false when it does not fit.
  bool to_currency(ole_currency& out) const;
  // The value with at most `decimals` decimals, halves rounded away from zero as xBase rounds;
  // the value itself when it has no more.
  ole_decimal rounded_to(int decimals) const;
  // The nearest double.
  double to_double() const;

  // Numeric comparison: 1.50 equals 1.5.
  int compare(const ole_decimal& other) const;
  friend bool operator==(const ole_decimal& a, const ole_decimal& b) { return a.compare(b) == 0; }
};
static_assert(sizeof(ole_decimal) == 16);
