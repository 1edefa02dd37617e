#include <gtest/gtest.h>

#include "e2e/cli_run.h"
#include "tk/tk_test_dir.h"

namespace {

// A refusal of the options: its message and a line end on standard error, exit code 255.
void expect_refusal(const cli_result& r, const std::string& message) {
  EXPECT_EQ(r.code, 255);
  EXPECT_EQ(r.err, message + "\n");
  EXPECT_EQ(r.out, "");
}

// Options that pass every check reach the conversion: here a script of an empty folder.
void expect_accepted(const tk_test_dir& dir, std::vector<std::string> args,
                     const std::string& work_dir = {}) {
  args.push_back("--dump");
  args.push_back("--dest=" + dir / "out.sql");
  const cli_result r = quorvik(args, work_dir);
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.rfind("Converting database ", 0), 0u) << r.out;
}

TEST(cli_refusal, source_and_destination_must_be_given) {
  const tk_test_dir dir;
  expect_refusal(quorvik({"--dest=sales"}), "You should specify path to DBF database");
  expect_refusal(quorvik({"--dump"}), "You should specify path to DBF database");
  expect_refusal(quorvik({"--src=" + dir.path()}),
                 "You should specify destination MS SQL database name");
  // A later option replaces an earlier one, an empty value included.
  expect_refusal(quorvik({"--src=" + dir.path(), "--dest=sales", "--dest="}),
                 "You should specify destination MS SQL database name");
}

TEST(cli_refusal, source_must_be_an_existing_folder) {
  const tk_test_dir dir;
  expect_refusal(quorvik({"--src=" + dir.write("t.dbf", "x"), "--dest=sales"}),
                 "You should enter path to DBF database, not a file name");
  expect_refusal(quorvik({"--src=" + dir / "missing", "--dest=sales"}),
                 "Path to DBF database does not exist.\nPlease verify the correct path was given.");
  expect_accepted(dir, {"--src=" + dir.path()});
  expect_accepted(dir, {"--src=."}, dir.path());
}

TEST(cli_refusal, mode_and_jobs_must_be_plain_numbers_in_their_range) {
  const tk_test_dir dir;
  for (const std::string bad : {"01", "-1", "4", " 2", "2 ", "", "+1", "x", "99999999999"}) {
    SCOPED_TRACE("--mode=" + bad);
    expect_refusal(quorvik({"--src=" + dir.path(), "--dest=sales", "--mode=" + bad}),
                   "Invalid merge/overwrite mode");
  }
  for (const std::string good : {"0", "1", "2", "3"}) {
    SCOPED_TRACE("--mode=" + good);
    expect_accepted(dir, {"--src=" + dir.path(), "--mode=" + good});
  }
  for (const std::string bad : {"0", "-2", "65", "x", "", "4 "}) {
    SCOPED_TRACE("--jobs=" + bad);
    expect_refusal(quorvik({"--src=" + dir.path(), "--dest=sales", "--jobs=" + bad}),
                   "The number of parallel connections (--jobs) should be from 1 to 64");
  }
  for (const std::string good : {"1", "64"}) {
    SCOPED_TRACE("--jobs=" + good);
    expect_accepted(dir, {"--src=" + dir.path(), "--jobs=" + good});
  }
}

TEST(cli_refusal, encoding_must_be_a_code_page_mark) {
  const tk_test_dir dir;
  const std::string message =
      "Invalid codepage. See 'Command Line' article of the manual to learn\nabout DBase codepages";
  for (const std::string bad :
       {"866", "5", "256", "0x65", "abc", "-3", " 101", "101x", "utf8", "65000", "utf-8 "}) {
    SCOPED_TRACE("--encoding=" + bad);
    expect_refusal(quorvik({"--src=" + dir.path(), "--dest=sales", "--encoding=" + bad}), message);
  }
  for (const std::string good : {"0", "101", "201", "3", "0101", "77", "65001", "utf-8", "UTF-8"}) {
    SCOPED_TRACE("--encoding=" + good);
    expect_accepted(dir, {"--src=" + dir.path(), "--encoding=" + good});
  }
}

TEST(cli_refusal, refusals_are_checked_in_argument_order) {
  // The bad mode stops the scan before the source is ever looked at.
  expect_refusal(quorvik({"--mode=7", "--src=/no/such/folder"}), "Invalid merge/overwrite mode");
}

TEST(cli_refusal, silent_refusals_print_nothing_but_still_fail) {
  const tk_test_dir dir;
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--silent", "--dest=sales"},
           {"--silent", "--src=" + dir.path(), "--dest=sales", "--mode=5"},
           {"--silent", "--src=" + dir.path(), "--dest=sales", "--tab_file=" + dir / "none"}}) {
    const cli_result r = quorvik(args);
    EXPECT_EQ(r.code, 255);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
  }
}

TEST(cli_refusal, every_option_is_recognised) {
  const tk_test_dir dir;
  expect_accepted(dir,
                  {"--src=" + dir.path(), "--log2int", "--skip_del", "--tab_def", "--mssqlh=server",
                   "--mssqlu=sa", "--mssqlp=p=w", "--encoding=38", "--mode=3"});
}

}  // namespace
