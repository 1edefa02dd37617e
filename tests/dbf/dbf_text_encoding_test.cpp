// Which code page decodes a table's text: the marks of the header, double-byte code pages and
// the user's choice.
#include <gtest/gtest.h>

#include <memory>

#include "dbf/dbf_codepage_table.h"
#include "dbf/dbf_recordset.h"
#include "dbf_test_util.h"

namespace {

// A table of one text field NAME, C(width), marked with `mark`, one record per value.
std::string text_table(std::uint8_t mark, const std::vector<std::string>& values, int width = 8,
                       const std::string& field = "NAME") {
  std::vector<std::string> records;
  for (std::string v : values) {
    v.resize(static_cast<std::size_t>(width), ' ');
    records.push_back(" " + v);
  }
  return dbf_make_table(0x03, {{field, 'C', width}}, records, 0, mark);
}

struct opened {
  std::unique_ptr<dbf_recordset> rs;
  std::vector<std::string> values;  // every record's first field, as UTF-8
  std::string name;                 // the first column's name, as UTF-8
};

opened open(const dbf_temp_dir& dir, const std::string& bytes, int choice = 0,
            const std::string& file = "t.dbf") {
  tk_write_file(dir.file(file), bytes);
  opened o;
  o.rs = std::make_unique<dbf_recordset>(dir.wfile(file), dbf_recordset::k_mode_read, choice);
  for (o.rs->reset(); !o.rs->is_eof(); o.rs->next()) {
    o.values.push_back(dbf_utf8((*o.rs->get_item())[0].text()));
  }
  o.name = dbf_utf8(o.rs->schema()[0].name);
  return o;
}

}  // namespace

TEST(DbfTextEncoding, MarksOfEveryLanguageDriverDecode) {
  dbf_temp_dir dir;
  struct sample {
    std::uint8_t mark;
    int code_page;
    std::string bytes;
    std::string text;
  };
  const sample samples[] = {
      {0x4D, 936, "\xD6\xD0\xCE\xC4", "中文"}, {0x7A, 936, "\xD6\xD0\xCE\xC4", "中文"},
      {0x4E, 949, "\xC7\xD1\xB1\xDB", "한글"}, {0x79, 949, "\xC7\xD1\xB1\xDB", "한글"},
      {0x4F, 950, "\xA4\xA4\xA4\xE5", "中文"}, {0x78, 950, "\xA4\xA4\xA4\xE5", "中文"},
      {0x7B, 932, "\x93\xFA\x96\x7B", "日本"}, {0x13, 932, "\x93\xFA\x96\x7B", "日本"},
      {0x50, 874, "\xA1\xA2", "กข"},           {0x7C, 874, "\xA1\xA2", "กข"},
      {0x7D, 1255, "\xE0\xE1", "אב"},          {0x7E, 1256, "\xC7\xC8", "اب"},
      {0x1B, 437, "\x82\x9C", "é£"},           {0x59, 1252, "\xF1\xE9", "ñé"},
      {0xCC, 1257, "\xE0\xF0", "ąš"},          {0x57, 0, "\xC0\xE9", "Àé"},
  };
  for (const sample& s : samples) {
    SCOPED_TRACE(static_cast<int>(s.mark));
    EXPECT_TRUE(dbf_is_encoding_choice(s.mark));
    const opened o = open(dir, text_table(s.mark, {s.bytes, "plain"}));
    EXPECT_EQ(o.rs->get_codepage(), s.code_page);
    EXPECT_EQ(o.values, (std::vector<std::string>{s.text, "plain"}));
  }
  // A double-byte character cut by the end of its field, or a lead byte without its second
  // byte, never fails the record.
  const opened cut = open(dir, text_table(0x4D, {"ab\xD6\xD0\xCE"}, 5));
  EXPECT_EQ(cut.values, std::vector<std::string>{"ab中\uFFFD"});
  // The user's choice of a double-byte mark, and of UTF-8, replaces the header's.
  const std::string gbk = text_table(0x03, {"\xD6\xD0"});
  EXPECT_EQ(open(dir, gbk, 0x7A).values, std::vector<std::string>{"中"});
  EXPECT_EQ(open(dir, text_table(0x03, {"\xC3\xA9"}), dbf_choice_utf8).values,
            std::vector<std::string>{"é"});
  EXPECT_FALSE(dbf_is_encoding_choice(0x05));
  EXPECT_FALSE(dbf_is_encoding_choice(65000));
}
