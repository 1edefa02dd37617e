#pragma once

#include "dbf/dbf_memo_file.h"
#include "dbf/dbf_memo_type.h"

// FoxPro and Visual FoxPro memo file (.fpt, and .dct of a database container): big-endian
// header and block lengths. Visual FoxPro tables keep binary block numbers in their records,
// FoxPro tables decimal ones.
class fpt_memo_file : public dbf_memo_file {
 public:
  fpt_memo_file(const std::string& path, int mode, dbf_memo_type memo_code);

  std::uint32_t get_block_number(const char* field, std::size_t width) const override;
  void read_memo(std::uint32_t block, std::string& text) const override;
  void read_memo_bytes(std::uint32_t block, std::string& bytes) const override;

  std::uint32_t block_size() const { return block_size_; }
  std::uint32_t next_block() const { return next_block_; }

 private:
  void read_stored(std::uint32_t block, std::string& text, bool whole) const;
  dbf_memo_type memo_code_;
  std::uint32_t next_block_ = 0;
  std::uint32_t block_size_ = 0;
};
