#include "dbf/dbf_fd7.h"

#include <cstring>

#include "ole/ole_variant.h"
#include "tk/tk_log.h"

dbf_fd7 dbf_fd7::from_slot16(const unsigned char* slot) {
  dbf_fd7 fd;
  std::memcpy(fd.bytes.data(), slot, 11);
  fd.bytes[32] = slot[11];
  fd.bytes[33] = slot[12];
  return fd;
}

dbf_fd7 dbf_fd7::from_slot32(const unsigned char* slot, bool with_flags) {
  dbf_fd7 fd;
  std::memcpy(fd.bytes.data(), slot, 11);
  fd.bytes[32] = slot[11];
  fd.bytes[33] = slot[16];
  fd.bytes[34] = slot[17];
  if (with_flags) {
    fd.flags = slot[18];
    std::memcpy(&fd.auto_next, slot + 19, 4);  // little-endian, as the host
    fd.auto_step = slot[23];
  }
  return fd;
}

dbf_fd7 dbf_fd7::from_slot48(const unsigned char* slot) {
  dbf_fd7 fd;
  std::memcpy(fd.bytes.data(), slot, k_size);
  std::memcpy(&fd.auto_next, slot + 44, 4);
  fd.auto_step = 1;
  return fd;
}

std::string_view dbf_fd7::name() const {
  const auto* p = reinterpret_cast<const char*>(bytes.data());
  const void* nul = std::memchr(p, '\0', 32);
  return std::string_view(p, nul != nullptr ? static_cast<const char*>(nul) - p : 32);
}

std::uint16_t dbf_get_vartype_2(const dbf_fd7& fd) {
  switch (fd.field_type()) {
    case 'B':
      return VT_R8;
    case 'C':
      return VT_BSTR;
    case 'D':
      return VT_DATE;
    case 'G':
    case 'P':
      TK_LOG(1, "Got BINARY data type");
      return VT_BLOB;
    case 'I':
      return VT_I4;
    case 'L':
      return VT_BOOL;
    case 'M':
      return VT_BSTR;
    // F is a decimal written as text exactly as N is, whatever its name says: its digits are
    // kept as N's are, never through a binary float.
    case 'F':
    case 'N': {
      TK_LOG(1, "GOT NUMERIC (%d,%d)", fd.length(), fd.decimals());
      if (fd.decimals() != 0) return VT_DECIMAL;
      const int length = fd.length();
      if (length < 3) return VT_I1;
      if (length <= 4) return VT_I2;
      if (length <= 9) return VT_I4;
      if (length <= 19) return VT_I8;
      return VT_R8;
    }
    case 'T':
      return VT_DATE;
    case 'Y':
      return VT_CY;
    default:
      return VT_BSTR;
  }
}

dbf_size_source dbf_size_source_of(char field_type) {
  switch (field_type) {
    case 'B':
    case 'D':
    case 'F':
    case 'I':
    case 'L':
    case 'N':
    case 'T':
    case 'Y':
      return dbf_size_source::length_byte;
    case 'G':
    case 'M':
    case 'P':
      return dbf_size_source::none;
    default:
      return dbf_size_source::char_len;
  }
}

std::uint32_t dbf_get_size_2(const dbf_fd7& fd) {
  switch (dbf_size_source_of(fd.field_type())) {
    case dbf_size_source::length_byte:
      return static_cast<std::uint32_t>(fd.length());
    case dbf_size_source::none:
      return 0;
    case dbf_size_source::char_len:
      break;
  }
  if (fd.field_type() != 'C') {
    TK_LOG(1, "Processing as STRING (size1=%d, size2=%d)", fd.length(), fd.char_len());
  }
  return fd.char_len();
}

std::uint32_t dbf_get_width(const dbf_fd7& fd) {
  const std::uint32_t size = dbf_get_size_2(fd);
  return size != 0 ? size : fd.char_len();
}

std::uint32_t dbf_get_date_kind(const dbf_fd7& fd) {
  switch (fd.field_type()) {
    case 'T':
      return 1;
    case 'D':
      return 2;
    default:
      return 0;
  }
}
