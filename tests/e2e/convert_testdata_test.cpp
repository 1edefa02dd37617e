#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "e2e/cli_run.h"
#include "tk/tk_test_dir.h"

namespace {

namespace fs = std::filesystem;

// Every shared table becomes a script holding one INSERT per record on disk, deleted ones
// included; the record counts come from the summaries written beside the tables.
void expect_every_record_dumped(const fs::path& folder) {
  if (!fs::is_directory(folder)) GTEST_SKIP() << "shared test tables not present";
  const tk_test_dir dir;
  const std::string out = dir / "all.sql";
  const cli_result run = quorvik({"--src=" + folder.string(), "--dump", "--dest=" + out});
  EXPECT_EQ(run.code, 0) << run.out << run.err;
  const std::string script = tk_read_file(out);

  int checked = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string file = entry.path().filename().string();
    const auto suffix = file.find("_summary.txt");
    if (suffix == std::string::npos) continue;
    const std::string table = file.substr(0, suffix);
    const std::string summary = tk_read_file(entry.path().string());
    const auto at = summary.find("Records: ");
    ASSERT_NE(at, std::string::npos) << file;
    const std::string records = summary.substr(at + 9, summary.find('\n', at) - at - 9);
    std::size_t inserts = 0;
    const std::string statement = "INSERT INTO [dbo].[" + table + "] (";
    for (auto at = script.find(statement); at != std::string::npos;
         at = script.find(statement, at + 1)) {
      ++inserts;
    }
    EXPECT_EQ(inserts, std::stoul(records)) << table;
    EXPECT_NE(run.out.find("Converting table " + table + "(" + records + " records)"),
              std::string::npos)
        << table;
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

TEST(convert_testdata, every_shared_table_is_dumped_whole) {
  expect_every_record_dumped(fs::path(QV_TESTDATA_DIR) / "dbf");
}

TEST(convert_testdata, the_foxpro_database_folder_is_dumped) {
  const fs::path folder = fs::path(QV_TESTDATA_DIR) / "dbf" / "foxprodb";
  if (!fs::is_directory(folder)) GTEST_SKIP() << "shared test tables not present";
  const tk_test_dir dir;
  const cli_result run =
      quorvik({"--src=" + folder.string(), "--dump", "--dest=" + dir / "fox.sql"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out.find("Error:"), std::string::npos) << run.out;
  const std::string script = tk_read_file(dir / "fox.sql");
  for (const std::string table : {"calls", "contacts", "setup", "types"}) {
    EXPECT_NE(script.find("CREATE TABLE [dbo].[" + table + "]"), std::string::npos) << table;
  }
}

}  // namespace
