// Opening tables and decoding records, on small tables made here.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "dbf/dbf_error_sink.h"
#include "dbf/dbf_exception.h"
#include "dbf/dbf_recordset.h"
#include "dbf_test_util.h"

namespace {

std::unique_ptr<dbf_recordset> open_bytes(const dbf_temp_dir& dir, const std::string& bytes,
                                          std::uint8_t cp = 0, const std::string& name = "t.dbf") {
  tk_write_file(dir.file(name), bytes);
  return std::make_unique<dbf_recordset>(dir.wfile(name), dbf_recordset::k_mode_read, cp);
}

udb_record& only_record(dbf_recordset& rs) {
  rs.reset();
  return *rs.get_item();
}

std::string le(std::uint64_t v, int n) {
  std::string s(static_cast<std::size_t>(n), '\0');
  dbf_put_le(s, 0, v, n);
  return s;
}

std::string bad_format_message(const std::function<void()>& f) {
  try {
    f();
  } catch (const dbf_exception& e) {
    return e.message();
  }
  return "no exception";
}

}  // namespace

TEST(DbfRecordsetOpen, FileSizeLimits) {
  dbf_temp_dir dir;
  EXPECT_EQ(bad_format_message([&] { open_bytes(dir, std::string(31, '\x03')); }),
            "File does not comply with DBF format");

  std::string minimal(33, '\0');
  minimal[0] = 0x03;
  dbf_put_le(minimal, 8, 33, 2);
  dbf_put_le(minimal, 10, 2, 2);
  minimal[32] = 0x0D;
  auto rs = open_bytes(dir, minimal);
  EXPECT_EQ(rs->schema().size(), 0u);
  EXPECT_TRUE(rs->is_eof());

  const std::string exact = dbf_make_table(0x03, {{"A", 'C', 3}}, {" abc", " def"});
  EXPECT_NO_THROW(open_bytes(dir, exact));
  EXPECT_EQ(bad_format_message([&] { open_bytes(dir, exact.substr(0, exact.size() - 1)); }),
            "File does not comply with DBF format");

  std::string negative = exact;
  dbf_put_le(negative, 4, 0xFFFFFFFF, 4);
  EXPECT_EQ(bad_format_message([&] { open_bytes(dir, negative); }),
            "File does not comply with DBF format");
  // A record count near 2^31 over a small file is refused, not read.
  std::string huge = exact;
  dbf_put_le(huge, 4, 0x7FFFFFFF, 4);
  EXPECT_THROW(open_bytes(dir, huge), dbf_exception);
}

TEST(DbfRecordsetOpen, NumericLengthsDecideTheColumnType) {
  dbf_temp_dir dir;
  auto rs = open_bytes(dir, dbf_make_table(0x03,
                                           {{"A", 'N', 2},
                                            {"B", 'N', 4},
                                            {"C", 'N', 9},
                                            {"D", 'N', 10},
                                            {"E", 'N', 20},
                                            {"F", 'N', 10, 2},
                                            {"G", 'C', 0x2C, 1}},
                                           {}));
  const udb_schema& s = rs->schema();
  EXPECT_EQ(s[0].vartype, VT_I1);
  EXPECT_EQ(s[1].vartype, VT_I2);
  EXPECT_EQ(s[2].vartype, VT_I4);
  EXPECT_EQ(s[3].vartype, VT_I8);
  EXPECT_EQ(s[4].vartype, VT_R8);
  EXPECT_EQ(s[5].vartype, VT_DECIMAL);
  EXPECT_EQ(s[5].get_precision(), 12u);
  EXPECT_EQ(s[5].get_scale(), 2u);
  EXPECT_EQ(s[6].vartype, VT_BSTR);
  EXPECT_EQ(s[6].size, 300u);
}

TEST(DbfRecordsetOpen, WideCharacterFieldAndDecimalsDecode) {
  dbf_temp_dir dir;
  const std::string text = std::string(299, 'x') + "y";
  auto rs = open_bytes(dir, dbf_make_table(0x03, {{"G", 'C', 0x2C, 1}, {"N", 'N', 10, 2}},
                                           {" " + text + "    123.45"}));
  udb_record& r = only_record(*rs);
  EXPECT_EQ(dbf_utf8(r[0].text()), text);
  ASSERT_EQ(r[1].vt(), VT_DECIMAL);
  EXPECT_EQ(r[1].to_string(), "123.45");
}

