#include "dbf/old_memo_file.h"

#include "dbf/dbf_exception.h"
#include "tk/tk_log.h"

namespace {

void put_dword(tk_huge_file& file, std::uint64_t offset, std::uint32_t value) {
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
      static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  file.put_at(offset, bytes, 4);
}

}  // namespace

old_memo_file::old_memo_file(const std::string& path, int mode) : dbf_memo_file(path, mode) {
  TK_LOG(2, "old_memo_file::ctor");
  if (mode == k_mode_create) {
    next_block_ = 1;
    put_dword(*this, 0, next_block_);
    const unsigned char version = 3;
    put_at(16, &version, 1);
    size_ = get_size();
    return;
  }
  unsigned char bytes[4] = {};
  if (read_in_file(0, bytes, 4)) next_block_ = little_endian(bytes);
  TK_LOG(1, "Next block=%d", static_cast<int>(next_block_));
  if (next_block_ == 0) throw dbf_exception(dbf_msg_memo_read_failed);
}

void old_memo_file::read_memo(std::uint32_t block, std::string& text) const {
  TK_LOG(2, "old_memo_file::read_memo(%d)", static_cast<int>(block));
  read_marked(std::uint64_t{block} * k_block_size, '\x1A', text);
}

void old_memo_file::write_memo(std::uint32_t block, std::string_view text) {
  TK_LOG(2, "old_memo_file::write_memo(%d,%s)", static_cast<int>(block), text);
  if (text.empty()) return;
  const std::uint64_t start = std::uint64_t{block} * k_block_size;
  const std::uint64_t n_blocks = (text.size() + 2 + k_block_size - 1) / k_block_size;
  TK_LOG(1, "pos=%lld, memo_length=%d, n_blocks=%d", static_cast<long long>(start),
         static_cast<int>(text.size()), static_cast<int>(n_blocks));
  // Block numbers are 32-bit: a memo that would push the next free block past them cannot
  // be referenced.
  if (std::uint64_t{block} + n_blocks > 0xFFFFFFFFull)
    throw dbf_exception(dbf_msg_memo_read_failed);
  put_at(start, text.data(), text.size());
  put_at(start + text.size(), "\x1A\x1A", 2);
  next_block_ = static_cast<std::uint32_t>(block + n_blocks);
  put_dword(*this, 0, next_block_);
  size_ = get_size();
}
