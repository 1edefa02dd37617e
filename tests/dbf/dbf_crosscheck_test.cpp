// Cross-check with Debian's python3-dbfread: for every shared table of every folder (dBase and
// FoxPro samples, dBase level 7, the Visual FoxPro Northwind tables), every record and field
// our reader produces must agree with dbfread's value. What the two represent differently
// (trailing blanks, None versus empty text, milliseconds, float precision of F fields ...) is
// normalised by dbfread_compare.py, whose header lists each normalisation and its reason.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <filesystem>

#include "dbf/dbf_exception.h"
#include "dbf_json_dump.h"

namespace {

std::string script() {
  return std::string(QV_SOURCE_DIR) + "/tests/dbf/dbfread_compare.py";
}

}  // namespace

TEST(DbfCrossCheck, EverySharedTableAgreesWithDbfread) {
  DBF_REQUIRE_TESTDATA();
  std::string probe;
  ASSERT_EQ(dbf_run(std::string(dbf_python) + " -c 'import dbfread'", probe), 0)
      << "python3-dbfread is missing (scripts/setup.sh installs it): " << probe;

  std::vector<std::string> tables;
  // Every folder of shared tables, not only the first one.
  for (const auto& e : std::filesystem::recursive_directory_iterator(QV_TESTDATA_DIR)) {
    if (e.path().extension() == ".dbf") tables.push_back(e.path().string());
  }
  std::sort(tables.begin(), tables.end());
  std::string json = "{\"tables\":[";
  int dumped = 0;
  for (const std::string& path : tables) {
    std::unique_ptr<dbf_recordset> rs;
    try {
      rs = std::make_unique<dbf_recordset>(tk_from_utf8(path), dbf_recordset::k_mode_read, 0);
    } catch (const dbf_exception&) {
      continue;  // rejected tables are covered by the shared-table tests
    }
    if (dumped++ > 0) json += ',';
    json += dbf_json_table(*rs);
  }
  json += "]}";
  dbf_temp_dir dir;
  tk_write_file(dir.file("ours.json"), json);

  std::string output;
  const int status =
      dbf_run(std::string(dbf_python) + " " + script() + " " + dir.file("ours.json"), output);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("compared " + std::to_string(dumped) + " tables, 0 differences"),
            std::string::npos)
      << output;
}
