#pragma once

// The bytes of one index file as its readers see them: bounded reads at offsets, from the file
// itself (positioned reads, so key pages never pass through memory) or from a buffer, and the
// little helpers every index layout needs to pick fields out of a page.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class dbf_index_source {
 public:
  explicit dbf_index_source(std::string path) : path_(std::move(path)) {}
  virtual ~dbf_index_source() = default;
  dbf_index_source(const dbf_index_source&) = delete;
  dbf_index_source& operator=(const dbf_index_source&) = delete;

  const std::string& path() const { return path_; }
  // The file's base name without folder and extension: the tag name of single-tag files.
  std::string base_name() const;
  virtual std::uint64_t size() const = 0;

  // The `length` bytes at `offset`; a range running past the end of the file is damage.
  std::string read(std::uint64_t offset, std::size_t length, std::string_view what) const;
  // Whether a page of `length` bytes at `offset` lies wholly inside the file.
  bool holds(std::uint64_t offset, std::uint64_t length) const;

  // Throws the dbf_exception that names this file and what is wrong with it.
  [[noreturn]] void fail(std::string_view what) const;

 protected:
  virtual void read_at(std::uint64_t offset, char* buffer, std::size_t length) const = 0;

 private:
  std::string path_;
};

// An index file on disk, opened read-only.
class dbf_index_disk_source : public dbf_index_source {
 public:
  explicit dbf_index_disk_source(const std::string& path);
  ~dbf_index_disk_source() override;
  std::uint64_t size() const override { return size_; }

 protected:
  void read_at(std::uint64_t offset, char* buffer, std::size_t length) const override;

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// An index file's bytes held by the caller.
class dbf_index_memory_source : public dbf_index_source {
 public:
  dbf_index_memory_source(std::string_view bytes, std::string path)
      : dbf_index_source(std::move(path)), bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }

 protected:
  void read_at(std::uint64_t offset, char* buffer, std::size_t length) const override;

 private:
  std::string_view bytes_;
};

// Fields of a page read by one of the sources; offsets are the caller's to keep inside it.
std::uint16_t dbf_index_le16(std::string_view page, std::size_t at);
std::uint32_t dbf_index_le32(std::string_view page, std::size_t at);
std::uint32_t dbf_index_be32(std::string_view page, std::size_t at);

// The text of at most `length` bytes at `at`, up to the first NUL byte, without the spaces and
// NUL bytes around it.
std::string dbf_index_text(std::string_view page, std::size_t at, std::size_t length);
