#pragma once

#include <array>

#include "dbf/dbf_memo_file.h"

// dBase IV memo file: blocks of the header's block size, each memo preceded by a mark and its
// stored length (the 8 leading bytes included).
class dbt_memo_file : public dbf_memo_file {
 public:
  dbt_memo_file(const std::string& path, int mode);

  void read_memo(std::uint32_t block, std::string& text) const override;
  void read_memo_bytes(std::uint32_t block, std::string& bytes) const override;

  std::uint32_t block_size() const { return block_size_; }

 private:
  void read_stored(std::uint32_t block, std::string& text, bool whole) const;
  std::array<unsigned char, 24> header_{};
  std::uint32_t block_size_ = 0;
};
