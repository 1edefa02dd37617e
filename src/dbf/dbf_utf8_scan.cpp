#include "dbf/dbf_utf8_scan.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint64_t k_high_bits = 0x8080808080808080ull;
constexpr std::uint64_t k_low_bits = 0x0101010101010101ull;

// The length of the well-formed sequence at `p` (at most `left` bytes), or 0: no overlong
// forms, no surrogates, nothing above U+10FFFF.
std::size_t sequence_length(const unsigned char* p, std::size_t left) {
  const unsigned char lead = p[0];
  std::size_t n = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (n > left || p[1] < low || p[1] > high) return 0;
  for (std::size_t i = 2; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
  }
  return n;
}

}  // namespace

void dbf_utf8_scan::add(std::string_view bytes) {
  if (!valid_) return;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* const end = p + bytes.size();
  while (p != end) {
    // Plain ASCII without NUL, the bulk of most text, eight bytes at a time.
    if (end - p >= 8) {
      std::uint64_t eight;
      std::memcpy(&eight, p, 8);
      const std::uint64_t has_nul = (eight - k_low_bits) & ~eight & k_high_bits;
      if (((eight & k_high_bits) | has_nul) == 0) {
        p += 8;
        continue;
      }
    }
    if (*p == 0) return;  // text ends at its first NUL
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const std::size_t n = sequence_length(p, static_cast<std::size_t>(end - p));
    if (n == 0) {
      valid_ = false;
      return;
    }
    multibyte_ = true;
    p += n;
  }
}
