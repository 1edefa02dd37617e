// How a table's text reaches the script: the code page of its mark (double-byte ones too),
// UTF-8 found in tables marked with the default code page, .cpg files and --encoding=.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/e2e_dbf.h"
#include "e2e/e2e_script.h"

namespace {

void write_names(const tk_test_dir& src, const std::string& file, std::uint8_t mark,
                 const std::vector<std::string>& names) {
  std::vector<e2e_row> rows;
  for (std::size_t i = 0; i < names.size(); ++i) {
    rows.push_back({false, {names[i], std::to_string(i + 1)}});
  }
  e2e_write_dbf(src / file, {{"NAME", 'C', 8}, {"NO", 'N', 3}}, rows, mark);
}

}  // namespace

TEST(convert_text_encoding, marks_name_double_byte_and_current_ansi_code_pages) {
  const tk_test_dir dir;
  const tk_test_dir src;
  write_names(src, "gbk.dbf", 0x4D, {"\xD6\xD0\xCE\xC4", "plain"});
  write_names(src, "sjis.dbf", 0x7B, {"\x93\xFA\x96\x7B"});
  write_names(src, "hebrew.dbf", 0x7D, {"\xE0\xE1"});
  // 0x57 is the writer's current ANSI code page: Windows-1252 here, not Cyrillic.
  write_names(src, "gis.dbf", 0x57, {"\xC0\xE9"});
  const e2e_script run = e2e_dump(dir, src.path());
  ASSERT_EQ(run.result.code, 0) << run.result.out << run.result.err;
  EXPECT_EQ(run.rows("gbk"), (std::vector<std::string>{"N'中文', 1", "N'plain', 2"}));
  EXPECT_EQ(run.rows("sjis"), std::vector<std::string>{"N'日本', 1"});
  EXPECT_EQ(run.rows("hebrew"), std::vector<std::string>{"N'אב', 1"});
  EXPECT_EQ(run.rows("gis"), std::vector<std::string>{"N'Àé', 1"});
  for (const std::string& table : run.tables()) {
    EXPECT_EQ(run.column_type(table, "NAME"), "NVARCHAR(8)") << table;
    EXPECT_EQ(run.column_type(table, "NO"), "INT") << table;
  }
}

TEST(convert_text_encoding, utf8_found_in_default_mark_tables_and_named_by_cpg_files) {
  const tk_test_dir dir;
  const tk_test_dir src;
  write_names(src, "utf8.dbf", 0x00, {"plain", "Cr\xC3\xA8me", "\xE2\x82\xAC 5"});
  // One byte that is no UTF-8 keeps Windows-1252 for the whole table.
  write_names(src, "mixed.dbf", 0x00, {"Cr\xC3\xA8me", "\xE9t\xE9"});
  // A .cpg file wins over the mark.
  write_names(src, "named.dbf", 0x03, {"Cr\xC3\xA8me"});
  tk_write_file(src / "named.cpg", "UTF-8\r\n");
  write_names(src, "russian.dbf", 0x00, {"\xCF\xF0\xE8"});
  tk_write_file(src / "RUSSIAN.CPG", "ANSI 1251");
  const e2e_script run = e2e_dump(dir, src.path());
  ASSERT_EQ(run.result.code, 0) << run.result.out << run.result.err;
  EXPECT_EQ(run.rows("utf8"),
            (std::vector<std::string>{"N'plain', 1", "N'Crème', 2", "N'€ 5', 3"}));
  EXPECT_EQ(run.rows("mixed"), (std::vector<std::string>{"N'CrÃ¨me', 1", "N'été', 2"}));
  EXPECT_EQ(run.rows("named"), std::vector<std::string>{"N'Crème', 1"});
  EXPECT_EQ(run.rows("russian"), std::vector<std::string>{"N'При', 1"});
  EXPECT_EQ(run.column_type("utf8", "NAME"), "NVARCHAR(8)");
}

TEST(convert_text_encoding, encoding_option_takes_utf8_and_the_new_marks) {
  const tk_test_dir dir;
  const tk_test_dir src;
  write_names(src, "mixed.dbf", 0x00, {"Cr\xC3\xA8me", "\xE9t\xE9"});
  write_names(src, "named.dbf", 0x03, {"\xD6\xD0"});
  // The option wins over .cpg files too.
  tk_write_file(src / "named.cpg", "1252");
  for (const std::string choice : {"utf-8", "65001"}) {
    const e2e_script run = e2e_dump(dir, src.path(), {"--encoding=" + choice});
    ASSERT_EQ(run.result.code, 0) << choice << run.result.err;
    // Bytes that are no UTF-8 become replacement characters, and nothing fails.
    EXPECT_EQ(run.rows("mixed"), (std::vector<std::string>{"N'Crème', 1", "N'\uFFFDt\uFFFD', 2"}))
        << choice;
  }
  const e2e_script gbk = e2e_dump(dir, src.path(), {"--encoding=122"});  // 0x7A
  ASSERT_EQ(gbk.result.code, 0) << gbk.result.err;
  EXPECT_EQ(gbk.rows("named"), std::vector<std::string>{"N'中', 1"});
  EXPECT_EQ(gbk.column_type("named", "NAME"), "NVARCHAR(8)");
}
