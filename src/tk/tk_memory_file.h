#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tk/tk_file.h"

// A file held whole in memory: loaded in one read, written back in one write by flush() and,
// for a writable file, on destruction.
class tk_memory_file : public tk_file {
 public:
  tk_memory_file(const std::string& name, int mode);
  ~tk_memory_file() override;

  void get_at(std::size_t offset, void* buffer, std::size_t length) const override;
  std::uint8_t get_byte(std::size_t offset) const override;
  std::uint16_t get_word(std::size_t offset) const override;
  std::uint32_t get_dword(std::size_t offset) const override;
  // Writing past the end grows the file first; the gap reads as zero bytes.
  void put_at(std::size_t offset, const void* data, std::size_t length) override;
  std::size_t get_size() const override { return size_; }

  // Growing fills the new bytes with 0; shrinking only lowers the size.
  void set_size(std::size_t size);
  void flush();

 private:
  void initialize();
  void check_range(std::size_t offset, std::size_t length) const;

  std::vector<std::uint8_t> buffer_;
  std::size_t size_ = 0;
};
