#include "tk/tk_memory_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tk/tk_exception.h"
#include "tk/tk_log.h"

namespace {

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

}  // namespace

tk_memory_file::tk_memory_file(const std::string& name, int mode) : tk_file(name, mode) {
  TK_LOG(2, "tk_memory_file::ctor");
  initialize();
}

tk_memory_file::~tk_memory_file() {
  TK_LOG(2, "tk_memory_file::~tk_memory_file");
  if (!writable()) return;
  try {
    flush();
  } catch (const tk_exception& e) {
    // A destructor cannot report; the failure is at least in the trace.
    TK_LOG(3, "tk_memory_file: %s", e.what());
  }
}

void tk_memory_file::initialize() {
  TK_LOG(1, "tk_memory_file::initialize");
  const bool write_only = (mode() & (tk_file_mode_write | tk_file_mode_truncate)) ==
                          (tk_file_mode_write | tk_file_mode_truncate);
  const char* how = write_only ? "w+b" : (writable() ? "r+b" : "rb");
  file_ptr f(std::fopen(name().c_str(), how));
  if (!f) throw tk_exception("Error opening file", 1);
  if (std::fseek(f.get(), 0, SEEK_END) != 0) throw tk_exception("Error reading from file", 1);
  const long size = std::ftell(f.get());
  if (size < 0 || std::fseek(f.get(), 0, SEEK_SET) != 0) {
    throw tk_exception("Error reading from file", 1);
  }
  size_ = static_cast<std::size_t>(size);
  buffer_.assign(size_ + 1, 0);
  if (size_ > 0 && std::fread(buffer_.data(), 1, size_, f.get()) != size_) {
    throw tk_exception("Error reading from file", 1);
  }
}

void tk_memory_file::check_range(std::size_t offset, std::size_t length) const {
  if (offset > size_ || length > size_ - offset) {
    TK_LOG(2, "Reading out of range: offset=%d, length=%d, file size=%d", static_cast<int>(offset),
           static_cast<int>(length), static_cast<int>(size_));
    throw tk_exception("Error reading from file", 1);
  }
}

void tk_memory_file::get_at(std::size_t offset, void* buffer, std::size_t length) const {
  TK_LOG(1, "tk_memory_file::get_at(%d,%d)", static_cast<int>(offset), static_cast<int>(length));
  check_range(offset, length);
  if (length > 0) std::memcpy(buffer, buffer_.data() + offset, length);
}

std::uint8_t tk_memory_file::get_byte(std::size_t offset) const {
  check_range(offset, 1);
  return buffer_[offset];
}

std::uint16_t tk_memory_file::get_word(std::size_t offset) const {
  check_range(offset, 2);
  return static_cast<std::uint16_t>(buffer_[offset] | (buffer_[offset + 1] << 8));
}

std::uint32_t tk_memory_file::get_dword(std::size_t offset) const {
  check_range(offset, 4);
  const std::uint8_t* b = buffer_.data() + offset;
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

void tk_memory_file::put_at(std::size_t offset, const void* data, std::size_t length) {
  TK_LOG(1, "tk_memory_file::put_at(%d,%d)", static_cast<int>(offset), static_cast<int>(length));
  if (offset + length > size_) set_size(offset + length);
  if (length > 0) std::memcpy(buffer_.data() + offset, data, length);
}

void tk_memory_file::set_size(std::size_t size) {
  TK_LOG(1, "tk_memory_file::set_size(%d)", static_cast<int>(size));
  // The buffer keeps one byte beyond the content; bytes past the old size are zero whether
  // they were freshly added or left behind by an earlier shrink.
  if (size > size_) {
    if (size + 1 > buffer_.size()) buffer_.resize(size + 1, 0);
    std::memset(buffer_.data() + size_, 0, size - size_);
  }
  size_ = size;
}

void tk_memory_file::flush() {
  TK_LOG(1, "tk_memory_file::flush(name='%s')", name());
  TK_ASSERT(writable());
  if (buffer_.empty()) return;
  file_ptr f(std::fopen(name().c_str(), "w+b"));
  if (!f) {
    TK_LOG(1, "fopen_s returns error: %08X", static_cast<unsigned>(errno));
    throw tk_exception("Error opening file", 1);
  }
  if (std::fseek(f.get(), 0, SEEK_SET) != 0) throw tk_exception("Error reading from file", 1);
  if (size_ > 0 && std::fwrite(buffer_.data(), 1, size_, f.get()) != size_) {
    throw tk_exception("Cannot write into file", 1);
  }
  if (std::fclose(f.release()) != 0) throw tk_exception("Cannot write into file", 1);
}
