#include <gtest/gtest.h>

#include "e2e/cli_run.h"

namespace {

const std::string k_usage =
    "QUORVIK v2.3\n"
    "Usage: QUORVIK.EXE OPTIONS\n"
    "\n"
    "   --dest=...     MS SQL database or dump file name\n"
    "   --dump         convert FoxPro/DBase database into T-SQL dump file\n"
    "   --encoding=... decode all text fields using DBase codepage specified\n"
    "                  (see 'Command Line' article of the manual to learn\n"
    "                  about DBase codepages)\n"
    "   --help         display this help message and exit\n"
    "   --logfile=...  path to the file where execution trace will be written\n"
    "   --log2int      convert DBase logical fields into MS SQL TINYINT(1)\n"
    "                  according to ANSI standard (true=1, false=0)\n"
    "   --mode=...     how to process an existing MS SQL database\n"
    "                  (0 - overwrite the entire database, 1 - overwrite existing\n"
    "                  tables only, 2 - skip existing tables, 3 - merge)\n"
    "   --mssqlh=...   MS SQL server IP address or network name\n"
    "   --mssqlu=...   MS SQL user name\n"
    "   --mssqlp=...   MS SQL user password\n"
    "   --profile=...  path to the file to load conversion settings from\n"
    "   --silent       disable program output\n"
    "   --skip_del     don't convert records marked as deleted\n"
    "   --src=...      path to DBF database\n"
    "   --tab_def      convert table definitions only\n"
    "   --tab_file=... file containing the list of tables to convert\n"
    "                  (one table name per line)\n"
    "\n"
    "NOTES:\n"
    "   1) You can omit 'mssqlh' parameter to connect local MS SQL server.\n"
    "   2) You can omit 'mssqlu' and 'mssqlp' parameters to connect to MS SQL\n"
    "      server using Windows authentication.\n"
    "   3) If you omit 'tab_file' parameter, all database files will be converted.\n"
    "   4) If you omit 'mode' parameter, default mode 'overwrite' will be used.\n"
    "   5) If you omit 'encoding' parameter, this value will be taken from\n"
    "      DBF file header.\n";

// The usage text goes out through the fatal-message path, which adds its own line end.
void expect_usage(const cli_result& r) {
  EXPECT_EQ(r.code, 255);
  EXPECT_EQ(r.err, k_usage + "\n");
  EXPECT_EQ(r.out, "");
}

TEST(cli_usage, no_arguments) {
  expect_usage(quorvik({}));
}

TEST(cli_usage, help) {
  expect_usage(quorvik({"--help"}));
  expect_usage(quorvik({"--help", "--mode=9", "--src=/no/such"}));  // nothing after it is read
  expect_usage(quorvik({"--helpful"}));                             // a plain prefix match
}

TEST(cli_usage, unknown_arguments) {
  expect_usage(quorvik({"--bogus"}));
  expect_usage(quorvik({"--HELP"}));  // prefixes are case-sensitive
  expect_usage(quorvik({"src=/tmp", "--dest=x"}));
  expect_usage(quorvik({"--src=/tmp", "--dest=x", "extra"}));
}

TEST(cli_usage, silent_before_help_prints_nothing) {
  const cli_result r = quorvik({"--silent", "--help"});
  EXPECT_EQ(r.code, 255);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
}

TEST(cli_usage, help_before_silent_prints_the_usage) {
  expect_usage(quorvik({"--help", "--silent"}));
}

TEST(cli_usage, at_most_twenty_unknown_arguments) {
  std::vector<std::string> args(20, "junk");
  expect_usage(quorvik(args));
  args.push_back("junk");
  const cli_result r = quorvik(args);
  EXPECT_EQ(r.code, 255);
  EXPECT_EQ(r.out.rfind("Internal error: Internal error: \ncode=", 0), 0u) << r.out;
  EXPECT_EQ(r.err, "");
}

}  // namespace
