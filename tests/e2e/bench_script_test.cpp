// The benchmark tables, at a size that runs in seconds, go through quorvik --dump; every row of
// each script must hold the values Debian's python3-dbfread reads from the table.
// bench_compare.py matches the rows and lists, in its header, each difference of representation
// it normalises (text quoting, NULL for None, floats against decimal text ...) and why.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "e2e/cli_run.h"
#include "tk/tk_test_dir.h"

namespace {

// Debian's interpreter, where python3-dbfread installs itself (not a python3 earlier in PATH).
const std::string k_python = "/usr/bin/python3";
constexpr int k_records = 20000;

std::string source_file(const std::string& relative) {
  return std::string(QV_SOURCE_DIR) + "/" + relative;
}

class bench_script : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const cli_result probe = cli_run(k_python, {"-c", "import dbfread"});
    if (probe.code != 0) return;
    dir_ = std::make_unique<tk_test_dir>();
    made_ = cli_run(k_python, {source_file("bench/make_tables.py"), dir_->path(),
                               std::to_string(k_records), "dbase3", "vfp"});
  }
  static void TearDownTestSuite() { dir_.reset(); }

  void SetUp() override {
    if (dir_ == nullptr)
      GTEST_SKIP() << "python3-dbfread is missing (scripts/setup.sh installs it)";
    ASSERT_EQ(made_.code, 0) << made_.err;
  }

  // Converts the one table of a benchmark folder and compares its script with dbfread.
  static void expect_same_rows(const std::string& folder, const std::string& table) {
    const std::string script = *dir_ / (table + ".sql");
    const cli_result run =
        quorvik({"--src=" + (*dir_ / folder), "--dest=" + script, "--dump", "--silent"});
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    const cli_result compared =
        cli_run(k_python, {source_file("tests/e2e/bench_compare.py"), script,
                           *dir_ / (folder + "/" + table + ".dbf")});
    EXPECT_EQ(compared.code, 0) << compared.out << compared.err;
    EXPECT_NE(compared.out.find("compared " + std::to_string(k_records) + " rows, 0 differences"),
              std::string::npos)
        << compared.out << compared.err;
  }

  static std::unique_ptr<tk_test_dir> dir_;
  static cli_result made_;
};

std::unique_ptr<tk_test_dir> bench_script::dir_;
cli_result bench_script::made_;

// dBase III with memo: N, C, D, L and M fields, accented cp1252 text, quotes, blank numbers
// and dates, unset logicals, memos over several blocks, deleted records kept.
TEST_F(bench_script, dbase3_table_with_memo_matches_dbfread_row_by_row) {
  expect_same_rows("dbase3", "people");
}

// Visual FoxPro: I, Y, T, B, N, C, L and D fields, negative currency, empty date-times.
TEST_F(bench_script, visual_foxpro_table_matches_dbfread_row_by_row) {
  expect_same_rows("vfp", "items");
}

}  // namespace
