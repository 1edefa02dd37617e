#include "ole/ole_utf.h"

#include <unicode/ustring.h>

#include <climits>

bool ole_utf8_to_utf16(std::string_view in, std::u16string& out) {
  // UTF-16 never needs more code units than UTF-8 has bytes.
  out.resize(in.size());
  std::size_t i = 0;
  for (; i < in.size() && static_cast<unsigned char>(in[i]) < 0x80; ++i) out[i] = in[i];
  if (i == in.size()) return true;
  if (in.size() > INT_MAX) {
    out.clear();
    return false;
  }
  UErrorCode err = U_ZERO_ERROR;
  int32_t len = 0;
  u_strFromUTF8(out.data() + i, static_cast<int32_t>(out.size() - i), &len, in.data() + i,
                static_cast<int32_t>(in.size() - i), &err);
  if (U_FAILURE(err)) {
    out.clear();
    return false;
  }
  out.resize(i + static_cast<std::size_t>(len));
  return true;
}

bool ole_utf16_to_utf8(std::u16string_view in, std::string& out) {
  std::size_t i = 0;
  out.resize(in.size());
  for (; i < in.size() && in[i] < 0x80; ++i) out[i] = static_cast<char>(in[i]);
  if (i == in.size()) return true;
  if (in.size() > INT_MAX / 3) {
    out.clear();
    return false;
  }
  out.resize(i + (in.size() - i) * 3);  // at most three bytes per UTF-16 unit
  UErrorCode err = U_ZERO_ERROR;
  int32_t len = 0;
  u_strToUTF8(out.data() + i, static_cast<int32_t>(out.size() - i), &len, in.data() + i,
              static_cast<int32_t>(in.size() - i), &err);
  if (U_FAILURE(err)) {
    out.clear();
    return false;
  }
  out.resize(i + static_cast<std::size_t>(len));
  return true;
}
