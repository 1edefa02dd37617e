#pragma once

#include <cstdint>
#include <optional>

#include "dbf/dbf_fd7.h"
#include "dbf/dbf_header.h"
#include "ole/ole_variant.h"

// How the bytes of one field decode and what column they become, decided once per table: a
// letter means different encodings in dBase level 7, dBase IV and Visual FoxPro tables, and
// Visual FoxPro field flags change it further.

enum class dbf_decode : std::uint8_t {
  text,             // read as text; numbers and dates parsed into the column's type
  logical,          // L
  currency,         // Y: signed 64-bit little-endian, the value x 10000
  int_le,           // I: signed 32-bit little-endian
  double_le,        // B: little-endian IEEE double
  julian_datetime,  // T: Julian day number and milliseconds since midnight
  int_sortable,     // dBase 7 I and +: 32-bit big-endian with the sign bit flipped
  double_sortable,  // dBase 7 O: big-endian double whose bytes sort as numbers
  timestamp,        // dBase 7 @: big-endian double of milliseconds since 0000-12-31
  varchar,          // Visual FoxPro V: text, its length in the last byte when flagged
  bytes,            // Visual FoxPro Q, and C flagged binary: the field's bytes
  memo_text,        // M: memo text
  memo_bytes,       // G, P, W, binary M, B of dBase IV and 7: the memo's bytes
  null_flags,       // Visual FoxPro _NullFlags: read for the other fields, not a column
};

// Visual FoxPro field flags.
inline constexpr std::uint8_t dbf_flag_system = 0x01;
inline constexpr std::uint8_t dbf_flag_nullable = 0x02;
inline constexpr std::uint8_t dbf_flag_binary = 0x04;           // "NOCPTRANS": bytes, never text
inline constexpr std::uint8_t dbf_flags_auto_increment = 0x0C;  // both bits: an auto-increment

struct dbf_field_kind {
  dbf_decode decode = dbf_decode::text;
  ole_vartype vartype = VT_EMPTY;
  std::uint32_t size = 0;   // column size; 0 for memo kinds
  std::uint32_t width = 0;  // bytes taken in the record
  std::uint32_t date_kind = 0;
  bool auto_num = false;
  // The next value an auto-number field hands out, where the table keeps it, and its step.
  std::optional<std::int64_t> auto_next;
  std::int64_t auto_step = 1;
};

dbf_field_kind dbf_field_kind_of(const dbf_fd7& fd, dbf_table_format format);

// Days from 0001-01-01 to 1970-01-01, and milliseconds per day.
inline constexpr std::int64_t dbf_days_0001_to_1970 = 719162;
inline constexpr std::int64_t dbf_ms_per_day = 86400000;
