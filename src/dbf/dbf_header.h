#pragma once

#include <cstdint>

// The families of table formats whose field letters decode differently.
enum class dbf_table_format : std::uint8_t { other, dbase4, level7, visual_foxpro };

// The table header: the 32-byte layout of every signature but 0x02, whose 8-byte FoxBase
// header only gives the record count (16-bit, offset 1) and the record length (offset 6).
struct dbf_header {
  std::uint8_t signature = 0;
  std::int64_t last_rec = 0;       // record count
  std::uint32_t data_offset = 0;   // file offset of the first record
  std::uint32_t rec_size = 0;      // record length, deletion flag included
  std::uint8_t table_flags = 0;    // Visual FoxPro: 0x02 memo file, 0x04 database container
  std::uint8_t codepage_mark = 0;  // language driver byte

  static constexpr std::uint32_t k_size = 32;
  static constexpr std::uint8_t k_foxbase = 0x02;

  // `bytes` holds the first 32 bytes of the file (or as many as the 0x02 layout needs).
  static dbf_header parse(const unsigned char* bytes);

  bool is_level7() const { return signature == 0x04 || signature == 0x8C; }
  bool is_visual_foxpro() const { return signature >= 0x30 && signature <= 0x32; }
  dbf_table_format format() const;
};
