#include "dbf/dbf_header.h"

namespace {

std::uint32_t le16(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

std::int32_t le32(const unsigned char* p) {
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
      static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

dbf_header dbf_header::parse(const unsigned char* bytes) {
  dbf_header h;
  h.signature = bytes[0];
  if (h.signature == k_foxbase) {
    h.last_rec = le16(bytes + 1);
    h.rec_size = le16(bytes + 6);
    return h;
  }
  h.last_rec = le32(bytes + 4);
  h.data_offset = le16(bytes + 8);
  h.rec_size = le16(bytes + 10);
  if (h.is_visual_foxpro()) h.table_flags = bytes[28];
  h.codepage_mark = bytes[29];
  return h;
}

dbf_table_format dbf_header::format() const {
  if (is_level7()) return dbf_table_format::level7;
  if (is_visual_foxpro()) return dbf_table_format::visual_foxpro;
  switch (signature) {
    case 0x7B:
    case 0x8B:
    case 0xCB:
    case 0xEB:
      return dbf_table_format::dbase4;
    default:
      return dbf_table_format::other;
  }
}
