#include "ole/ole_decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "ole/ole_number_text.h"

namespace {

__extension__ typedef unsigned __int128 u128;

constexpr u128 k_limit = static_cast<u128>(1) << 96;  // magnitudes stay below this

constexpr u128 pow10(int n) {
  u128 p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

u128 magnitude(const ole_decimal& d) {
  return (static_cast<u128>(d.hi32) << 64) | d.lo64;
}

ole_decimal make(u128 mag, int scale, bool negative) {
  ole_decimal d;
  d.hi32 = static_cast<std::uint32_t>(mag >> 64);
  d.lo64 = static_cast<std::uint64_t>(mag);
  d.scale = static_cast<std::uint8_t>(scale);
  d.sign = negative && mag != 0 ? ole_decimal::k_negative : 0;
  return d;
}

// q = mag / 10^drop rounded half to even; sticky marks nonzero digits already dropped below.
u128 round_off(u128 mag, int drop, bool sticky) {
  if (drop <= 0) return mag;
  if (drop > 38) return 0;  // mag < 10^38 is below half of 10^39
  const u128 p = pow10(drop);
  u128 q = mag / p;
  const u128 rem = mag % p;
  const u128 half = p / 2;
  if (rem > half || (rem == half && (sticky || (q & 1) != 0))) ++q;
  return q;
}

// The whole part rounded half to even, and whether the result stayed within `limit`.
bool whole_part(const ole_decimal& d, u128 limit, u128& out) {
  out = round_off(magnitude(d), d.scale, false);
  return out <= limit;
}

}  // namespace

bool ole_decimal::parse_plain(std::string_view text, ole_decimal& out) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  std::uint64_t mag = 0;
  int digits = 0;
  int scale = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      mag = mag * 10 + static_cast<unsigned>(c - '0');
      ++digits;
      if (point) ++scale;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (digits == 0 || digits > 18) return false;
  // A value of only zeros is the plain zero, without scale or sign.
  out = mag == 0 ? ole_decimal{} : make(mag, scale, negative);
  return true;
}

bool ole_decimal::is_plain(std::string_view text) {
  char printed[k_text_size];
  return print_plain(text, printed) != 0;
}

std::size_t ole_decimal::format_plain(std::string_view plain, char (&out)[k_text_size]) {
  return print_plain(plain, out);
}

std::size_t ole_decimal::print_plain(std::string_view text, char (&out)[k_text_size]) {
  const char* p = text.data();
  const char* const end = p + text.size();
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  const auto digits_from = [&](const char* q) {
    while (q != end && static_cast<unsigned>(*q - '0') <= 9) ++q;
    return q;
  };
  const char* const whole = p;
  const char* const whole_end = digits_from(whole);
  const char* fraction = whole_end;
  const char* fraction_end = whole_end;
  if (fraction != end && *fraction == '.') fraction_end = digits_from(++fraction);
  const auto count = (whole_end - whole) + (fraction_end - fraction);
  if (fraction_end != end || count == 0 || count > 18) return 0;
  const char* first = whole;
  while (first != whole_end && *first == '0') ++first;
  while (fraction_end != fraction && fraction_end[-1] == '0') --fraction_end;
  std::size_t len = 0;
  if (first == whole_end && fraction == fraction_end) {
    out[len++] = '0';  // zero has no sign
  } else {
    if (negative) out[len++] = '-';
    if (first == whole_end) out[len++] = '0';
    for (const char* q = first; q != whole_end; ++q) out[len++] = *q;
    if (fraction != fraction_end) {
      out[len++] = '.';
      for (const char* q = fraction; q != fraction_end; ++q) out[len++] = *q;
    }
  }
  out[len] = '\0';
  return len;
}

bool ole_decimal::parse(std::string_view text, ole_decimal& out) {
  if (parse_plain(text, out)) return true;
  ole_number_text num;
  if (!ole_number_text::scan(text, num)) return false;
  if (num.count == 0) {
    out = ole_decimal{};
    return true;
  }
  u128 digits = 0;
  for (int i = 0; i < num.count; ++i) digits = digits * 10 + static_cast<unsigned>(num.digits[i]);

  if (num.exponent >= 0) {
    // A whole number: every digit must fit, there is nothing to round.
    if (num.count + num.exponent > 29) return false;
    u128 mag = digits * pow10(num.exponent);
    if (mag >= k_limit) return false;
    out = make(mag, 0, num.negative);
    return true;
  }
  int scale = -num.exponent;
  int drop = scale > k_max_scale ? scale - k_max_scale : 0;
  u128 mag = round_off(digits, drop, num.sticky);
  scale -= drop;
  while (mag >= k_limit) {
    if (scale == 0) return false;
    // One more decimal goes; round from the exact digits to avoid rounding twice.
    ++drop;
    --scale;
    mag = round_off(digits, drop, num.sticky);
  }
  out = make(mag, scale, num.negative);
  return true;
}

