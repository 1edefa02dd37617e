// Tables whose contents or headers are not what their format promises: numbers that are no
// numbers, names that cannot name columns, records that do not fit their length, records past
// the header's count. Each is read as far as it soundly can be, or refused with a message.
#include <gtest/gtest.h>

#include <memory>

#include "dbf/dbf_exception.h"
#include "dbf/dbf_recordset.h"
#include "dbf_test_util.h"
#include "tk/tk_log.h"

namespace {

std::unique_ptr<dbf_recordset> open_bytes(const dbf_temp_dir& dir, const std::string& bytes,
                                          const std::string& name = "t.dbf") {
  tk_write_file(dir.file(name), bytes);
  return std::make_unique<dbf_recordset>(dir.wfile(name), dbf_recordset::k_mode_read, 0);
}

udb_record& record_at(dbf_recordset& rs, std::int64_t position) {
  rs.set_position(position);
  return *rs.get_item();
}

std::string open_error(const dbf_temp_dir& dir, const std::string& bytes) {
  try {
    open_bytes(dir, bytes);
  } catch (const dbf_exception& e) {
    return e.message();
  }
  return "no exception";
}

// The level-3 trace of what `action` does.
std::string trace_of(const dbf_temp_dir& dir, const std::function<void()>& action) {
  const std::string path = dir.file("trace.log");
  {
    tk_logger logger(path, true, 3, false);
    action();
  }
  return tk_read_file(path);
}

}  // namespace

TEST(DbfDamaged, NumbersThatDoNotParseAreNull) {
  dbf_temp_dir dir;
  const std::string table =
      dbf_make_table(0x03, {{"I", 'N', 5}, {"D", 'N', 8, 2}, {"F", 'F', 6, 1}, {"C", 'C', 2}},
                     {std::string(" ") + "  -12" + "  123.45" + "   1.5" + "ok",
                      std::string(" ") + "*****" + "********" + "   2e3" + "ok",
                      std::string(" ") + "  12a" + "    1,50" + "  ****" + "ok",
                      std::string(" ") + "     " + "        " + "     -" + "ok"});
  auto rs = open_bytes(dir, table);
  std::string trace = trace_of(dir, [&] {
    udb_record& good = record_at(*rs, 0);
    EXPECT_EQ(good[0].i4(), -12);
    EXPECT_EQ(good[1].to_string(), "123.45");
    EXPECT_EQ(good[2].to_string(), "1.5");
    EXPECT_EQ(good[3].text(), u"ok");

    udb_record& stars = record_at(*rs, 1);
    EXPECT_TRUE(stars[0].is_empty());
    EXPECT_TRUE(stars[1].is_empty());
    EXPECT_EQ(stars[2].to_string(), "2000");
    EXPECT_EQ(stars[3].text(), u"ok");

    udb_record& text = record_at(*rs, 2);
    EXPECT_TRUE(text[0].is_empty());
    EXPECT_EQ(text[1].to_string(), "1.5");  // a comma as the decimal point is still a number
    EXPECT_TRUE(text[2].is_empty());

    udb_record& blank = record_at(*rs, 3);
    EXPECT_TRUE(blank[0].is_empty());  // blank: no value, and nothing wrong with it
    EXPECT_TRUE(blank[1].is_empty());
    EXPECT_TRUE(blank[2].is_empty());
  });
  EXPECT_NE(trace.find("Table t, record #2: 2 number fields hold no number and are NULL"),
            std::string::npos)
      << trace;
  EXPECT_NE(trace.find("Table t, record #3: 2 number fields"), std::string::npos);
  EXPECT_NE(trace.find("Table t, record #4: 1 number fields"), std::string::npos);
  EXPECT_EQ(trace.find("record #1:"), std::string::npos);
}

TEST(DbfDamaged, RepeatedFieldNamesAreNamedApart) {
  dbf_temp_dir dir;
  const std::string table = dbf_make_table(
      0x03, {{"NAME", 'C', 2}, {"name", 'N', 3}, {"NAME00000", 'C', 1}, {"X", 'C', 1}},
      {" ab 12cx"});
  auto rs = open_bytes(dir, table);
  const udb_schema& schema = rs->schema();
  ASSERT_EQ(schema.size(), 4u);
  EXPECT_EQ(schema[0].name, u"NAME");
  // Distinct from every field's name, the third's included.
  EXPECT_EQ(schema[1].name, u"name00001");
  EXPECT_EQ(schema[2].name, u"NAME00000");
  udb_record& r = record_at(*rs, 0);
  EXPECT_EQ(r[0].text(), u"ab");
  EXPECT_EQ(r[1].to_long(), 12);
  EXPECT_EQ(r[1].name, u"name00001");
  EXPECT_EQ(r[2].text(), u"c");
  EXPECT_EQ(r[3].text(), u"x");
}

