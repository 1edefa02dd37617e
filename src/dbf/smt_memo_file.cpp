#include "dbf/smt_memo_file.h"

#include "dbf/dbf_exception.h"
#include "tk/tk_log.h"

smt_memo_file::smt_memo_file(const std::string& path, int mode) : dbf_memo_file(path, mode) {
  TK_LOG(2, "smt_memo_file::ctor");
  if (!read_in_file(0, header_.data(), header_.size())) throw dbf_exception(dbf_msg_memo_corrupted);
  block_size_ =
      static_cast<std::uint32_t>(header_[4]) | static_cast<std::uint32_t>(header_[5]) << 8 |
      static_cast<std::uint32_t>(header_[6]) << 16 | static_cast<std::uint32_t>(header_[7]) << 24;
}

std::uint32_t smt_memo_file::get_block_number(const char* field, std::size_t width) const {
  if (field == nullptr) throw tk_mail_assertion(__FILE__, __LINE__);
  if (width < 10) return 0;
  bool blank = true;
  for (std::size_t i = 0; i < 10; ++i) blank = blank && field[i] == ' ';
  if (blank) {
    TK_LOG(1, "No MEMO block!");
    return 0;
  }
  const auto* b = reinterpret_cast<const unsigned char*>(field);
  return static_cast<std::uint32_t>(b[6]) | static_cast<std::uint32_t>(b[7]) << 8 |
         static_cast<std::uint32_t>(b[8]) << 16 | static_cast<std::uint32_t>(b[9]) << 24;
}

void smt_memo_file::read_memo(std::uint32_t block, std::string& text) const {
  TK_LOG(2, "smt_memo_file::read_memo(%d)", static_cast<int>(block));
  const std::uint64_t start = std::uint64_t{block} * block_size_;
  TK_LOG(1, "Reading MEMO at position=%lld", static_cast<long long>(start));
  if (start >= size_) {
    TK_LOG(2, "Reading MEMO out of range: pos=%lld", static_cast<long long>(start));
    text.clear();
    return;
  }
  read_until(start, '\0', text);
}
