#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

// A dBase III table written byte by byte, for runs that need tables of a particular shape.
struct e2e_field {
  std::string name;
  char type;  // C, N, L or D
  int length;
  int decimals = 0;
};

struct e2e_row {
  bool deleted = false;
  std::vector<std::string> values;  // raw field text, padded to the field's length
};

namespace e2e_detail {

inline void put16(std::string& out, std::size_t at, unsigned v) {
  out[at] = static_cast<char>(v & 0xFF);
  out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

}  // namespace e2e_detail

inline void e2e_write_dbf(const std::string& path, const std::vector<e2e_field>& fields,
                          const std::vector<e2e_row>& rows, std::uint8_t codepage_mark = 0x03) {
  unsigned record_size = 1;
  for (const e2e_field& f : fields) record_size += static_cast<unsigned>(f.length);
  const unsigned header_size = 32 * static_cast<unsigned>(fields.size()) + 33;

  std::string out(32, '\0');
  out[0] = 0x03;
  out[1] = 124;  // 2024-03-15
  out[2] = 3;
  out[3] = 15;
  const auto count = static_cast<std::uint32_t>(rows.size());
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
  e2e_detail::put16(out, 8, header_size);
  e2e_detail::put16(out, 10, record_size);
  out[29] = static_cast<char>(codepage_mark);

  for (const e2e_field& f : fields) {
    std::string d(32, '\0');
    d.replace(0, f.name.size(), f.name);
    d[11] = f.type;
    d[16] = static_cast<char>(f.length);
    d[17] = static_cast<char>(f.decimals);
    out += d;
  }
  out += '\r';
  for (const e2e_row& row : rows) {
    out += row.deleted ? '*' : ' ';
    for (std::size_t i = 0; i < fields.size(); ++i) {
      std::string v = i < row.values.size() ? row.values[i] : std::string();
      v.resize(static_cast<std::size_t>(fields[i].length), ' ');
      out += v;
    }
  }
  out += '\x1a';
  std::ofstream(path, std::ios::binary) << out;
}

// A benchmark table of `records` rows (by default the dBase III one with its memo file),
// written by the benchmark's table writer into `folder`/`shape`: that folder, or empty when
// the writer failed.
inline std::string e2e_bench_table(const std::string& folder, int records,
                                   const std::string& shape = "dbase3") {
  const std::string command = "python3 '" + std::string(QV_SOURCE_DIR) +
                              "/bench/make_tables.py' '" + folder + "' " + std::to_string(records) +
                              " " + shape + " > /dev/null";
  if (std::system(command.c_str()) != 0) return {};
  return folder + "/" + shape;
}
