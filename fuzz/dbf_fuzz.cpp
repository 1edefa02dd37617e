// Opens fuzzed table and memo bytes as a DBF table and reads every record. Input layout: a
// 16-bit little-endian table length, the table's bytes, then the memo file's bytes (written
// under every memo extension, so whichever the signature asks for is there).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "dbf/dbf_error_sink.h"
#include "dbf/dbf_recordset.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"

namespace {

class quiet_sink : public dbf_error_sink {
 public:
  void report(const std::string&, const tk_exception&) override {}
};

const std::string& work_dir() {
  static const std::string dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "dbf_fuzz_XXXXXX").string();
    return std::string(::mkdtemp(pattern.data()));
  }();
  return dir;
}

void write(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size != 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static quiet_sink sink;
  dbf_set_error_sink(&sink);
  if (size < 2) return 0;
  std::size_t table_size = data[0] | static_cast<std::size_t>(data[1]) << 8;
  data += 2;
  size -= 2;
  if (table_size > size) table_size = size;
  const std::string base = work_dir() + "/t.";
  write(base + "dbf", data, table_size);
  for (const char* ext : {"dbt", "fpt", "dct", "smt"}) {
    write(base + ext, data + table_size, size - table_size);
  }
  try {
    dbf_recordset rs(tk_from_utf8(base + "dbf"), dbf_recordset::k_mode_read, 0);
    for (rs.reset(); !rs.is_eof(); rs.next()) {
      udb_record* record = rs.get_item();
      if (record == nullptr) std::abort();
      for (const udb_field& field : *record) (void)field.to_string();
    }
  } catch (const tk_exception&) {
    // Refusing a broken table is the expected outcome.
  }
  return 0;
}
