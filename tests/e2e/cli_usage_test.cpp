#include <gtest/gtest.h>

#include "e2e/cli_run.h"

namespace {

// What --help prints; every other way to ask for the usage must print the same.
const std::string& usage_text() {
  static const std::string text = quorvik({"--help"}).err;
  return text;
}

// The usage goes out on standard error through the fatal-message path, which adds its own line
// end, and the run fails.
void expect_usage(const cli_result& r) {
  EXPECT_EQ(r.code, 255);
  EXPECT_EQ(r.err, usage_text());
  EXPECT_EQ(r.out, "");
}

TEST(cli_usage, names_the_version_and_every_option) {
  const std::string& text = usage_text();
  EXPECT_EQ(text.rfind("QUORVIK v2.3\nUsage: QUORVIK.EXE OPTIONS\n\n", 0), 0u) << text;
  EXPECT_TRUE(text.ends_with("      DBF file header.\n\n")) << text;
  for (const char* option :
       {"--dest=...",         "--dump",         "--encoding=...", "--help",        "--logfile=...",
        "--log2int",          "--mode=...",     "--mssqlh=...",   "--mssqlu=...",  "--mssqlp=...",
        "--no_indexes",       "--profile=...",  "--silent",       "--skip_del",    "--src=...",
        "--tab_def",          "--tab_file=...", "--version",      "--encrypt=...", "--ca_file=...",
        "--trust_server_cert"}) {
    EXPECT_NE(text.find(std::string("\n   ") + option + " "), std::string::npos) << option;
  }
}

TEST(cli_usage, printed_for_help_no_arguments_and_unknown_arguments) {
  expect_usage(quorvik({}));
  expect_usage(quorvik({"--help", "--mode=9", "--src=/no/such"}));  // nothing after it is read
  expect_usage(quorvik({"--helpful"}));                             // a plain prefix match
  expect_usage(quorvik({"--help", "--silent"}));
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
