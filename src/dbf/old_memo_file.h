#pragma once

#include "dbf/dbf_memo_file.h"

// dBase III / FoxBASE memo file: 512-byte blocks, each memo ended by 0x1A. The only memo
// format that is also written.
class old_memo_file : public dbf_memo_file {
 public:
  static constexpr std::uint32_t k_block_size = 512;

  old_memo_file(const std::string& path, int mode);

  void read_memo(std::uint32_t block, std::string& text) const override;
  // Writes the text at `block` (the file's next free block) ended by two 0x1A bytes and
  // moves the next free block past it.
  void write_memo(std::uint32_t block, std::string_view text) override;

  std::uint32_t next_block() const { return next_block_; }

 private:
  std::uint32_t next_block_ = 0;
};
