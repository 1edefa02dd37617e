#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <sstream>

#include "e2e/cli_run.h"
#include "e2e/e2e_dbf.h"
#include "tk/tk_test_dir.h"

namespace {

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::size_t inserts(const std::string& script, const std::string& table) {
  return count(script, "INSERT INTO [dbo].[" + table + "] (");
}

std::set<std::string> lines(const std::string& text) {
  std::set<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.insert(line);
  return out;
}

// goods: three records, the second marked as deleted; a logical and a text field.
void write_goods(const std::string& path) {
  e2e_write_dbf(path, {{"NAME", 'C', 10}, {"PAID", 'L', 1}, {"QTY", 'N', 5}},
                {{false, {"apple", "T", "    1"}},
                 {true, {"pear", "F", "    2"}},
                 {false, {"O'Brien", "F", "    3"}}});
}

struct dump_run {
  cli_result result;
  std::string script;
};

dump_run dump(const tk_test_dir& dir, const std::string& src, std::vector<std::string> extra = {}) {
  const std::string out = dir / "out.sql";
  std::vector<std::string> args = {"--src=" + src, "--dump", "--dest=" + out};
  args.insert(args.end(), extra.begin(), extra.end());
  dump_run run{quorvik(args), {}};
  run.script = tk_read_file(out);
  return run;
}

TEST(convert_dump, bundled_samples_become_a_script_with_every_record) {
  const tk_test_dir dir;
  const std::string src = std::string(QV_SOURCE_DIR) + "/samples/shop";
  const dump_run run = dump(dir, src);
  EXPECT_EQ(run.result.code, 0);
  EXPECT_EQ(run.result.err, "");
  EXPECT_EQ(
      lines(run.result.out),
      (std::set<std::string>{
          "Converting database " + src + "(3 tables)", "Converting table customers(5 records)",
          "Converting table orders(13 records)", "Converting table products(4 records)"}));
  EXPECT_EQ(inserts(run.script, "customers"), 5u);
  EXPECT_EQ(inserts(run.script, "orders"), 13u);
  EXPECT_EQ(inserts(run.script, "products"), 4u);
  EXPECT_EQ(count(run.script, "CREATE TABLE"), 3u);
}

TEST(convert_dump, deleted_records_are_kept_unless_skipped) {
  const tk_test_dir dir;
  const tk_test_dir src;
  write_goods(src / "goods.dbf");
  e2e_write_dbf(src / "gone.dbf", {{"NAME", 'C', 4}}, {{true, {"x"}}, {true, {"y"}}});

  const dump_run all = dump(dir, src.path());
  EXPECT_EQ(all.result.code, 0);
  EXPECT_EQ(inserts(all.script, "goods"), 3u);
  EXPECT_EQ(inserts(all.script, "gone"), 2u);

  const dump_run kept = dump(dir, src.path(), {"--skip_del"});
  EXPECT_EQ(kept.result.code, 0);
  EXPECT_EQ(inserts(kept.script, "goods"), 2u);
  EXPECT_EQ(kept.script.find("N'pear'"), std::string::npos);
  // A table of only deleted records is still created, and stays empty.
  EXPECT_NE(kept.script.find("CREATE TABLE [dbo].[gone]"), std::string::npos);
  EXPECT_EQ(inserts(kept.script, "gone"), 0u);
}

// Script runners act on a line reading "GO" (end of batch) or "QUIT" (end of run) even inside a
// quoted text: a text with such a line keeps its line breaks out of the script's lines, other
// texts keep them as they are.
TEST(convert_dump, text_lines_never_read_as_runner_commands) {
  const tk_test_dir dir;
  const tk_test_dir src;
  e2e_write_dbf(src / "notes.dbf", {{"NOTE", 'C', 12}},
                {{false, {"a\r\n go 2\r\nb"}}, {false, {"ok\r\nGoing"}}, {false, {"x\r\nQUIT"}}});
  const dump_run run = dump(dir, src.path());
  ASSERT_EQ(run.result.code, 0);
  std::istringstream in(run.script);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    const bool separator = first != std::string::npos && line.size() >= first + 2 &&
                           (line[first] | 0x20) == 'g' && (line[first + 1] | 0x20) == 'o' &&
                           (line.size() == first + 2 ||
                            std::isalpha(static_cast<unsigned char>(line[first + 2])) == 0);
    if (separator) {
      EXPECT_EQ(line, "GO");
    }
  }
  EXPECT_NE(run.script.find("N'a' + NCHAR(13) + NCHAR(10) + N' go 2' + NCHAR(13) + NCHAR(10) + "
                            "N'b'"),
            std::string::npos);
  EXPECT_NE(run.script.find("N'ok\r\nGoing'"), std::string::npos);
  EXPECT_NE(run.script.find("N'x' + NCHAR(13) + NCHAR(10) + N'QUIT'"), std::string::npos);
  EXPECT_EQ(run.script.find("\nQUIT"), std::string::npos);
}

