#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstddef>
#include <cstring>

// Sixteen bytes from `src` when at least that many are left, else the `left` bytes there
// followed by zeros: text is scanned a block at a time without reading past its end.
inline __m128i tk_load_block16(const char* src, std::size_t left) {
  if (left >= 16) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  char tail[16] = {};
  std::memcpy(tail, src, left);
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(tail));
}
#endif
