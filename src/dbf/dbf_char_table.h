#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "ole/ole_variant.h"

// Decoding table of one code page. In a single-byte code page every byte value maps to exactly
// one UTF-16 unit, so DBF text decodes with one table look-up per byte and no converter state;
// multi-byte code pages (the East Asian double-byte ones, UTF-8) decode through a converter.
// Bytes the code page leaves undefined decode as U+FFFD instead of failing the record.
class dbf_char_table {
 public:
  static constexpr char16_t k_undefined = u'\uFFFD';

  // The table of a Windows code page number; 0 (the default for DBF data) is Windows-1252.
  // Tables are built once per process; an unknown code page gets the Windows-1252 table.
  static const dbf_char_table& for_code_page(int code_page);

  // True when the code page has a table of its own (not the Windows-1252 fallback).
  static bool has_code_page(int code_page);

  int code_page() const { return code_page_; }
  bool is_multibyte() const { return multibyte_; }
  // The unit of a single byte; in a multi-byte code page only bytes below 0x80 are meaningful.
  char16_t operator[](std::uint8_t byte) const { return units_[byte]; }

  // Replaces `out` with the decoded bytes, reusing its capacity.
  void decode(std::string_view bytes, std::u16string& out) const;
  std::u16string decode(std::string_view bytes) const;
  // Whether every unit of the table has a UTF-8 form of its own (none is half of a surrogate
  // pair), which decoding straight into UTF-8 needs.
  bool has_utf8() const { return has_utf8_; }
  // Replaces `utf8` with the decoded bytes in UTF-8: each byte's sequence from a table, runs
  // of ASCII copied as blocks.
  void decode_utf8(std::string_view bytes, std::string& utf8) const;
  // Whether printable ASCII bytes (0x20 to 0x7E) decode to themselves.
  bool printable_ascii_as_is() const { return printable_as_is_; }
  // Each byte's UTF-8 sequence, up to three bytes and their count last; null when the table
  // has none (see has_utf8) or bytes below 0x80 do not decode to themselves (in such code
  // pages text is mostly bytes the table must look up one by one, which decoding first
  // does faster: measured on code page 866).
  const std::array<std::array<char, 4>, 256>* utf8_table() const {
    return has_utf8_ && ascii_as_is_ ? &utf8_ : nullptr;
  }
  // Makes `value` the decoded text: given as UTF-8 alone when the table has that form (the
  // value works out UTF-16 only when asked for it, which a script writer never does), else as
  // UTF-16.
  void decode(std::string_view bytes, ole_variant& value) const;

  // Encodes wide text back into this code page (the writing path); characters the code page
  // lacks become "?".
  std::string encode(std::u16string_view text) const;

  explicit dbf_char_table(int code_page, const std::array<char16_t, 256>& units);
  // A multi-byte code page, decoded by its converter.
  explicit dbf_char_table(int code_page);

 private:
  int code_page_;
  std::array<char16_t, 256> units_;
  // Each byte's UTF-8 form: up to three bytes, their count last.
  std::array<std::array<char, 4>, 256> utf8_{};
  // False when a unit is half of a surrogate pair, which has no UTF-8 form alone, and for
  // multi-byte code pages.
  bool has_utf8_ = true;
  bool multibyte_ = false;
  // Bytes below 0x80 decode to themselves, so runs of them widen without the table.
  bool ascii_as_is_ = false;
  bool printable_as_is_ = false;
};
