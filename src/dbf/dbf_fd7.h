#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// One field descriptor in the 48-byte dBase level 7 form, whatever its layout on disk:
// name (32 bytes, NUL-terminated), type letter at 32, then either the 16-bit character length
// or the pair length and decimal count at 33 and 34.
struct dbf_fd7 {
  std::array<unsigned char, 48> bytes{};
  // Visual FoxPro field flags (byte 18 of a 32-byte slot); other formats leave them 0.
  std::uint8_t flags = 0;
  // An auto-increment field's next value and step: Visual FoxPro keeps them at 19-22 and 23
  // of a flagged slot, dBase level 7 the next value at 44-47 of its slot (step 1).
  std::int32_t auto_next = 0;
  std::uint8_t auto_step = 0;

  static constexpr std::size_t k_size = 48;

  // From a 16-byte FoxBase slot: name in 0-10, type at 11, length at 12, no decimal count.
  static dbf_fd7 from_slot16(const unsigned char* slot);
  // From a 32-byte slot: name in 0-10, type at 11, length and decimal count at 16 and 17,
  // and, when `with_flags`, the field flags at 18 with the auto-increment values after them.
  static dbf_fd7 from_slot32(const unsigned char* slot, bool with_flags = false);
  // A 48-byte level 7 slot is already in this form.
  static dbf_fd7 from_slot48(const unsigned char* slot);

  // The name bytes up to the first NUL (at most 32).
  std::string_view name() const;
  char field_type() const { return static_cast<char>(bytes[32]); }
  // Length + 256 x decimal count: how character fields longer than 255 bytes are stored.
  std::uint16_t char_len() const { return static_cast<std::uint16_t>(bytes[33] | bytes[34] << 8); }
  // The length and decimal count bytes, as plain byte values (0-255).
  int length() const { return bytes[33]; }
  int decimals() const { return bytes[34]; }
};

// Where a type letter keeps the column size: in the length byte (B, D, F, I, L, N, T, Y),
// nowhere (G, M, P: the value lives in a memo file), or in the 16-bit character length.
enum class dbf_size_source { length_byte, none, char_len };
dbf_size_source dbf_size_source_of(char field_type);

// Column value type (a variant type code) of a descriptor.
std::uint16_t dbf_get_vartype_2(const dbf_fd7& fd);
// Column size of a descriptor; 0 for memo, general and picture fields.
std::uint32_t dbf_get_size_2(const dbf_fd7& fd);
// Bytes the field takes in the record.
std::uint32_t dbf_get_width(const dbf_fd7& fd);
// Date kind of the column: 1 date and time (T), 2 date (D), 0 otherwise.
std::uint32_t dbf_get_date_kind(const dbf_fd7& fd);