TEST(DbfDamaged, NamesThatAreNoTextFailTheTable) {
  dbf_temp_dir dir;
  std::string empty = dbf_make_table(0x03, {{"A", 'C', 1}, {"B", 'C', 1}}, {" ab"});
  empty[64] = '\0';  // the second descriptor's name
  EXPECT_EQ(open_error(dir, empty), "Field #2 has no name: the table's header is damaged");
  std::string control = dbf_make_table(0x03, {{"A", 'C', 1}, {"B", 'C', 1}}, {" ab"});
  control[33] = '\x01';
  EXPECT_EQ(open_error(dir, control),
            "Field #1 has a name that is not text: the table's header is damaged");
}

TEST(DbfDamaged, RecordLengthShorterThanTheFields) {
  dbf_temp_dir dir;
  // The header says 4 bytes; the fields take 1 + 3 + 4.
  const std::vector<dbf_test_field> fields = {{"A", 'C', 3}, {"N", 'N', 4}};
  const std::vector<std::string> records = {" abc  12", " def  34", " ghi  56"};
  const std::string fits = dbf_make_table(0x03, fields, records, 0, 0, 4) + "\x1A";
  std::unique_ptr<dbf_recordset> rs;
  const std::string trace = trace_of(dir, [&] { rs = open_bytes(dir, fits); });
  EXPECT_NE(trace.find("Table t: the fields take 8 bytes of a record, more than the header's 4; "
                       "the file's size fits 8, which is used"),
            std::string::npos)
      << trace;
  EXPECT_EQ(rs->header().rec_size, 8u);
  EXPECT_EQ(record_at(*rs, 2)[0].text(), u"ghi");
  EXPECT_EQ(record_at(*rs, 2)[1].to_long(), 56);
  EXPECT_EQ(record_at(*rs, 1)[1].to_long(), 34);

  // Sized for neither length: nothing sound to read.
  const std::string neither = dbf_make_table(0x03, fields, records, 0, 0, 4) + "\x1A\x1A\x1A";
  EXPECT_EQ(open_error(dir, neither),
            "The fields take 8 bytes of a record, more than the record length of 4 in the header");
}

TEST(DbfDamaged, RecordsPastTheHeaderCountAreCountedNotRead) {
  dbf_temp_dir dir;
  std::string table = dbf_make_table(0x03, {{"A", 'C', 2}}, {" ab", " cd", "*ef", " gh"});
  dbf_put_le(table, 4, 1, 4);  // the header counts one record
  auto rs = open_bytes(dir, table + "\x1A" + " ij");
  EXPECT_EQ(rs->record_count(), 1);
  EXPECT_EQ(rs->records_past_count(), 3);
  EXPECT_EQ(record_at(*rs, 0)[0].text(), u"ab");
  rs->next();
  EXPECT_TRUE(rs->is_eof());
  // Without an end-of-file mark the count runs to the last whole record.
  EXPECT_EQ(open_bytes(dir, table + "x")->records_past_count(), 3);
  dbf_put_le(table, 4, 4, 4);
  EXPECT_EQ(open_bytes(dir, table + "\x1A")->records_past_count(), 0);
}

// Tables whose signature byte says dBase III while their contents are FoxPro's: a memo file
// that is an .fpt, a null flags field. Both are read as what they are.
TEST(DbfDamaged, DBaseThreeSignatureOverFoxProContents) {
  dbf_temp_dir dir;
  std::string fpt(512 + 64, '\0');
  dbf_put_be(fpt, 6, 64, 2);
  dbf_put_be(fpt, 512, 1, 4);  // block 8: text
  dbf_put_be(fpt, 516, 5, 4);
  fpt.replace(520, 5, "hello");
  tk_write_file(dir.file("m.fpt"), fpt);
  std::unique_ptr<dbf_recordset> memo;
  const std::string trace = trace_of(dir, [&] {
    memo = open_bytes(dir, dbf_make_table(0x03, {{"NOTE", 'M', 10}}, {"          8"}), "m.dbf");
  });
  EXPECT_NE(trace.find("its memo file is FoxPro's"), std::string::npos) << trace;
  EXPECT_EQ(record_at(*memo, 0)[0].text(), u"hello");

  const auto table = open_bytes(
      dir,
      dbf_make_table(0x03, {{"N", 'N', 3, 0, 0x02}, {"C", 'C', 2}, {"_NullFlags", '0', 1, 0, 0x05}},
                     {std::string("   1ab\0", 7), std::string("   2cd\x01", 7)}));
  ASSERT_EQ(table->schema().size(), 2u);  // the flags are no column
  EXPECT_EQ(record_at(*table, 0)[0].to_string(), "1");
  EXPECT_TRUE(record_at(*table, 1)[0].is_null());
  EXPECT_EQ(record_at(*table, 1)[1].text(), u"cd");
}
