#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "e2e/cli_run.h"
#include "tk/tk_test_dir.h"

namespace {

// A script of the folder's tables into out.sql beside them.
std::vector<std::string> base_args(const tk_test_dir& dir) {
  return {"--src=" + dir.path(), "--dump", "--dest=" + dir / "out.sql"};
}

void expect_converted(const cli_result& r) {
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.out.rfind("Converting database ", 0), 0u) << r.out;
}

std::vector<std::string> with(std::vector<std::string> args, const std::string& extra) {
  args.push_back(extra);
  return args;
}

void expect_error(const cli_result& r, const std::string& text) {
  EXPECT_EQ(r.code, 255);
  EXPECT_EQ(r.out, "Error:\n" + text + "\n");
  EXPECT_EQ(r.err, "");
}

TEST(cli_tab_file, list_with_byte_order_mark_and_crlf_selects_tables) {
  const std::filesystem::path shop = std::filesystem::path(QV_SOURCE_DIR) / "samples/shop";
  if (!std::filesystem::exists(shop / "orders.dbf")) GTEST_SKIP() << "no sample tables";
  const tk_test_dir dir;
  for (const auto& entry : std::filesystem::directory_iterator(shop)) {
    std::filesystem::copy(entry.path(), dir / entry.path().filename().string());
  }
  const std::string list = dir.write("tables.txt",
                                     "\xEF\xBB\xBF"
                                     "ORDERS\r\n\r\ncustomers\r\n");
  const cli_result r = quorvik(with(base_args(dir), "--tab_file=" + list));
  expect_converted(r);
  EXPECT_NE(r.out.find("(2 tables)\n"), std::string::npos) << r.out;
  // The mark is not part of the first name, and the line ends are not part of any.
  EXPECT_NE(r.out.find("\nConverting table ORDERS("), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nConverting table customers("), std::string::npos) << r.out;
}

TEST(cli_tab_file, missing_list_is_refused) {
  const tk_test_dir dir;
  const std::string message =
      "Table names file does not exist.\nPlease verify the correct path/name was given.\n";
  for (const std::string& path : {dir / "missing.txt", dir.path()}) {
    const cli_result r = quorvik(with(base_args(dir), "--tab_file=" + path));
    EXPECT_EQ(r.code, 255);
    EXPECT_EQ(r.err, message);
  }
}

TEST(cli_logfile, refusals) {
  const tk_test_dir dir;
  expect_error(quorvik(with(base_args(dir), "--logfile=" + dir.path())),
               "Logfile name specifies an existing path.");
  expect_error(quorvik(with(base_args(dir), "--logfile=" + dir / "missing/run.log")),
               "Logfile path does not exist. Please verify the correct path was given.");
}

TEST(cli_logfile, read_only_file_is_refused) {
  if (tk_running_as_root()) GTEST_SKIP() << "permission bits do not stop the superuser";
  const tk_test_dir dir;
  const std::string log = dir.write("ro.log", "keep");
  ::chmod(log.c_str(), 0444);
  expect_error(quorvik(with(base_args(dir), "--logfile=" + log)),
               "Logfile name specifies an existing read-only file.");
  EXPECT_EQ(tk_read_file(log), "keep");
}

TEST(cli_logfile, each_run_starts_a_fresh_log_of_user_events) {
  const tk_test_dir dir;
  const std::string log = dir.write("run.log", "a previous run\r\n");
  const cli_result first =
      quorvik({"--logfile=" + log, "--src=" + dir.path(), "--dest=x", "--mode=9"});
  EXPECT_EQ(first.code, 255);
  EXPECT_EQ(tk_read_file(log), "Invalid merge/overwrite mode\r\n");

  // Silence keeps the console quiet, not the log.
  const cli_result second =
      quorvik({"--silent", "--logfile=" + log, "--src=" + dir.path(), "--dest=x", "--encoding=5"});
  EXPECT_EQ(second.code, 255);
  EXPECT_EQ(second.err, "");
  EXPECT_EQ(tk_read_file(log),
            "Invalid codepage. See 'Command Line' article of the manual to learn\nabout DBase "
            "codepages\r\n");
}

TEST(cli_logfile, nothing_is_logged_without_the_option) {
  const tk_test_dir dir;
  quorvik({"--src=.", "--dest=x", "--mode=7"}, dir.path());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(cli_dump, destination_checks) {
  const tk_test_dir dir;
  const auto dump = [&](const std::string& dest) {
    return quorvik({"--src=" + dir.path(), "--dump", "--dest=" + dest});
  };
  expect_error(dump(dir.path()), "Destination name should specify a file, not folder.");
  expect_error(dump(dir / "missing/out.sql"),
               "Destination path does not exist. Please verify the correct path was given.");
  expect_converted(dump(dir / "out.sql"));
}

TEST(cli_dump, existing_script_is_replaced) {
  const tk_test_dir dir;
  const std::string script = dir.write("out.sql", "-- an old script");
  expect_converted(quorvik(base_args(dir)));
  EXPECT_EQ(tk_read_file(script).find("-- an old script"), std::string::npos);
}

TEST(cli_dump, read_only_destination_is_refused) {
  if (tk_running_as_root()) GTEST_SKIP() << "permission bits do not stop the superuser";
  const tk_test_dir dir;
  const std::string script = dir.write("ro.sql", "x");
  ::chmod(script.c_str(), 0444);
  expect_error(quorvik({"--src=" + dir.path(), "--dump", "--dest=" + script}),
               "Destination name specifies an existing read-only file.");
}

TEST(cli_profile, missing_profile_is_an_error) {
  const tk_test_dir dir;
  expect_error(quorvik(with(base_args(dir), "--profile=" + dir / "none.talvex")),
               "Profile does not exist. Please verify the correct path/name was given.");
  const std::string profile = dir.write("p.talvex", "[Generic settings]\r\nskip deleted=1\r\n");
  expect_converted(quorvik(with(base_args(dir), "--profile=" + profile)));
}

}  // namespace
