#include "dbf/dbf_create_field.h"

#include <cstring>

#include "dbf/dbf_fd7.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"

namespace {

struct letter_and_length {
  char letter;
  std::uint32_t length;
  std::uint32_t decimals;
};

letter_and_length choose(const t_ftd& column) {
  switch (column.vartype) {
    case VT_I1:
      return {'N', 4, 0};
    case VT_I2:
    case VT_UI1:
      return {'N', 6, 0};
    case VT_I4:
    case VT_UI2:
    case VT_INT:
      return {'N', 11, 0};
    case VT_R4:
    case VT_CY:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
      return {'N', 19, 5};
    case VT_R8:
      return {'B', 8, 0};
    case VT_DATE:
      if (column.reserved == 2) return {'D', 8, 0};
      if (column.reserved == 1 || column.reserved == 3) return {'T', 8, 0};
      return {'C', 19, 0};
    case VT_BSTR:
      if (column.size >= 1 && column.size <= 254) {
        TK_LOG(1, "GOT BSTR SIZE=%d", static_cast<int>(column.size));
        return {'C', column.size + 1, 0};
      }
      return {'M', 10, 0};
    case VT_BOOL:
      return {'L', 1, 0};
    case VT_DECIMAL:
      if (column.reserved == 0) return {'N', 2, 0};
      return {'N', column.get_precision() + 2, column.get_scale()};
    default:
      return {'M', 10, 0};
  }
}

}  // namespace

std::array<unsigned char, 32> dbf_create_field(const t_ftd& column, std::uint32_t offset) {
  TK_WLOG(1, "dbf_create_field(%s, vt=%d, size=%d)", column.name, static_cast<int>(column.vartype),
          static_cast<int>(column.size));
  std::array<unsigned char, 32> fd{};
  // The name in at most 10 bytes, cut at a character boundary of its UTF-8 form.
  const std::string name = tk_to_utf8(column.name);
  std::size_t n = std::min<std::size_t>(name.size(), 10);
  while (n > 0 && n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  std::memcpy(fd.data(), name.data(), n);
  const letter_and_length kind = choose(column);
  fd[11] = static_cast<unsigned char>(kind.letter);
  for (int i = 0; i < 4; ++i)
    fd[12 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(offset >> (8 * i));
  if (kind.letter == 'C') {
    fd[16] = static_cast<unsigned char>(kind.length);
    fd[17] = static_cast<unsigned char>(kind.length >> 8);
  } else {
    fd[16] = static_cast<unsigned char>(std::min<std::uint32_t>(kind.length, 255));
    fd[17] = static_cast<unsigned char>(kind.decimals);
  }
  return fd;
}

std::uint32_t dbf_get_size_1(const unsigned char* slot) {
  switch (dbf_size_source_of(static_cast<char>(slot[11]))) {
    case dbf_size_source::length_byte:
      return slot[16];
    case dbf_size_source::none:
      return 0;
    case dbf_size_source::char_len:
      break;
  }
  return static_cast<std::uint32_t>(slot[16]) | static_cast<std::uint32_t>(slot[17]) << 8;
}
