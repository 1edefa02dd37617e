#include "dbf/dbf_memo_file.h"

#include <algorithm>
#include <cstring>

#include "dbf/dbf_exception.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"

dbf_memo_file::dbf_memo_file(const std::string& path, int mode)
    : tk_huge_file(path, mode != k_mode_read), read_only_(mode == k_mode_read) {
  TK_LOG(2, "dbf_memo_file::ctor");
  size_ = get_size();
}

dbf_memo_file::~dbf_memo_file() = default;

std::uint32_t dbf_decimal_block_number(const char* field, std::size_t width) {
  TK_ASSERT(field != nullptr);
  const std::size_t n = std::min<std::size_t>(width, 10);
  std::size_t i = 0;
  while (i < n && field[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  std::uint64_t value = 0;
  std::size_t digits = 0;
  for (; i < n && field[i] >= '0' && field[i] <= '9'; ++i, ++digits) {
    value = value * 10 + static_cast<std::uint64_t>(field[i] - '0');
  }
  if (digits == 0 || negative || value > 0xFFFFFFFFull) {
    TK_LOG(1, "Invalid MEMO block!");
    return 0;
  }
  return static_cast<std::uint32_t>(value);
}

std::uint32_t dbf_memo_file::get_block_number(const char* field, std::size_t width) const {
  return dbf_decimal_block_number(field, width);
}

void dbf_memo_file::read_memo(std::uint32_t, std::string& text) const {
  text.clear();
}

void dbf_memo_file::read_memo_bytes(std::uint32_t block, std::string& bytes) const {
  read_memo(block, bytes);
}

void dbf_memo_file::write_memo(std::uint32_t block, std::string_view text) {
  TK_LOG(2, "dbf_memo_file::write_memo(%d,%s)", static_cast<int>(block), text);
}

void dbf_memo_file::read_header(void* buffer, std::size_t length) const {
  if (!read_in_file(0, buffer, length)) throw dbf_exception(dbf_msg_memo_corrupted);
}

bool dbf_memo_file::read_length_word(std::uint64_t offset, unsigned char (&word)[4]) const {
  TK_LOG(1, "Reading MEMO at position=%lld", static_cast<long long>(offset));
  if (read_in_file(offset, word, 4)) return true;
  TK_LOG(2, "Reading MEMO out of range: pos=%lld", static_cast<long long>(offset));
  return false;
}

void dbf_memo_file::read_marked(std::uint64_t start, char terminator, std::string& text) const {
  TK_LOG(1, "Reading MEMO at position=%lld", static_cast<long long>(start));
  if (start >= size_) {
    TK_LOG(2, "Reading MEMO out of range: pos=%lld", static_cast<long long>(start));
    text.clear();
    return;
  }
  read_until(start, terminator, text);
}

std::uint32_t dbf_memo_file::little_endian(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool dbf_memo_file::read_in_file(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (offset > size_ || length > size_ - offset) return false;
  read_ahead(offset, buffer, length);
  return true;
}

void dbf_memo_file::read_ahead(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (!read_only_) {
    get_at(offset, buffer, length);
    return;
  }
  if (offset >= ahead_start_ && offset - ahead_start_ <= ahead_size_ &&
      length <= ahead_size_ - (offset - ahead_start_)) {
    std::memcpy(buffer, ahead_.data() + (offset - ahead_start_), length);
    return;
  }
  const bool follows_on = ahead_size_ != 0 && offset >= ahead_start_ &&
                          offset - ahead_start_ < std::uint64_t{ahead_size_} + ahead_want_;
  ahead_want_ = follows_on ? std::min(ahead_want_ * 2, k_max_ahead) : k_min_ahead;
  ahead_size_ = 0;
  // Callers only ask for bytes inside the file as it was opened; should it have shrunk since,
  // the exact read below raises the file layer's error as before.
  const std::uint64_t in_file = offset < size_ ? size_ - offset : 0;
  const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(ahead_want_, in_file));
  if (length > n) {
    get_at(offset, buffer, length);
    return;
  }
  ahead_.resize(k_max_ahead);
  try {
    get_at(offset, ahead_.data(), n);
  } catch (const tk_exception&) {
    get_at(offset, buffer, length);
    return;
  }
  ahead_start_ = offset;
  ahead_size_ = n;
  std::memcpy(buffer, ahead_.data(), length);
}

void dbf_memo_file::read_until(std::uint64_t start, char terminator, std::string& text) const {
  text.clear();
  constexpr std::size_t k_chunk = 4096;
  char chunk[k_chunk];
  // Most memos end in their first block: read that much first, then larger pieces.
  std::size_t want = 512;
  std::uint64_t pos = start;
  while (pos < size_) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(want, size_ - pos));
    want = k_chunk;
    read_ahead(pos, chunk, n);
    const char* end = static_cast<const char*>(std::memchr(chunk, terminator, n));
    const char* nul = static_cast<const char*>(std::memchr(chunk, '\0', end ? end - chunk : n));
    if (nul != nullptr) end = nul;
    text.append(chunk, end != nullptr ? static_cast<std::size_t>(end - chunk) : n);
    if (end != nullptr) return;
    pos += n;
  }
}

void dbf_memo_file::read_text(std::uint64_t offset, std::int64_t length, std::string& text,
                              bool whole) const {
  text.clear();
  if (length < 0 || offset + static_cast<std::uint64_t>(length) > size_) {
    TK_LOG(2, "MEMO has invalid size: %d", static_cast<int>(length));
    return;
  }
  if (length == 0) {
    TK_LOG(1, "Got empty MEMO");
    return;
  }
  text.resize(static_cast<std::size_t>(length));
  read_ahead(offset, text.data(), text.size());
  if (whole) return;
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
}
