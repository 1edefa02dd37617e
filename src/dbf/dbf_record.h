#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/dbf_char_table.h"
#include "dbf/dbf_field.h"
#include "dbf/dbf_memo_file.h"
#include "udb/udb_record.h"

// One record of a DBF table as values: the deletion flag and one field per descriptor. The
// recordset builds its fields once and refills them for every row (`fill`), so reading a row
// allocates nothing beyond the growth of text buffers.
class dbf_record : public udb_record {
 public:
  // `layouts` and `memo` (may be null) belong to the recordset and outlive the record.
  dbf_record(const std::vector<dbf_field_layout>& layouts, const dbf_memo_file* memo,
             const dbf_char_table& chars);
  // Builds and decodes one record of `rec_size` bytes.
  dbf_record(const std::vector<dbf_field_layout>& layouts, const char* bytes, std::size_t rec_size,
             const dbf_memo_file* memo, const dbf_char_table& chars);

  // Decodes `rec_size` bytes of one record into the fields.
  void fill(const char* bytes, std::size_t rec_size);
  // Decodes field `i` alone from a whole record's bytes, for a reader that takes the other
  // fields from the bytes itself; false when its bytes hold no value of its type.
  bool fill_field(const char* bytes, std::size_t i);

  bool is_deleted() const noexcept { return deleted_; }
  // The deletion flag byte as stored ("*" deleted, blank or anything else live).
  std::uint8_t flag() const noexcept { return flag_; }
  int code_page() const noexcept { return chars_->code_page(); }
  const dbf_char_table& chars() const noexcept { return *chars_; }
  void set_chars(const dbf_char_table& chars) noexcept { chars_ = &chars; }

  // The memo text a memo field's bytes refer to, into `out`: empty without a memo file or
  // for block 0; `wide` false keeps the memo's bytes as narrow text.
  void get_memo_field(const char* bytes, std::size_t width, bool wide, ole_variant& out);

  // The bytes of the binary memo a field's bytes refer to, into `out`; empty without a memo
  // file or for block 0.
  void get_memo_bytes(const char* bytes, std::size_t width, ole_variant& out);

  // Fields of the last `fill` whose bytes held no value of their type (and were left empty).
  std::size_t unreadable() const noexcept { return unreadable_; }

  // Bytes of memo text the last `fill` read.
  std::size_t memo_bytes() const noexcept { return memo_bytes_; }
  // Frees value and decoding buffers larger than `keep` bytes (see
  // `ole_variant::release_buffers`); the record is refilled before its values are used again.
  void release_buffers(std::size_t keep) noexcept;

 private:
  bool decode_field(const char* bytes, std::size_t i, udb_field& field);

  const std::vector<dbf_field_layout>* layouts_;
  const dbf_memo_file* memo_;
  const dbf_char_table* chars_;
  bool deleted_ = false;
  std::uint8_t flag_ = 0;
  std::size_t memo_bytes_ = 0;
  std::size_t unreadable_ = 0;
  dbf_decode_buffers buffers_;
};
