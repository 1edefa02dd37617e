#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "dbf/dbf_error_sink.h"
#include "tk/tk_encoding.h"
#include "tk/tk_test_dir.h"

// A fresh folder for one test, with names of its files in both widths.
class dbf_temp_dir : public tk_test_dir {
 public:
  std::string file(const std::string& name) const { return *this / name; }
  std::u16string wfile(const std::string& name) const { return tk_from_utf8(file(name)); }
};

// Collects the messages of the failures a table survives while it lives.
class dbf_test_sink : public dbf_error_sink {
 public:
  dbf_test_sink() { dbf_set_error_sink(this); }
  ~dbf_test_sink() override { dbf_set_error_sink(nullptr); }
  dbf_test_sink(const dbf_test_sink&) = delete;
  dbf_test_sink& operator=(const dbf_test_sink&) = delete;
  void report(const std::string&, const tk_exception& e) override {
    messages.push_back(e.message());
  }
  std::vector<std::string> messages;
};

inline void dbf_put_le(std::string& s, std::size_t at, std::uint64_t v, int n) {
  for (int i = 0; i < n; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

inline void dbf_put_be(std::string& s, std::size_t at, std::uint64_t v, int n) {
  for (int i = 0; i < n; ++i)
    s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * (n - 1 - i)));
}

struct dbf_test_field {
  std::string name;
  char type;
  int length;
  int decimals = 0;
  int flags = 0;  // Visual FoxPro field flags, byte 18 of the descriptor
};

// A table with the 32-byte descriptor layout; each record is given whole, deletion flag
// first. The record length is taken from the descriptors unless rec_size is given.
inline std::string dbf_make_table(std::uint8_t signature, const std::vector<dbf_test_field>& fields,
                                  const std::vector<std::string>& records, std::uint8_t flags = 0,
                                  std::uint8_t cp_mark = 0, int rec_size = -1) {
  const std::size_t header_length = 32 + 32 * fields.size() + 1;
  int width = 1;
  for (const dbf_test_field& f : fields) width += f.length + (f.type == 'C' ? 256 * f.decimals : 0);
  if (rec_size < 0) rec_size = width;
  std::string s(header_length, '\0');
  s[0] = static_cast<char>(signature);
  dbf_put_le(s, 4, records.size(), 4);
  dbf_put_le(s, 8, header_length, 2);
  dbf_put_le(s, 10, static_cast<std::uint64_t>(rec_size), 2);
  s[28] = static_cast<char>(flags);
  s[29] = static_cast<char>(cp_mark);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::size_t at = 32 + 32 * i;
    for (std::size_t c = 0; c < fields[i].name.size() && c < 11; ++c) s[at + c] = fields[i].name[c];
    s[at + 11] = fields[i].type;
    s[at + 16] = static_cast<char>(fields[i].length);
    s[at + 17] = static_cast<char>(fields[i].decimals);
    s[at + 18] = static_cast<char>(fields[i].flags);
  }
  s[header_length - 1] = 0x0D;
  for (const std::string& r : records) s += r;
  return s;
}

// A dBase level 7 table (signature 0x04 without memo, 0x8C with): a 68-byte header and
// 48-byte descriptors with names of up to 32 bytes.
inline std::string dbf_make_table7(const std::vector<dbf_test_field>& fields,
                                   const std::vector<std::string>& records,
                                   std::uint8_t signature = 0x04) {
  const std::size_t header_length = 68 + 48 * fields.size() + 1;
  int width = 1;
  for (const dbf_test_field& f : fields) width += f.length;
  std::string s(header_length, '\0');
  s[0] = static_cast<char>(signature);
  dbf_put_le(s, 4, records.size(), 4);
  dbf_put_le(s, 8, header_length, 2);
  dbf_put_le(s, 10, static_cast<std::uint64_t>(width), 2);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::size_t at = 68 + 48 * i;
    s.replace(at, std::min<std::size_t>(fields[i].name.size(), 32), fields[i].name, 0, 32);
    s[at + 32] = fields[i].type;
    s[at + 33] = static_cast<char>(fields[i].length);
    s[at + 34] = static_cast<char>(fields[i].decimals);
  }
  s[header_length - 1] = 0x0D;
  for (const std::string& r : records) s += r;
  return s;
}

inline std::string dbf_utf8(const std::u16string& s) {
  return tk_to_utf8(s);
}

#define DBF_REQUIRE_TESTDATA()                                                          \
  do {                                                                                  \
    if (!std::filesystem::is_directory(std::string(QV_TESTDATA_DIR) + "/dbf"))          \
      GTEST_SKIP() << "shared DBF tables not present at " << QV_TESTDATA_DIR << "/dbf"; \
  } while (0)

inline std::string dbf_testdata(const std::string& name) {
  return std::string(QV_TESTDATA_DIR) + "/dbf/" + name;
}
