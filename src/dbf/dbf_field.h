#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "dbf/dbf_char_table.h"
#include "dbf/dbf_fd7.h"
#include "dbf/dbf_field_kind.h"
#include "ole/ole_decimal.h"
#include "ole/ole_number_text.h"
#include "udb/udb_field.h"

// One bit of a record's Visual FoxPro _NullFlags field: the record byte holding it and its
// mask; mask 0 stands for no bit (the field has none, or the flags field is too short).
struct dbf_record_bit {
  std::uint32_t at = 0;
  std::uint8_t mask = 0;

  bool is_set(const char* record) const {
    return mask != 0 && (static_cast<unsigned char>(record[at]) & mask) != 0;
  }
};

// Where one field lies in the record and what it becomes, worked out once per table.
struct dbf_field_layout {
  dbf_fd7 fd;
  std::u16string name;       // column name
  std::uint32_t offset = 0;  // from the start of the record (the deletion flag is byte 0)
  std::uint32_t width = 0;   // bytes taken in the record
  std::uint32_t size = 0;    // column size
  ole_vartype vartype = VT_EMPTY;
  dbf_decode decode = dbf_decode::text;
  dbf_record_bit null_bit;    // set: the field is NULL
  dbf_record_bit length_bit;  // set: the value's length is in the field's last byte

  bool is_memo() const {
    return decode == dbf_decode::memo_text || decode == dbf_decode::memo_bytes;
  }
};

// A value stored little-endian in a record (files and this platform are little-endian).
template <class T>
T dbf_little_endian(const char* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// Scratch buffers for decoding text-read fields, reused from row to row.
struct dbf_decode_buffers {
  std::u16string wide;
  std::string narrow;
  ole_number_text number;
};

// One non-memo field of a DBF record.
class dbf_field : public udb_field {
 public:
  explicit dbf_field(const dbf_field_layout& layout);
  // Builds and decodes in one step; `record` holds the whole record.
  dbf_field(const dbf_field_layout& layout, const char* record, const dbf_char_table& chars);

  // Decodes the field's bytes (`layout.width` of them at `layout.offset` in `record`) into
  // `out`, reusing its buffers. False when the bytes hold no value of the field's type (a
  // number field holding no number); `out` is then empty.
  static bool get_variant(const char* record, const dbf_field_layout& layout,
                          const dbf_char_table& chars, ole_variant& out,
                          dbf_decode_buffers& buffers);

  // The text of a text-read field as its decoder reads it: the bytes up to the first NUL, a C
  // field's without trailing blanks, any other's without leading ones.
  static std::string_view text_of(const char* record, const dbf_field_layout& layout);
  // The date a D field's text of eight digits (YYYYMMDD) names, its year as written; false
  // when the text is anything else or names no real day.
  static bool plain_date(std::string_view text, ole_systemtime& st);
  // The integer a text of an optional minus and one to nine digits holds (nine digits cannot
  // overflow), as the number reader finds it; false for any other text.
  static bool plain_i4(std::string_view text, std::int32_t& value);
  // Whether a logical field's byte reads as true.
  static bool is_true(char c) { return c == 'T' || c == 't' || c == 'Y' || c == 'y'; }

  // Bytes that may be read past a record's end by print_decimal, and the room it writes in.
  static constexpr std::size_t k_block_pad = 64;
  static constexpr std::size_t k_print_size = 64;
  static constexpr std::size_t k_blank = ~std::size_t{0};
  // The text ole_decimal::print_plain prints for the field's text (text_of), worked out from
  // its bytes as blocks: its length, with the number of digits before its point (leading
  // zeros left out); k_blank for a field whose text is empty; 0 for a text print_plain does
  // not read. `record` must be followed by k_block_pad readable bytes.
  static std::size_t print_decimal(const char* record, const dbf_field_layout& layout,
                                   char (&out)[k_print_size], int& whole_digits);
};

// Days from 0001-01-01 to the Julian day number of that date.
inline constexpr std::int64_t dbf_julian_day_0001 = 1721426;