TEST(DbfRecordsetOpen, DescriptorListEndsAtTerminatorOrCount) {
  dbf_temp_dir dir;
  // Room for three descriptors, two given and terminated.
  std::string padded = dbf_make_table(0x03, {{"A", 'C', 1}, {"B", 'C', 1}}, {" xy"});
  padded.insert(32 + 64 + 1, 32, '\0');
  dbf_put_le(padded, 8, 32 + 96 + 1 + 32 - 32, 2);
  auto rs = open_bytes(dir, padded);
  EXPECT_EQ(rs->schema().size(), 2u);

  // No terminator: exactly (data_offset - 32) / 32 descriptors are read.
  std::string bare = dbf_make_table(0x03, {{"A", 'C', 1}, {"B", 'C', 1}}, {" xy"});
  bare[32 + 64] = 'Z';  // the terminator's place now holds the first record byte
  dbf_put_le(bare, 8, 32 + 64, 2);
  bare.erase(32 + 64 + 1, 0);
  auto rs2 = open_bytes(dir, bare.substr(0, 32 + 64) + " xy");
  EXPECT_EQ(rs2->schema().size(), 2u);
  EXPECT_EQ(dbf_utf8(only_record(*rs2)[1].text()), "y");
}

TEST(DbfRecordsetOpen, MemoFileChosenBySignatureAndFlags) {
  dbf_temp_dir dir;
  dbf_test_sink sink;
  std::string fpt(512, '\0');
  dbf_put_be(fpt, 6, 64, 2);
  const std::string table = dbf_make_table(0x30, {{"M", 'M', 4}}, {}, 0x06);
  tk_write_file(dir.file("dbc.DCT"), fpt);
  auto with_dct = open_bytes(dir, table, 0, "dbc.dbf");
  EXPECT_NE(with_dct->memo_file(), nullptr);
  EXPECT_EQ(with_dct->get_memo_type(), dbf_memo_type::memo_vfp_dbc);

  auto without_fpt = open_bytes(dir, dbf_make_table(0x30, {{"M", 'M', 4}}, {}, 0x02), 0, "v.dbf");
  EXPECT_EQ(without_fpt->memo_file(), nullptr);
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "Memo file not found");

  // Neither a memo flag nor a memo field: no memo file looked for.
  auto plain_vfp = open_bytes(dir, dbf_make_table(0x30, {{"C", 'C', 1}}, {}, 0x00), 0, "c.dbf");
  EXPECT_EQ(plain_vfp->memo_file(), nullptr);
  EXPECT_EQ(sink.messages.size(), 1u);
}

// Several writers leave the memo flag clear, or write a signature without memo, for tables
// with memo fields: the memo file beside such a table is read all the same.
TEST(DbfRecordsetOpen, MemoFileFoundByTheFields) {
  dbf_temp_dir dir;
  dbf_test_sink sink;
  std::string fpt(512 + 8 + 5, '\0');
  dbf_put_be(fpt, 6, 64, 2);
  dbf_put_be(fpt, 516, 5, 4);
  fpt.replace(520, 5, "hello");
  tk_write_file(dir.file("v.fpt"), fpt);
  for (const char letter : {'M', 'G', 'P', 'W'}) {
    SCOPED_TRACE(letter);
    auto vfp = open_bytes(
        dir, dbf_make_table(0x30, {{"M", letter, 4}}, {std::string(" \x08\0\0\0", 5)}, 0x00), 0,
        "v.dbf");
    EXPECT_EQ(vfp->get_memo_type(), dbf_memo_type::memo_none);
    EXPECT_EQ(vfp->memo_type_in_use(), dbf_memo_type::memo_vfp);
    ASSERT_NE(vfp->memo_file(), nullptr);
  }
  auto vfp =
      open_bytes(dir, dbf_make_table(0x30, {{"M", 'M', 4}}, {std::string(" \x08\0\0\0", 5)}, 0x00),
                 0, "v.dbf");
  EXPECT_EQ(dbf_utf8(only_record(*vfp)[0].text()), "hello");

  // A dBase III table without the memo signature takes its .dbt as a dBase III memo file.
  std::string dbt(1024 + 6, '\0');
  dbf_put_le(dbt, 0, 3, 4);
  dbt.replace(1024, 6, "memo\x1A\x1A");
  tk_write_file(dir.file("p.dbt"), dbt);
  auto plain = open_bytes(dir, dbf_make_table(0x03, {{"M", 'M', 10}}, {"          2"}), 0, "p.dbf");
  EXPECT_EQ(plain->memo_type_in_use(), dbf_memo_type::memo_old);
  EXPECT_EQ(dbf_utf8(only_record(*plain)[0].text()), "memo");
  EXPECT_TRUE(sink.messages.empty());

  // Without the memo file the fields read empty, reported as a missing memo file.
  auto lost = open_bytes(
      dir, dbf_make_table(0x30, {{"M", 'M', 4}}, {std::string(" \x08\0\0\0", 5)}), 0, "lost.dbf");
  EXPECT_EQ(lost->memo_file(), nullptr);
  EXPECT_TRUE(only_record(*lost)[0].is_empty());
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Memo file not found"});
}

