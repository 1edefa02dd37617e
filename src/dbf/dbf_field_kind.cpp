#include "dbf/dbf_field_kind.h"

namespace {

dbf_decode plain_decode(char letter) {
  switch (letter) {
    case 'L':
      return dbf_decode::logical;
    case 'Y':
      return dbf_decode::currency;
    case 'I':
      return dbf_decode::int_le;
    case 'B':
      return dbf_decode::double_le;
    case 'T':
      return dbf_decode::julian_datetime;
    case 'M':
      return dbf_decode::memo_text;
    case 'G':
    case 'P':
      return dbf_decode::memo_bytes;
    default:
      return dbf_decode::text;
  }
}

// A fixed-width binary value: the length byte gives both width and column size.
void fixed(dbf_field_kind& kind, const dbf_fd7& fd, dbf_decode decode, ole_vartype vartype) {
  kind.decode = decode;
  kind.vartype = vartype;
  kind.size = kind.width = static_cast<std::uint32_t>(fd.length());
}

void memo_bytes(dbf_field_kind& kind, const dbf_fd7& fd) {
  kind.decode = dbf_decode::memo_bytes;
  kind.vartype = VT_BLOB;
  kind.size = 0;
  kind.width = fd.char_len();
}

// Fields of the record's own bytes, kept as bytes: VARBINARY of the field's width.
void field_bytes(dbf_field_kind& kind, const dbf_fd7& fd) {
  kind.decode = dbf_decode::bytes;
  kind.vartype = VT_BLOB;
  kind.size = kind.width = fd.char_len();
}

void null_flags(dbf_field_kind& kind, const dbf_fd7& fd) {
  kind.decode = dbf_decode::null_flags;
  kind.width = fd.char_len();
}

void level7(dbf_field_kind& kind, const dbf_fd7& fd) {
  switch (fd.field_type()) {
    case '+':
      kind.auto_num = true;
      // 0: a writer that keeps no next value; the server then goes on after the largest.
      if (fd.auto_next > 0) kind.auto_next = fd.auto_next;
      [[fallthrough]];
    case 'I':
      fixed(kind, fd, dbf_decode::int_sortable, VT_I4);
      break;
    case 'O':
      fixed(kind, fd, dbf_decode::double_sortable, VT_R8);
      break;
    case '@':
      fixed(kind, fd, dbf_decode::timestamp, VT_DATE);
      kind.date_kind = 1;
      break;
    case 'B':
      memo_bytes(kind, fd);
      break;
    default:
      break;
  }
}

void visual_foxpro(dbf_field_kind& kind, const dbf_fd7& fd) {
  if ((fd.flags & dbf_flag_system) != 0) {
    null_flags(kind, fd);
    return;
  }
  const bool binary = (fd.flags & dbf_flag_binary) != 0;
  switch (fd.field_type()) {
    case 'V':
      // Flagged binary, a V field still holds text (only its code page translation is off).
      kind.decode = dbf_decode::varchar;
      break;
    case 'Q':
      field_bytes(kind, fd);
      break;
    case 'I':
      if ((fd.flags & dbf_flags_auto_increment) == dbf_flags_auto_increment) {
        kind.auto_num = true;
        kind.auto_next = fd.auto_next;
        kind.auto_step = fd.auto_step != 0 ? fd.auto_step : 1;
      }
      break;
    case 'C':
      if (binary) field_bytes(kind, fd);
      break;
    case 'M':
      if (binary) memo_bytes(kind, fd);
      break;
    case 'W':
      memo_bytes(kind, fd);
      break;
    default:
      break;
  }
}

}  // namespace

dbf_field_kind dbf_field_kind_of(const dbf_fd7& fd, dbf_table_format format) {
  dbf_field_kind kind;
  kind.decode = plain_decode(fd.field_type());
  kind.vartype = dbf_get_vartype_2(fd);
  kind.size = dbf_get_size_2(fd);
  kind.width = dbf_get_width(fd);
  kind.date_kind = dbf_get_date_kind(fd);
  // Type 0 is the null flags field whatever the signature says: libraries that write it into
  // tables marked as dBase III exist.
  if (fd.field_type() == '0') {
    null_flags(kind, fd);
    return kind;
  }
  switch (format) {
    case dbf_table_format::level7:
      level7(kind, fd);
      break;
    case dbf_table_format::dbase4:
      if (fd.field_type() == 'B') memo_bytes(kind, fd);
      break;
    case dbf_table_format::visual_foxpro:
      visual_foxpro(kind, fd);
      break;
    case dbf_table_format::other:
      break;
  }
  return kind;
}
