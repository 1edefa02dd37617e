#pragma once

#include <cstdint>

// The wire form of DECIMAL/NUMERIC: a sign byte (1 = negative) and the magnitude in big-endian
// bytes, as many as the precision needs.
__extension__ using odb_u128 = unsigned __int128;

// Bytes of the whole value (sign byte included) for precisions 1 to 38.
inline int odb_numeric_bytes(int precision) {
  static constexpr std::uint8_t k_bytes[39] = {2,  2,  2,  3,  3,  4,  4,  4,  5,  5,  6,  6,  6,
                                               7,  7,  8,  8,  9,  9,  9,  10, 10, 11, 11, 11, 12,
                                               12, 13, 13, 14, 14, 14, 15, 15, 16, 16, 16, 17, 17};
  if (precision < 0) precision = 0;
  if (precision > 38) precision = 38;
  return k_bytes[precision];
}

inline odb_u128 odb_pow10(int n) {
  odb_u128 v = 1;
  while (n-- > 0) v *= 10;
  return v;
}