TEST(DbfRecordsetOpen, CodePageMarks) {
  dbf_temp_dir dir;
  const std::string table = dbf_make_table(0x03, {{"C", 'C', 2}}, {" \x8F\xE0"}, 0, 0x65);
  auto dos = open_bytes(dir, table);
  EXPECT_EQ(dos->get_codepage(), 866);
  EXPECT_EQ(dbf_utf8(only_record(*dos)[0].text()), "Пр");
  auto user = open_bytes(dir, table, 0x03);
  EXPECT_EQ(user->get_codepage(), 1252);
  EXPECT_EQ(dbf_utf8(only_record(*user)[0].text()), "\u008Fà");
  auto unknown = open_bytes(dir, table, 0x55);
  EXPECT_EQ(unknown->get_codepage(), 0);
  EXPECT_EQ(dbf_utf8(only_record(*unknown)[0].text()), "\u008Fà");
}

TEST(DbfRecordDecode, TextLogicalAndNumbers) {
  dbf_temp_dir dir;
  auto rs = open_bytes(
      dir, dbf_make_table(0x03,
                          {{"L", 'L', 1},
                           {"C1", 'C', 4},
                           {"C2", 'C', 7},
                           {"N1", 'N', 5},
                           {"N2", 'N', 5},
                           {"N3", 'N', 5},
                           {"D1", 'D', 8},
                           {"D2", 'D', 8},
                           {"D3", 'D', 8}},
                          {std::string("*") + "?" + "    " + "  abc  " + "  -12" + "*****" +
                               "     " + "00000000" + "20170612" + "        ",
                           std::string(" ") + "T" + std::string(" ab\0", 4) + "abc    " + "1    " +
                               "    2" + "x    " + "20170612" + "20170612" + "xxxxxxxx"}));
  rs->reset();
  auto* r = static_cast<dbf_record*>(rs->get_item());
  EXPECT_TRUE(r->is_deleted());
  EXPECT_EQ((*r)[0].vt(), VT_BOOL);
  EXPECT_FALSE((*r)[0].to_bool());
  ASSERT_EQ((*r)[1].vt(), VT_BSTR);
  EXPECT_TRUE((*r)[1].text().empty());
  EXPECT_EQ(dbf_utf8((*r)[2].text()), "  abc");
  EXPECT_EQ((*r)[3].vt(), VT_I4);
  EXPECT_EQ((*r)[3].to_long(), -12);
  EXPECT_TRUE((*r)[4].is_empty());  // asterisks: the value did not fit, there is none
  EXPECT_TRUE((*r)[5].is_empty());
  // The value layer holds that 0000-00-00 is no date: such a field reads as empty.
  EXPECT_TRUE((*r)[6].is_empty());
  ASSERT_EQ((*r)[7].vt(), VT_DATE);
  EXPECT_EQ((*r)[7].systemtime().year, 2017);
  EXPECT_EQ((*r)[7].systemtime().month, 6);
  EXPECT_EQ((*r)[7].systemtime().day, 12);
  EXPECT_TRUE((*r)[8].is_empty());

  rs->next();
  r = static_cast<dbf_record*>(rs->get_item());
  EXPECT_FALSE(r->is_deleted());
  EXPECT_TRUE((*r)[0].to_bool());
  EXPECT_EQ(dbf_utf8((*r)[1].text()), " ab");  // a NUL ends the text
  EXPECT_EQ((*r)[3].to_long(), 1);
  EXPECT_EQ((*r)[4].to_long(), 2);
  EXPECT_TRUE((*r)[5].is_empty());  // "x" holds no number
}