TEST(convert_dump, table_definitions_only) {
  const tk_test_dir dir;
  const tk_test_dir src;
  write_goods(src / "goods.dbf");
  const dump_run run = dump(dir, src.path(), {"--tab_def"});
  EXPECT_EQ(run.result.code, 0);
  EXPECT_NE(run.script.find("CREATE TABLE [dbo].[goods]"), std::string::npos);
  EXPECT_EQ(count(run.script, "INSERT INTO"), 0u);
  EXPECT_NE(run.result.out.find("Converting table goods(3 records)"), std::string::npos);
}

TEST(convert_dump, logical_fields_as_letters_or_integers) {
  const tk_test_dir dir;
  const tk_test_dir src;
  write_goods(src / "goods.dbf");

  const dump_run letters = dump(dir, src.path());
  EXPECT_NE(letters.script.find("[PAID] CHAR(1)"), std::string::npos);
  EXPECT_NE(letters.script.find("VALUES (N'apple', 'T', 1)"), std::string::npos);
  EXPECT_NE(letters.script.find("VALUES (N'O''Brien', 'F', 3)"), std::string::npos);

  const dump_run integers = dump(dir, src.path(), {"--log2int"});
  EXPECT_NE(integers.script.find("[PAID] BIT"), std::string::npos);
  EXPECT_NE(integers.script.find("VALUES (N'apple', 1, 1)"), std::string::npos);
  EXPECT_NE(integers.script.find("VALUES (N'O''Brien', 0, 3)"), std::string::npos);
}

TEST(convert_dump, encoding_option_overrides_the_table_mark) {
  const tk_test_dir dir;
  const tk_test_dir src;
  // 0x8E 0xA0 are two Cyrillic letters in code page 866 (mark 0x65).
  e2e_write_dbf(src / "names.dbf", {{"NAME", 'C', 4}}, {{false, {"\x8E\xA0"}}}, 0x65);
  const dump_run own = dump(dir, src.path());
  EXPECT_NE(own.script.find("VALUES (N'\xD0\x9E\xD0\xB0')"), std::string::npos);
  const dump_run forced = dump(dir, src.path(), {"--encoding=3"});
  EXPECT_NE(forced.script.find("VALUES (N'\xC5\xBD\xC2\xA0')"), std::string::npos);
}

TEST(convert_dump, listed_tables_in_order_missing_ones_reported) {
  const tk_test_dir dir;
  const tk_test_dir src;
  write_goods(src / "goods.dbf");
  e2e_write_dbf(src / "other.dbf", {{"NAME", 'C', 4}}, {{false, {"x"}}});
  const std::string list = dir.write("tables.txt", "goods\nnosuch\ngoods\n");
  const dump_run run = dump(dir, src.path(), {"--tab_file=" + list});
  EXPECT_EQ(run.result.code, 0);
  EXPECT_EQ(run.result.err, "Table nosuch not exists\n");
  EXPECT_EQ(run.result.out, "Converting database " + src.path() +
                                "(3 tables)\nConverting table goods(3 records)\n"
                                "Converting table goods(3 records)\n");
  // The second table of the same name gets a generated one.
  EXPECT_NE(run.script.find("CREATE TABLE [dbo].[goods]"), std::string::npos);
  EXPECT_NE(run.script.find("CREATE TABLE [dbo].[_goods]"), std::string::npos);
  EXPECT_EQ(run.script.find("[other]"), std::string::npos);
}

