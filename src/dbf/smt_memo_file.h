#pragma once

#include <array>

#include "dbf/dbf_memo_file.h"

// SMT memo file: a 512-byte header holding the block size; each memo ends with a 0 byte.
class smt_memo_file : public dbf_memo_file {
 public:
  smt_memo_file(const std::string& path, int mode);

  std::uint32_t get_block_number(const char* field, std::size_t width) const override;
  void read_memo(std::uint32_t block, std::string& text) const override;

  std::uint32_t block_size() const { return block_size_; }

 private:
  std::array<unsigned char, 512> header_{};
  std::uint32_t block_size_ = 0;
};