TEST(DbfRecordDecode, BinaryFieldsAndDateTimes) {
  dbf_temp_dir dir;
  const auto rec = [](std::int32_t day, std::int32_t ms) {
    std::string r = " " + le(static_cast<std::uint32_t>(-7), 4) + le(1234567, 8);
    double d = 2.5;
    std::string db(8, '\0');
    std::memcpy(db.data(), &d, 8);
    return r + db + le(static_cast<std::uint32_t>(day), 4) + le(static_cast<std::uint32_t>(ms), 4) +
           std::string(10, 'g');
  };
  auto rs = open_bytes(
      dir, dbf_make_table(
               0x30, {{"I", 'I', 4}, {"Y", 'Y', 8}, {"B", 'B', 8}, {"T", 'T', 8}, {"G", 'G', 10}},
               {rec(2457917, 43200000), rec(2457917, 999), rec(0, 0), rec(2457917, 86400000 - 1)}));
  rs->reset();
  udb_record* r = rs->get_item();
  EXPECT_EQ((*r)[0].to_long(), -7);
  EXPECT_EQ((*r)[1].cy().int64, 1234567);
  EXPECT_DOUBLE_EQ((*r)[2].to_double(), 2.5);
  ASSERT_EQ((*r)[3].vt(), VT_DATE);
  EXPECT_EQ((*r)[3].to_string(), "2017-06-12 12:00:00");
  EXPECT_TRUE((*r)[4].is_empty());
  rs->next();
  r = rs->get_item();
  EXPECT_EQ((*r)[3].systemtime().second, 1);
  rs->next();
  EXPECT_TRUE((*rs->get_item())[3].is_empty());
  rs->next();
  EXPECT_EQ((*rs->get_item())[3].to_string(), "2017-06-13");
}

TEST(DbfRecordDecode, HostileDescriptorsNeverReadPastTheRecord) {
  dbf_temp_dir dir;
  // Binary fields narrower than their values, in a record that holds them.
  std::string t = dbf_make_table(0x30, {{"A", 'C', 3}, {"I", 'I', 2}, {"B", 'B', 3}},
                                 {" abc12" + std::string("xyz")});
  auto rs = open_bytes(dir, t);
  udb_record& r = only_record(*rs);
  EXPECT_EQ(dbf_utf8(r[0].text()), "abc");
  EXPECT_TRUE(r[1].is_empty());
  EXPECT_TRUE(r[2].is_empty());
  // Widths adding up past the record (an N of 200) in a file sized for the header's length.
  t = dbf_make_table(0x30, {{"A", 'C', 3}, {"N", 'N', 200}}, {" abc12"}, 0, 0, 6);
  EXPECT_THROW(open_bytes(dir, t), dbf_exception);
}

TEST(DbfRecordDecode, ReadAheadGivesEachRecordAtItsPosition) {
  dbf_temp_dir dir;
  std::vector<std::string> records;
  for (int i = 0; i < 20000; ++i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, " %8d", i);
    records.emplace_back(buf);
  }
  auto rs = open_bytes(dir, dbf_make_table(0x03, {{"N", 'N', 8}}, records));
  std::int64_t expected = 0;
  for (rs->reset(); !rs->is_eof(); rs->next()) {
    ASSERT_EQ((*rs->get_item())[0].to_i8(), expected++);
  }
  EXPECT_EQ(expected, 20000);
  rs->set_position(7);
  EXPECT_EQ((*rs->get_item())[0].to_i8(), 7);
  rs->set_position(19999);
  EXPECT_EQ((*rs->get_item())[0].to_i8(), 19999);
  rs->prev();
  EXPECT_EQ((*rs->get_item())[0].to_i8(), 19998);
}
