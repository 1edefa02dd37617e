// Which files feed a table in a script: tables whose names differ only in case, and memo files
// a table's fields call for although its header names none.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbf/dbf_test_util.h"
#include "e2e/cli_run.h"
#include "e2e/e2e_script.h"

namespace {

// A Visual FoxPro table of NAME C(6) and NOTE M(4) with the given table flags, and its .fpt
// file holding one memo per row (a row whose memo is empty refers to no block).
void write_vfp(const tk_test_dir& dir, const std::string& file, const std::string& memo_file,
               const std::vector<std::pair<std::string, std::string>>& rows, std::uint8_t flags) {
  constexpr std::uint32_t block_size = 64;
  std::string fpt(512, '\0');
  dbf_put_be(fpt, 6, block_size, 2);
  std::vector<std::string> records;
  for (const auto& [name, memo] : rows) {
    std::uint32_t block = 0;
    if (!memo.empty()) {
      block = static_cast<std::uint32_t>(fpt.size() / block_size);
      std::string entry(8, '\0');
      dbf_put_be(entry, 0, 1, 4);
      dbf_put_be(entry, 4, memo.size(), 4);
      entry += memo;
      entry.resize((entry.size() + block_size - 1) / block_size * block_size, '\0');
      fpt += entry;
    }
    std::string record = " " + name;
    record.resize(7, ' ');
    std::string ref(4, '\0');
    dbf_put_le(ref, 0, block, 4);
    records.push_back(record + ref);
  }
  dbf_put_be(fpt, 0, fpt.size() / block_size, 4);
  tk_write_file(dir / file,
                dbf_make_table(0x30, {{"NAME", 'C', 6}, {"NOTE", 'M', 4}}, records, flags, 0x03));
  if (!memo_file.empty()) tk_write_file(dir / memo_file, fpt);
}

}  // namespace

TEST(convert_source_files, tables_differing_only_in_case_keep_their_own_rows_and_memos) {
  const tk_test_dir dir;
  const tk_test_dir src;
  write_vfp(src, "sales.dbf", "sales.fpt", {{"apple", "red"}, {"pear", "green"}}, 0x02);
  write_vfp(src, "SALES.DBF", "SALES.FPT", {{"PLUM", "BLUE"}}, 0x02);
  const e2e_script run = e2e_dump(dir, src.path());
  ASSERT_EQ(run.result.code, 0) << run.result.err;
  EXPECT_EQ(run.result.err, "");
  // Table names on the server ignore case: the second table listed gets a generated one.
  EXPECT_EQ(run.tables(), (std::vector<std::string>{"SALES", "_sales"}));
  // Rows appear once each, in their own table.
  EXPECT_EQ(run.rows("_sales"),
            (std::vector<std::string>{"N'apple', N'red'", "N'pear', N'green'"}));
  EXPECT_EQ(run.rows("SALES"), std::vector<std::string>{"N'PLUM', N'BLUE'"});
  for (const std::string& table : run.tables()) {
    EXPECT_EQ(run.column_type(table, "NAME"), "NVARCHAR(6)");
    EXPECT_EQ(run.column_type(table, "NOTE"), "NVARCHAR(MAX)");
  }
}

TEST(convert_source_files, memo_file_beside_a_table_whose_header_names_none_is_read) {
  const tk_test_dir dir;
  const tk_test_dir src;
  write_vfp(src, "notes.dbf", "notes.fpt", {{"one", "first memo"}, {"two", ""}, {"three", "3rd"}},
            0x00);
  write_vfp(src, "lost.dbf", "", {{"gone", "never written"}}, 0x00);
  const e2e_script run = e2e_dump(dir, src.path());
  EXPECT_EQ(run.rows("notes"), (std::vector<std::string>{"N'one', N'first memo'", "N'two', NULL",
                                                         "N'three', N'3rd'"}));
  EXPECT_EQ(run.column_type("notes", "NOTE"), "NVARCHAR(MAX)");
  // Without the memo file the table still converts, its memos empty, and the run says so.
  EXPECT_EQ(run.rows("lost"), std::vector<std::string>{"N'gone', NULL"});
  EXPECT_NE(run.result.out.find("lost.dbf: Memo file not found"), std::string::npos)
      << run.result.out;
  EXPECT_EQ(run.result.code, 0);
}
