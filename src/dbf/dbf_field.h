#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dbf/dbf_char_table.h"
#include "dbf/dbf_fd7.h"
#include "udb/udb_field.h"

// Where one field lies in the record and what it becomes, worked out once per table.
struct dbf_field_layout {
  dbf_fd7 fd;
  std::u16string name;       // column name
  std::uint32_t offset = 0;  // from the start of the record (the deletion flag is byte 0)
  std::uint32_t width = 0;   // bytes taken in the record
  std::uint32_t size = 0;    // column size (dbf_get_size_2)
  ole_vartype vartype = VT_EMPTY;
  // False when the descriptors run past the record: the field then reads as empty.
  bool in_record = true;

  bool is_memo() const { return vartype == VT_BSTR && size == 0; }
  bool is_blob() const { return size == 0 && vartype != VT_BSTR; }
};

// Scratch buffers for decoding text-read fields, reused from row to row.
struct dbf_decode_buffers {
  std::u16string wide;
  std::string narrow;
};

// One non-memo field of a DBF record.
class dbf_field : public udb_field {
 public:
  explicit dbf_field(const dbf_field_layout& layout);
  // Builds and decodes in one step.
  dbf_field(const dbf_field_layout& layout, const char* bytes, const dbf_char_table& chars);

  // Decodes the field's bytes (`layout.width` of them) into `out`, reusing its buffers.
  static void get_variant(const char* bytes, const dbf_field_layout& layout,
                          const dbf_char_table& chars, ole_variant& out,
                          dbf_decode_buffers& buffers);
};

// Days from 0001-01-01 to the Julian day number of that date.
inline constexpr std::int64_t dbf_julian_day_0001 = 1721426;
