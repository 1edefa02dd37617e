// Field types, flags and damaged headers as they reach the script: column types, values, and
// the rows around them left as they were.
#include <gtest/gtest.h>

#include <bit>
#include <filesystem>

#include "dbf/dbf_test_util.h"
#include "e2e/cli_run.h"
#include "e2e/e2e_script.h"
#include "tk/tk_test_dir.h"

namespace {

namespace fs = std::filesystem;

// The script of `src`, written in a folder of its own.
e2e_script dump(const std::string& src, const std::vector<std::string>& extra = {}) {
  const tk_test_dir dir;
  return e2e_dump(dir, src, extra);
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

bool has(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

// The INSERT statement whose values begin with `values`.
std::string row(const std::string& script, const std::string& values) {
  const std::size_t at = script.find("VALUES (" + values);
  if (at == std::string::npos) return "<no row with " + values + ">";
  return script.substr(at, script.find('\n', at) - at);
}

std::string shared(const std::string& folder) {
  return (fs::path(QV_TESTDATA_DIR) / folder).string();
}

#define SKIP_WITHOUT(folder) \
  if (!fs::is_directory(shared(folder))) GTEST_SKIP() << "shared tables not present: " << folder

}  // namespace

TEST(convert_fidelity, dbase7_types_in_the_script) {
  SKIP_WITHOUT("dbase7");
  const e2e_script run = dump(shared("dbase7"));
  ASSERT_EQ(run.result.code, 0) << run.result.out;
  const std::string& s = run.text;
  EXPECT_TRUE(has(s, "[Item ID] INT IDENTITY NOT NULL")) << s.substr(0, 3000);
  EXPECT_TRUE(has(s, "[Supplier ID] INT"));
  EXPECT_TRUE(has(s, "[Picture] VARBINARY(MAX)"));
  EXPECT_TRUE(has(s, "[DataNumber] FLOAT"));
  EXPECT_TRUE(has(s, "[MaxPeakNoUnit] FLOAT"));
  EXPECT_TRUE(has(s, "SET IDENTITY_INSERT [dbo].[inventory] ON"));
  EXPECT_EQ(count(s, "INSERT INTO [dbo].[inventory] ("), 12u);
  EXPECT_EQ(count(s, "INSERT INTO [dbo].[bug102] ("), 18u);
  // Identity values are kept; the picture is its memo's bytes, a GIF from its first byte on
  // (dBase's own header of the binary value is no part of it).
  EXPECT_TRUE(has(s, "1, 1, N'Dartboard', 53, 0x474946383761"));
  EXPECT_TRUE(has(s, "VALUES (10, 4, N'Tools', 0, "));
  EXPECT_TRUE(has(s, "VALUES (12, 4, N'Travel Small', 27, NULL"));
  EXPECT_TRUE(has(s, "VALUES (1.9378600000000000e+05, "));
}

TEST(convert_fidelity, visual_foxpro_nulls_and_binary_in_the_script) {
  SKIP_WITHOUT("vfp-northwind");
  const e2e_script run = dump(shared("vfp-northwind"));
  ASSERT_EQ(run.result.code, 0) << run.result.out;
  const std::string& s = run.text;
  EXPECT_FALSE(has(s, "_NullFlags"));
  // Tables and columns as the database container names them.
  EXPECT_TRUE(has(s, "[photo] VARBINARY(MAX)"));
  EXPECT_TRUE(has(s, "[picture] VARBINARY(MAX)"));
  EXPECT_TRUE(has(s, "[notes] NVARCHAR(MAX)"));
  EXPECT_TRUE(has(s, "[titleofcourtesy] NVARCHAR(25)"));
  EXPECT_EQ(count(s, "INSERT INTO [dbo].[Customers] ("), 91u);
  // ALFKI has no region: NULL, between its city and its postal code.
  EXPECT_TRUE(has(row(s, "N'ALFKI'"), "N'Berlin', NULL, N'12209'")) << row(s, "N'ALFKI'");
  EXPECT_TRUE(has(row(s, "N'BOTTM'"), "N'BC'"));
  // The photo memo flagged binary: "EmpID1.bmp" as bytes.
  EXPECT_TRUE(has(s, "0x456D70494431"));
}

TEST(convert_fidelity, level7_timestamps_and_negative_numbers) {
  const tk_test_dir src;
  constexpr double k_1970 = 62135596800000.0 + 86400000.0;
  const auto be = [](std::uint64_t v, int n) {
    std::string s(static_cast<std::size_t>(n), '\0');
    dbf_put_be(s, 0, v, n);
    return s;
  };
  const auto stamp = [&](double ms) { return be(std::bit_cast<std::uint64_t>(ms), 8); };
  const auto minus_two_and_a_half = ~std::bit_cast<std::uint64_t>(-2.5);
  tk_write_file(src / "t7.dbf",
                dbf_make_table7({{"N", 'I', 4}, {"D", 'O', 8}, {"At", '@', 8}},
                                {" " + be(0x7FFFFFFB, 4) + be(minus_two_and_a_half, 8) +
                                     stamp(k_1970 + 86400000.0 * 365 + 3600000.0),
                                 " " + be(0x80000007, 4) + std::string(16, '\0')}));
  const e2e_script run = dump(src.path());
  ASSERT_EQ(run.result.code, 0) << run.result.out;
  EXPECT_TRUE(has(run.text, "[N] INT"));
  EXPECT_TRUE(has(run.text, "[D] FLOAT"));
  EXPECT_TRUE(has(run.text, "[At] DATETIME"));
  EXPECT_TRUE(has(run.text, "VALUES (-5, -2.5000000000000000e+00, '1971-01-01T01:00:00')"))
      << run.text;
  EXPECT_TRUE(has(run.text, "VALUES (7, NULL, NULL)"));
}

TEST(convert_fidelity, numbers_that_do_not_parse_are_null) {
  const tk_test_dir src;
  const tk_test_dir logs;
  tk_write_file(src / "goods.dbf",
                dbf_make_table(0x03, {{"NAME", 'C', 2}, {"QTY", 'N', 5}, {"PRICE", 'N', 8, 2}},
                               {std::string(" a ") + "   12" + "   10.50",
                                std::string(" b ") + "*****" + "********",
                                std::string(" c ") + "  7x " + "    2.25"}));
  const e2e_script run = dump(src.path(), {"--logfile=" + logs / "run.log"});
  ASSERT_EQ(run.result.code, 0) << run.result.out;
  EXPECT_TRUE(has(run.text, "[QTY] INT"));
  EXPECT_TRUE(has(run.text, "[PRICE] NUMERIC(10,2)"));
  EXPECT_TRUE(has(run.text, "VALUES (N'a', 12, 10.5)")) << run.text;
  EXPECT_TRUE(has(run.text, "VALUES (N'b', NULL, NULL)"));
  EXPECT_TRUE(has(run.text, "VALUES (N'c', NULL, 2.25)"));
  const std::string log = tk_read_file(logs / "run.log");
  EXPECT_TRUE(has(log, "Table goods, record #2: 2 number fields hold no number and are NULL"))
      << log;
  EXPECT_TRUE(has(log, "Table goods, record #3: 1 number fields"));
}

TEST(convert_fidelity, repeated_names_are_named_apart_and_nameless_fields_fail_the_table) {
  const tk_test_dir src;
  tk_write_file(src / "twice.dbf",
                dbf_make_table(0x03, {{"NAME", 'C', 2}, {"Name", 'N', 3}}, {" ab 12", " cd  7"}));
  std::string nameless = dbf_make_table(0x03, {{"A", 'C', 1}, {"B", 'C', 1}}, {" ab"});
  nameless[64] = '\0';  // the second descriptor's name
  tk_write_file(src / "nameless.dbf", nameless);
  tk_write_file(src / "zzz.dbf", dbf_make_table(0x03, {{"A", 'C', 1}}, {" z"}));

  const e2e_script run = dump(src.path());
  EXPECT_EQ(run.result.code, 0);
  EXPECT_TRUE(
      has(run.result.out, "Error:\nnameless: Field #2 has no name: the table's header is damaged"))
      << run.result.out;
  EXPECT_FALSE(has(run.text, "[nameless]"));
  // The run went on with the next table.
  EXPECT_TRUE(has(run.text, "INSERT INTO [dbo].[zzz] ([A]) VALUES (N'z')"));

  EXPECT_TRUE(has(run.text, "\t[NAME] NVARCHAR(2) ,\r\n\t[Name00000] INT")) << run.text;
  EXPECT_TRUE(has(run.text, "([NAME], [Name00000]) VALUES (N'ab', 12)"));
  EXPECT_TRUE(has(run.text, "([NAME], [Name00000]) VALUES (N'cd', 7)"));
}

TEST(convert_fidelity, a_record_length_shorter_than_the_fields) {
  const tk_test_dir src;
  const tk_test_dir logs;
  const std::vector<dbf_test_field> fields = {{"A", 'C', 3}, {"N", 'N', 4}};
  const std::vector<std::string> records = {" abc  12", " def  34"};
  // The header says 4 bytes a record, the fields take 8: the file's size fits 8.
  tk_write_file(src / "fits.dbf", dbf_make_table(0x03, fields, records, 0, 0, 4) + "\x1A");
  // Sized for neither length.
  tk_write_file(src / "neither.dbf", dbf_make_table(0x03, fields, records, 0, 0, 4) + "\x1A\x1A");

  const e2e_script run = dump(src.path(), {"--logfile=" + logs / "run.log"});
  EXPECT_EQ(run.result.code, 0);
  EXPECT_EQ(count(run.text, "INSERT INTO [dbo].[fits] ("), 2u);
  EXPECT_TRUE(has(run.text, "VALUES (N'abc', 12)"));
  EXPECT_TRUE(has(run.text, "VALUES (N'def', 34)"));
  EXPECT_TRUE(has(run.result.out,
                  "Error:\nneither: The fields take 8 bytes of a record, more "
                  "than the record length of 4 in the header"))
      << run.result.out;
  EXPECT_EQ(count(run.text, "INSERT INTO [dbo].[neither] ("), 0u);
  EXPECT_TRUE(has(tk_read_file(logs / "run.log"),
                  "Table fits: the fields take 8 bytes of a record, more than the header's 4; "
                  "the file's size fits 8, which is used"));
}

TEST(convert_fidelity, records_past_the_header_count_are_counted_not_read) {
  const tk_test_dir src;
  const tk_test_dir logs;
  // One record counted, two more before the end-of-file mark.
  std::string past = dbf_make_table(0x03, {{"A", 'C', 2}}, {" ab", " cd", " ef"});
  dbf_put_le(past, 4, 1, 4);
  tk_write_file(src / "past.dbf", past + "\x1A");
  const e2e_script run = dump(src.path(), {"--logfile=" + logs / "run.log"});
  EXPECT_EQ(run.result.code, 0);
  EXPECT_EQ(count(run.text, "INSERT INTO [dbo].[past] ("), 1u);
  EXPECT_TRUE(has(run.text, "VALUES (N'ab')"));
  const std::string log = tk_read_file(logs / "run.log");
  EXPECT_TRUE(has(log,
                  "Converting table past (1 records; 2 more past the record count are not "
                  "read)"))
      << log;
}
