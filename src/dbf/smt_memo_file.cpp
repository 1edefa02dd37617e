#include "dbf/smt_memo_file.h"

#include "dbf/dbf_exception.h"
#include "tk/tk_log.h"

smt_memo_file::smt_memo_file(const std::string& path, int mode) : dbf_memo_file(path, mode) {
  TK_LOG(2, "smt_memo_file::ctor");
  read_header(header_.data(), header_.size());
  block_size_ = little_endian(header_.data() + 4);
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
  return little_endian(reinterpret_cast<const unsigned char*>(field) + 6);
}

void smt_memo_file::read_memo(std::uint32_t block, std::string& text) const {
  TK_LOG(2, "smt_memo_file::read_memo(%d)", static_cast<int>(block));
  read_marked(std::uint64_t{block} * block_size_, '\0', text);
}
