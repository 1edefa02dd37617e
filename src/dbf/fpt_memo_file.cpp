#include "dbf/fpt_memo_file.h"

#include "dbf/dbf_exception.h"
#include "tk/tk_log.h"

namespace {

std::uint32_t big_endian(const unsigned char* p, int n) {
  std::uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | p[i];
  return v;
}

}  // namespace

fpt_memo_file::fpt_memo_file(const std::string& path, int mode, dbf_memo_type memo_code)
    : dbf_memo_file(path, mode), memo_code_(memo_code) {
  TK_LOG(2, "fpt_memo_file::ctor");
  unsigned char header[8];
  read_header(header, sizeof header);
  next_block_ = big_endian(header, 4);
  block_size_ = big_endian(header + 6, 2);
  if (block_size_ == 0) throw dbf_exception(dbf_msg_memo_corrupted);
  TK_LOG(1, "FPT block size=%d", static_cast<int>(block_size_));
}

std::uint32_t fpt_memo_file::get_block_number(const char* field, std::size_t width) const {
  if (memo_code_ != dbf_memo_type::memo_vfp && memo_code_ != dbf_memo_type::memo_vfp_dbc) {
    return dbf_memo_file::get_block_number(field, width);
  }
  if (field == nullptr) throw tk_mail_assertion(__FILE__, __LINE__);
  if (width < 4) return 0;
  return little_endian(reinterpret_cast<const unsigned char*>(field));
}

void fpt_memo_file::read_memo(std::uint32_t block, std::string& text) const {
  TK_LOG(2, "fpt_memo_file::read_memo(%d)", static_cast<int>(block));
  read_stored(block, text, false);
}

void fpt_memo_file::read_memo_bytes(std::uint32_t block, std::string& bytes) const {
  TK_LOG(2, "fpt_memo_file::read_memo(%d)", static_cast<int>(block));
  read_stored(block, bytes, true);
}

void fpt_memo_file::read_stored(std::uint32_t block, std::string& text, bool whole) const {
  text.clear();
  const std::uint64_t p = std::uint64_t{block} * block_size_ + 4;
  unsigned char raw[4];
  if (!read_length_word(p, raw)) return;
  const std::int64_t length = static_cast<std::int32_t>(big_endian(raw, 4));
  TK_LOG(1, "memo_len=%d", static_cast<int>(length));
  read_text(p + 4, length, text, whole);
  TK_LOG(1, "fpt_memo_file::read_memo - END");
}