TEST(convert_dump, a_failed_table_is_reported_and_the_next_converted) {
  const tk_test_dir dir;
  const tk_test_dir src;
  src.write("broken.dbf", std::string("\x03\x7c\x03\x0f\x05\x00", 6));
  write_goods(src / "goods.dbf");
  const std::string list = dir.write("tables.txt", "broken\ngoods\n");
  const dump_run run = dump(dir, src.path(), {"--tab_file=" + list});
  EXPECT_EQ(run.result.code, 0);
  EXPECT_NE(run.result.out.find("Error:\nbroken: "), std::string::npos);
  EXPECT_EQ(inserts(run.script, "goods"), 3u);

  const dump_run quiet = dump(dir, src.path(), {"--tab_file=" + list, "--silent"});
  EXPECT_EQ(quiet.result.code, 0);
  EXPECT_EQ(quiet.result.out, "");
  EXPECT_EQ(quiet.result.err, "");
  EXPECT_EQ(inserts(quiet.script, "goods"), 3u);
}

TEST(convert_dump, run_level_failures_end_with_255) {
  const tk_test_dir dir;
  const tk_test_dir src;
  write_goods(src / "goods.dbf");
  // Without a login name the run asks for integrated login, which needs a Kerberos ticket
  // that the test machine has not.
  const cli_result direct = quorvik({"--src=" + src.path(), "--dest=sales"});
  EXPECT_EQ(direct.code, 255);
  EXPECT_NE(direct.out.find("Kerberos"), std::string::npos) << direct.out;
  const cli_result quiet = quorvik({"--silent", "--src=" + src.path(), "--dest=sales"});
  EXPECT_EQ(quiet.code, 255);
  EXPECT_EQ(quiet.out + quiet.err, "");
}

TEST(convert_dump, log_file_holds_the_user_events_of_the_run) {
  const tk_test_dir dir;
  const tk_test_dir src;
  write_goods(src / "goods.dbf");
  const std::string log = dir / "run.log";
  const dump_run run = dump(dir, src.path(), {"--logfile=" + log});
  EXPECT_EQ(run.result.code, 0);
  std::vector<std::string> entries;
  const std::string text = tk_read_file(log);
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    entries.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  ASSERT_EQ(entries.size(), 5u) << text;
  EXPECT_EQ(entries[0].rfind("Conversion started on ", 0), 0u);
  EXPECT_EQ(entries[1], "Creating MS SQL dump file '" + dir / "out.sql" + "'");
  EXPECT_EQ(entries[2], "Converting database " + src.path() + " (1 tables)");
  EXPECT_EQ(entries[3], "Converting table goods (3 records)");
  EXPECT_EQ(entries[4].rfind("Conversion ended on ", 0), 0u);
}

TEST(convert_dump, profile_acts_where_it_stands) {
  const tk_test_dir dir;
  const tk_test_dir src;
  write_goods(src / "goods.dbf");
  const std::string profile = dir.write("p.talvex",
                                        "[Generic settings]\r\nbool as is=1\r\nskip deleted=1\r\n"
                                        "dest=" +
                                            dir / "from_profile.sql" + "\r\n\r\n");
  // Options before the profile are overridden by it, options after it win.
  const cli_result before = quorvik({"--src=" + src.path(), "--dump", "--log2int",
                                     "--dest=" + dir / "ignored.sql", "--profile=" + profile});
  EXPECT_EQ(before.code, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "ignored.sql"));
  const std::string from_profile = tk_read_file(dir / "from_profile.sql");
  EXPECT_NE(from_profile.find("[PAID] CHAR(1)"), std::string::npos);
  EXPECT_EQ(inserts(from_profile, "goods"), 2u);

  const cli_result after = quorvik({"--src=" + src.path(), "--dump", "--profile=" + profile,
                                    "--log2int", "--dest=" + dir / "after.sql"});
  EXPECT_EQ(after.code, 0);
  EXPECT_NE(tk_read_file(dir / "after.sql").find("[PAID] BIT"), std::string::npos);
}

}  // namespace
