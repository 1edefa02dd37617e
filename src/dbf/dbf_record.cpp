#include "dbf/dbf_record.h"

#include <memory>
#include <span>
#include <stdexcept>

#include "tk/tk_log.h"

dbf_record::dbf_record(const std::vector<dbf_field_layout>& layouts, const dbf_memo_file* memo,
                       const dbf_char_table& chars)
    : layouts_(&layouts), memo_(memo), chars_(&chars) {
  reserve(layouts.size());
  for (const dbf_field_layout& layout : layouts) {
    if (layout.is_memo()) {
      push_back(std::make_unique<udb_field>(layout.name, 0, ole_variant()));
    } else {
      push_back(std::make_unique<dbf_field>(layout));
    }
  }
}

dbf_record::dbf_record(const std::vector<dbf_field_layout>& layouts, const char* bytes,
                       std::size_t rec_size, const dbf_memo_file* memo, const dbf_char_table& chars)
    : dbf_record(layouts, memo, chars) {
  fill(bytes, rec_size);
}

void dbf_record::fill(const char* bytes, std::size_t rec_size) {
  if (tk_log_gate <= 1) {
    TK_LOG(1, "dbf_record::ctor");
    char head[21] = {};
    for (std::size_t i = 0; i < 20 && i < rec_size; ++i) head[i] = bytes[i];
    TK_LOG(1, "data=%s", std::string_view(head, rec_size < 20 ? rec_size : 20));
  }
  flag_ = rec_size > 0 ? static_cast<std::uint8_t>(bytes[0]) : 0;
  deleted_ = flag_ == '*';
  memo_bytes_ = 0;
  unreadable_ = 0;
  TK_LOG(1, "Got deleted flag: %d", deleted_ ? 1 : 0);
  const std::vector<dbf_field_layout>& layouts = *layouts_;
  // The fields are walked by iterator: one check of the count instead of one per field.
  if (size() < layouts.size()) throw std::out_of_range("dbf_record: a field per layout is missing");
  // The recordset fits its record length to the fields, so every field lies in the record.
  if (!layouts.empty() && std::uint64_t{layouts.back().offset} + layouts.back().width > rec_size)
    throw std::out_of_range("dbf_record: the fields run past the record");
  auto next_field = begin();
  for (std::size_t i = 0; i < layouts.size(); ++i) {
    if (!decode_field(bytes, i, *next_field++)) ++unreadable_;
  }
}

bool dbf_record::fill_field(const char* bytes, std::size_t i) {
  memo_bytes_ = 0;
  return decode_field(bytes, i, (*this)[i]);
}

bool dbf_record::decode_field(const char* bytes, std::size_t i, udb_field& field) {
  const dbf_field_layout& layout = (*layouts_)[i];
  TK_LOG(1, "field #%d: type=%08X, size=%d", static_cast<int>(i),
         static_cast<unsigned>(layout.vartype), static_cast<int>(layout.size));
  if (layout.null_bit.is_set(bytes)) {
    field.set_null();
    return true;
  }
  const char* here = bytes + layout.offset;
  if (layout.decode == dbf_decode::memo_text) {
    TK_LOG(1, "Processing MEMO-data");
    get_memo_field(here, layout.width, true, field);
  } else if (layout.decode == dbf_decode::memo_bytes) {
    TK_LOG(1, "Processing BLOB-data");
    TK_LOG(1, "fds[eye].len_info.char_len=%d", static_cast<int>(layout.fd.char_len()));
    get_memo_bytes(here, layout.width, field);
  } else {
    return dbf_field::get_variant(bytes, layout, *chars_, field, buffers_);
  }
  return true;
}

void dbf_record::get_memo_field(const char* bytes, std::size_t width, bool wide, ole_variant& out) {
  TK_LOG(1, "dbf_record::get_memo_field");
  if (memo_ == nullptr) {
    TK_LOG(1, "No MEMO file!");
    out.set_empty();
    return;
  }
  const std::uint32_t block = memo_->get_block_number(bytes, width);
  TK_LOG(1, "Got memo block number: %d", static_cast<int>(block));
  if (block == 0) {
    out.set_empty();
    return;
  }
  memo_->read_memo(block, buffers_.narrow);
  memo_bytes_ += buffers_.narrow.size();
  if (wide) {
    chars_->decode(buffers_.narrow, out);
    TK_WLOG(1, "Got MEMO: %s", out.text());
  } else {
    out.attach_string(buffers_.narrow);
  }
}

void dbf_record::get_memo_bytes(const char* bytes, std::size_t width, ole_variant& out) {
  const std::uint32_t block = memo_ != nullptr ? memo_->get_block_number(bytes, width) : 0;
  if (block == 0) {
    out.set_empty();
    return;
  }
  memo_->read_memo_bytes(block, buffers_.narrow);
  memo_bytes_ += buffers_.narrow.size();
  const auto* first = reinterpret_cast<const std::uint8_t*>(buffers_.narrow.data());
  out.set_bytes(std::span(first, buffers_.narrow.size()));
}

void dbf_record::release_buffers(std::size_t keep) noexcept {
  for (udb_field& field : *this) field.release_buffers(keep);
  if (buffers_.wide.capacity() * sizeof(char16_t) > keep) std::u16string().swap(buffers_.wide);
  if (buffers_.narrow.capacity() > keep) std::string().swap(buffers_.narrow);
}
