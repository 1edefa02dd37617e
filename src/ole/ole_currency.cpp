#include "ole/ole_currency.h"

#include <cmath>

#include "ole/ole_decimal.h"

namespace {

constexpr double k_two63 = 9223372036854775808.0;

std::uint64_t magnitude(std::int64_t v) {
  return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

}  // namespace

bool ole_currency::parse(std::string_view text, ole_currency& out) {
  ole_decimal d;
  return ole_decimal::parse(text, d) && d.to_currency(out);
}

std::size_t ole_currency::format(char (&out)[k_text_size]) const {
  const std::uint64_t mag = magnitude(int64);
  std::uint64_t whole = mag / k_scale;
  unsigned fraction = static_cast<unsigned>(mag % k_scale);
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  std::size_t len = 0;
  if (int64 < 0) out[len++] = '-';
  while (n > 0) out[len++] = digits[--n];
  if (fraction != 0) {
    out[len++] = '.';
    for (unsigned div = 1000; fraction != 0; div /= 10) {
      out[len++] = static_cast<char>('0' + fraction / div);
      fraction %= div;
    }
  }
  out[len] = '\0';
  return len;
}

std::string ole_currency::to_string() const {
  char buf[k_text_size];
  return std::string(buf, format(buf));
}

bool ole_currency::from_i8(std::int64_t value, ole_currency& out) {
  if (value > INT64_MAX / k_scale || value < INT64_MIN / k_scale) return false;
  out.int64 = value * k_scale;
  return true;
}

bool ole_currency::from_ui8(std::uint64_t value, ole_currency& out) {
  if (value > static_cast<std::uint64_t>(INT64_MAX / k_scale)) return false;
  out.int64 = static_cast<std::int64_t>(value) * k_scale;
  return true;
}

bool ole_currency::from_double(double value, ole_currency& out) {
  // nearbyint rounds half to even in the default rounding mode.
  const double scaled = std::nearbyint(value * static_cast<double>(k_scale));
  if (!(scaled >= -k_two63 && scaled < k_two63)) return false;
  out.int64 = static_cast<std::int64_t>(scaled);
  return true;
}

double ole_currency::to_double() const {
  return static_cast<double>(int64) / static_cast<double>(k_scale);
}

std::int64_t ole_currency::to_i8() const {
  std::int64_t whole = int64 / k_scale;
  const std::int64_t rem = int64 % k_scale;  // same sign as int64
  const std::int64_t twice = rem < 0 ? -2 * rem : 2 * rem;
  if (twice > k_scale || (twice == k_scale && whole % 2 != 0)) whole += int64 < 0 ? -1 : 1;
  return whole;
}
