#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A large file read and written at 64-bit positions, one system call per access and no buffer
// of its own. The file is created empty when missing.
class tk_huge_file {
 public:
  tk_huge_file(const std::string& path, bool writable);
  virtual ~tk_huge_file();
  tk_huge_file(const tk_huge_file&) = delete;
  tk_huge_file& operator=(const tk_huge_file&) = delete;

  std::uint64_t get_size() const;

  // Reads exactly `length` bytes; fewer raise "Error reading from file".
  void get_at(std::uint64_t offset, void* buffer, std::size_t length) const;
  std::uint8_t get_byte(std::uint64_t offset) const;
  std::uint16_t get_word(std::uint64_t offset) const;   // little-endian
  std::uint32_t get_dword(std::uint64_t offset) const;  // little-endian

  void put_at(std::uint64_t offset, const void* data, std::size_t length);

 private:
  int fd_ = -1;
};
