#include "dbf/dbf_index_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "dbf/dbf_exception.h"
#include "tk/tk_file_name.h"
#include "tk/tk_log.h"

std::string dbf_index_source::base_name() const {
  return tk_file_name(path_).name();
}

bool dbf_index_source::holds(std::uint64_t offset, std::uint64_t length) const {
  const std::uint64_t total = size();
  return offset <= total && length <= total - offset;
}

std::string dbf_index_source::read(std::uint64_t offset, std::size_t length,
                                   std::string_view what) const {
  if (!holds(offset, length)) fail(std::string(what) + " past the end of the file");
  std::string bytes(length, '\0');
  read_at(offset, bytes.data(), length);
  return bytes;
}

void dbf_index_source::fail(std::string_view what) const {
  TK_LOG(1, "Damaged index file %s: %s", path_, std::string(what));
  throw dbf_exception(std::string(dbf_msg_index_damaged) + ": " + path_ + ": " + std::string(what));
}

dbf_index_disk_source::dbf_index_disk_source(const std::string& path) : dbf_index_source(path) {
  do {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) throw dbf_exception(std::string(dbf_msg_index_open_failed) + ": " + path);
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw dbf_exception(std::string(dbf_msg_index_open_failed) + ": " + path);
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
}

dbf_index_disk_source::~dbf_index_disk_source() {
  if (fd_ >= 0) ::close(fd_);
}

void dbf_index_disk_source::read_at(std::uint64_t offset, char* buffer, std::size_t length) const {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = ::pread(fd_, buffer + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    // The file shrank under us or the disk failed: either way its headers are not all there.
    if (n <= 0) fail("read failed");
    done += static_cast<std::size_t>(n);
  }
}

void dbf_index_memory_source::read_at(std::uint64_t offset, char* buffer,
                                      std::size_t length) const {
  bytes_.copy(buffer, length, static_cast<std::size_t>(offset));
}

std::uint16_t dbf_index_le16(std::string_view page, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(page.data() + at);
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t dbf_index_le32(std::string_view page, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(page.data() + at);
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint32_t dbf_index_be32(std::string_view page, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(page.data() + at);
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

std::string dbf_index_text(std::string_view page, std::size_t at, std::size_t length) {
  std::string_view text = page.substr(std::min(at, page.size()), length);
  text = text.substr(0, text.find('\0'));
  const auto blank = [](char c) { return c == ' ' || c == '\0'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}
