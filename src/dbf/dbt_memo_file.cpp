#include "dbf/dbt_memo_file.h"

#include "dbf/dbf_exception.h"
#include "tk/tk_log.h"

dbt_memo_file::dbt_memo_file(const std::string& path, int mode) : dbf_memo_file(path, mode) {
  TK_LOG(2, "dbt_memo_file::ctor");
  read_header(header_.data(), header_.size());
  block_size_ = static_cast<std::uint32_t>(header_[20]) | static_cast<std::uint32_t>(header_[21])
                                                              << 8;
  if (block_size_ == 0) throw dbf_exception(dbf_msg_memo_corrupted);
  TK_LOG(1, "DBT block size=%d", static_cast<int>(block_size_));
}

void dbt_memo_file::read_memo(std::uint32_t block, std::string& text) const {
  TK_LOG(2, "dbt_memo_file::read_memo(%d)", static_cast<int>(block));
  read_stored(block, text, false);
}

void dbt_memo_file::read_memo_bytes(std::uint32_t block, std::string& bytes) const {
  TK_LOG(2, "dbt_memo_file::read_memo(%d)", static_cast<int>(block));
  read_stored(block, bytes, true);
  // dBase level 7 puts a binary value's own header (a type word, then the value's length)
  // inside the block: the value is what follows it.
  if (bytes.size() >= 8) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::uint32_t length = little_endian(p + 4);
    if (length == bytes.size() - 8) bytes.erase(0, 8);
  }
}

void dbt_memo_file::read_stored(std::uint32_t block, std::string& text, bool whole) const {
  text.clear();
  const std::uint64_t p = std::uint64_t{block} * block_size_ + 4;
  unsigned char raw[4];
  if (!read_length_word(p, raw)) return;
  const std::int64_t length =
      static_cast<std::int64_t>(static_cast<std::int32_t>(little_endian(raw))) - 8;
  TK_LOG(1, "MEMO length=%d", static_cast<int>(length));
  read_text(p + 4, length, text, whole);
}
