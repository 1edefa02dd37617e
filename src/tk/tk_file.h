#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Open mode bits of tk_file.
inline constexpr int tk_file_mode_read = 0;
inline constexpr int tk_file_mode_write = 1;     // bit 0: the file is written back
inline constexpr int tk_file_mode_truncate = 2;  // with bit 0: start from an empty file

// A named file with positioned access; the name is made absolute on construction.
class tk_file {
 public:
  tk_file(const std::string& name, int mode);
  virtual ~tk_file();
  tk_file(const tk_file&) = delete;
  tk_file& operator=(const tk_file&) = delete;

  virtual void get_at(std::size_t offset, void* buffer, std::size_t length) const = 0;
  virtual std::uint8_t get_byte(std::size_t offset) const = 0;
  virtual std::uint16_t get_word(std::size_t offset) const = 0;
  virtual std::uint32_t get_dword(std::size_t offset) const = 0;
  virtual void put_at(std::size_t offset, const void* data, std::size_t length) = 0;
  virtual std::size_t get_size() const = 0;

  const std::string& name() const { return name_; }
  int mode() const { return mode_; }
  bool writable() const { return (mode_ & tk_file_mode_write) != 0; }

 private:
  std::string name_;
  int mode_;
};