std::size_t ole_decimal::format(char (&out)[k_text_size]) const {
  if (is_zero()) {
    out[0] = '0';
    out[1] = '\0';
    return 1;
  }
  const int scale = this->scale > k_max_scale ? k_max_scale : this->scale;
  if (hi32 == 0) {
    // The common case, a magnitude of 64 bits with digits before the point: the digits are
    // printed in place and the fraction moved one place on for the point.
    std::size_t len = is_negative() ? 1 : 0;
    out[0] = '-';
    char* const d = out + len;
    const int n = static_cast<int>(std::to_chars(d, out + k_text_size, lo64).ptr - d);
    const int whole = n - scale;
    if (whole > 0) {
      int end = n;  // trailing decimal zeros are not printed
      while (end > whole && d[end - 1] == '0') --end;
      if (end > whole) {
        for (int i = end; i > whole; --i) d[i] = d[i - 1];
        d[whole] = '.';
        ++end;
      }
      len += static_cast<std::size_t>(end);
      out[len] = '\0';
      return len;
    }
  }
  // The digits, most significant first.
  char digits[40];
  int n = 0;
  if (hi32 == 0) {
    n = static_cast<int>(std::to_chars(digits, digits + sizeof digits, lo64).ptr - digits);
  } else {
    u128 mag = magnitude(*this);
    char reversed[40];
    while (mag != 0) {
      reversed[n++] = static_cast<char>('0' + static_cast<int>(mag % 10));
      mag /= 10;
    }
    std::reverse_copy(reversed, reversed + n, digits);
  }
  // Trailing decimal zeros are not printed.
  int skip = 0;
  while (skip < scale && skip < n && digits[n - 1 - skip] == '0') ++skip;
  std::size_t len = 0;
  if (is_negative()) out[len++] = '-';
  const int whole = n - scale;  // digits before the point
  if (whole <= 0) {
    out[len++] = '0';
  } else {
    for (int i = 0; i < whole; ++i) out[len++] = digits[i];
  }
  if (skip < scale) {
    out[len++] = '.';
    for (int i = 0; i < -whole; ++i) out[len++] = '0';
    for (int i = whole < 0 ? 0 : whole; i < n - skip; ++i) out[len++] = digits[i];
  }
  out[len] = '\0';
  return len;
}

std::string ole_decimal::to_string() const {
  char buf[k_text_size];
  return std::string(buf, format(buf));
}

ole_decimal ole_decimal::from_i8(std::int64_t value) {
  const bool negative = value < 0;
  const std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(value) : value;
  return make(mag, 0, negative);
}

ole_decimal ole_decimal::from_ui8(std::uint64_t value) {
  return make(value, 0, false);
}

ole_decimal ole_decimal::from_currency(ole_currency value) {
  const bool negative = value.int64 < 0;
  const std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(value.int64) : value.int64;
  return make(mag, 4, negative);
}

bool ole_decimal::from_double(double value, ole_decimal& out) {
  if (!std::isfinite(value)) return false;
  char buf[40];
  const int n = std::snprintf(buf, sizeof buf, "%.14e", value);
  return n > 0 && parse(std::string_view(buf, static_cast<std::size_t>(n)), out);
}

bool ole_decimal::to_i8(std::int64_t& out) const {
  u128 whole;
  const u128 limit = is_negative() ? static_cast<u128>(std::numeric_limits<std::int64_t>::max()) + 1
                                   : std::numeric_limits<std::int64_t>::max();
  if (!whole_part(*this, limit, whole)) return false;
  out = is_negative() ? static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(whole))
                      : static_cast<std::int64_t>(whole);
  return true;
}

bool ole_decimal::to_ui8(std::uint64_t& out) const {
  u128 whole;
  if (!whole_part(*this, std::numeric_limits<std::uint64_t>::max(), whole)) return false;
  if (is_negative() && whole != 0) return false;
  out = static_cast<std::uint64_t>(whole);
  return true;
}

bool ole_decimal::to_currency(ole_currency& out) const {
  u128 mag = magnitude(*this);
  if (scale > 4) {
    mag = round_off(mag, scale - 4, false);
  } else {
    for (int s = scale; s < 4; ++s) {
      mag *= 10;
      if (mag >= (static_cast<u128>(1) << 64)) return false;
    }
  }
  const u128 limit = is_negative() ? static_cast<u128>(std::numeric_limits<std::int64_t>::max()) + 1
                                   : std::numeric_limits<std::int64_t>::max();
  if (mag > limit) return false;
  out.int64 = is_negative() ? static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(mag))
                            : static_cast<std::int64_t>(mag);
  return true;
}

ole_decimal ole_decimal::rounded_to(int decimals) const {
  if (decimals < 0 || scale <= decimals) return *this;
  const u128 p = pow10(scale - decimals);
  const u128 mag = magnitude(*this);
  // Dividing by 10 or more leaves room below 2^96 for the carry.
  const u128 q = mag / p + (mag % p >= p / 2 ? 1 : 0);
  return make(q, decimals, q != 0 && is_negative());
}

double ole_decimal::to_double() const {
  // Through the exact text, so that the double is the nearest one.
  char buf[k_text_size];
  const std::size_t n = format(buf);
  double value = 0;
  std::from_chars(buf, buf + n, value);
  return value;
}

int ole_decimal::compare(const ole_decimal& other) const {
  const bool neg_a = is_negative() && !is_zero();
  const bool neg_b = other.is_negative() && !other.is_zero();
  if (neg_a != neg_b) return neg_a ? -1 : 1;
  // Whole parts first, then the fractions widened to 28 decimals (no overflow either way).
  const u128 pa = pow10(scale), pb = pow10(other.scale);
  const u128 ma = magnitude(*this), mb = magnitude(other);
  int c = 0;
  if (ma / pa != mb / pb) {
    c = ma / pa < mb / pb ? -1 : 1;
  } else {
    const u128 fa = (ma % pa) * pow10(k_max_scale - scale);
    const u128 fb = (mb % pb) * pow10(k_max_scale - other.scale);
    c = fa == fb ? 0 : (fa < fb ? -1 : 1);
  }
  return neg_a ? -c : c;
}
