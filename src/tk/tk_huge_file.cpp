#include "tk/tk_huge_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "tk/tk_exception.h"
#include "tk/tk_log.h"

tk_huge_file::tk_huge_file(const std::string& path, bool writable) {
  TK_LOG(2, "tk_huge_file::ctor('%s',%d)", path, writable ? 1 : 0);
  const int flags = (writable ? O_RDWR : O_RDONLY) | O_CREAT | O_CLOEXEC;
  do {
    fd_ = ::open(path.c_str(), flags, 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) throw tk_exception("Error opening file", 1);
}

tk_huge_file::~tk_huge_file() {
  TK_LOG(2, "tk_huge_file::dtor");
  if (fd_ >= 0) ::close(fd_);
}

std::uint64_t tk_huge_file::get_size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) throw tk_exception_ex("Cannot get file size: ", 1);
  return static_cast<std::uint64_t>(st.st_size);
}

void tk_huge_file::get_at(std::uint64_t offset, void* buffer, std::size_t length) const {
  TK_LOG(1, "tk_huge_file::get_at(%lld, %d)", static_cast<long long>(offset),
         static_cast<int>(length));
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  // A regular file answers in one call; the loop only covers interrupted or partial reads.
  while (done < length) {
    const ssize_t n = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw tk_exception_ex("Error reading from file: ", 1);
    }
    if (n == 0) throw tk_exception("Error reading from file", 1);
    done += static_cast<std::size_t>(n);
  }
}

std::uint8_t tk_huge_file::get_byte(std::uint64_t offset) const {
  std::uint8_t b = 0;
  get_at(offset, &b, 1);
  return b;
}

std::uint16_t tk_huge_file::get_word(std::uint64_t offset) const {
  std::uint8_t b[2];
  get_at(offset, b, 2);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t tk_huge_file::get_dword(std::uint64_t offset) const {
  std::uint8_t b[4];
  get_at(offset, b, 4);
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

void tk_huge_file::put_at(std::uint64_t offset, const void* data, std::size_t length) {
  TK_LOG(1, "tk_huge_file::put_at(%lld, %d)", static_cast<long long>(offset),
         static_cast<int>(length));
  const auto* in = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = ::pwrite(fd_, in + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw tk_exception("Cannot write into file", 1);
    }
    if (n == 0) {
      TK_LOG(2, "data_length != dwBytesWritten");
      throw tk_exception("Cannot write into file", 1);
    }
    done += static_cast<std::size_t>(n);
  }
}
