// Which code page decodes a table's text: the marks of the header, double-byte code pages, the
// UTF-8 check of tables marked with the default code page, .cpg files and the user's choice.
#include <gtest/gtest.h>

#include <memory>

#include "dbf/dbf_codepage_table.h"
#include "dbf/dbf_cpg_file.h"
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

// Tables marked with the default code page are read as UTF-8 when every name and text is valid
// UTF-8 and some of it is not plain ASCII; one invalid sequence keeps Windows-1252 for all.
TEST(DbfTextEncoding, DefaultMarkTablesHoldingUtf8AreReadAsUtf8) {
  dbf_temp_dir dir;
  const opened utf8 = open(dir, text_table(0x00, {"plain", "Cr\xC3\xA8me", "\xE2\x82\xAC 5"}));
  EXPECT_EQ(utf8.rs->get_codepage(), 65001);
  EXPECT_EQ(utf8.values, (std::vector<std::string>{"plain", "Crème", "€ 5"}));

  const opened one_bad = open(dir, text_table(0x00, {"Cr\xC3\xA8me", "\xE9t\xE9", "plain"}));
  EXPECT_EQ(one_bad.rs->get_codepage(), 0);
  EXPECT_EQ(one_bad.values, (std::vector<std::string>{"CrÃ¨me", "été", "plain"}));

  // A sequence cut by the end of its field is invalid too.
  const opened cut = open(dir, text_table(0x00, {"ab\xC3\xA8", "abc\xC3"}, 4));
  EXPECT_EQ(cut.rs->get_codepage(), 0);
  EXPECT_EQ(cut.values, (std::vector<std::string>{"abÃ¨", "abcÃ"}));

  const opened ascii = open(dir, text_table(0x00, {"plain"}));
  EXPECT_EQ(ascii.rs->get_codepage(), 0);

  // Names count like text; a name in another code page keeps Windows-1252.
  const opened by_name = open(dir, text_table(0x00, {"plain"}, 8, "\xC3\x84R"));
  EXPECT_EQ(by_name.rs->get_codepage(), 65001);
  EXPECT_EQ(by_name.name, "ÄR");
  EXPECT_EQ(open(dir, text_table(0x00, {"Cr\xC3\xA8me"}, 8, "\xC4R")).rs->get_codepage(), 0);

  // Mark 0x57 and marks missing from the table decode like mark 0; a mark naming a code page
  // is never second-guessed.
  EXPECT_EQ(open(dir, text_table(0x57, {"Cr\xC3\xA8me"})).rs->get_codepage(), 65001);
  EXPECT_EQ(open(dir, text_table(0xF0, {"Cr\xC3\xA8me"})).rs->get_codepage(), 65001);
  const opened marked = open(dir, text_table(0x03, {"Cr\xC3\xA8me"}));
  EXPECT_EQ(marked.rs->get_codepage(), 1252);
  EXPECT_EQ(marked.values, std::vector<std::string>{"CrÃ¨me"});
}

TEST(DbfTextEncoding, MemoTextTakesPartInTheUtf8Check) {
  dbf_temp_dir dir;
  const auto table = [&](const std::string& memo) {
    std::string fpt(512 + 8 + memo.size(), '\0');
    dbf_put_be(fpt, 6, 64, 2);
    dbf_put_be(fpt, 516, memo.size(), 4);
    fpt.replace(520, memo.size(), memo);
    tk_write_file(dir.file("m.fpt"), fpt);
    return dbf_make_table(0x30, {{"NOTE", 'M', 4}, {"NAME", 'C', 6}},
                          {std::string(" \x08\0\0\0", 5) + "caf\xC3\xA9 "}, 0x02);
  };
  const opened good = open(dir, table("d\xC3\xA9j\xC3\xA0"), 0, "m.dbf");
  EXPECT_EQ(good.rs->get_codepage(), 65001);
  EXPECT_EQ(good.values, std::vector<std::string>{"déjà"});
  const opened bad = open(dir, table("d\xE9j\xE0"), 0, "m.dbf");
  EXPECT_EQ(bad.rs->get_codepage(), 0);
  EXPECT_EQ(bad.values, std::vector<std::string>{"déjà"});
}

// A .cpg file beside the table names its encoding and wins over the mark and the UTF-8 check;
// the user's choice wins over the file.
TEST(DbfTextEncoding, CodePageFileBesideTheTable) {
  dbf_temp_dir dir;
  const std::string utf8_bytes = text_table(0x00, {"\xD0\x9F\xD1\x80"});
  tk_write_file(dir.file("t.cpg"), "ANSI 1251\r\n");
  const opened named = open(dir, utf8_bytes);
  EXPECT_EQ(named.rs->get_codepage(), 1251);
  EXPECT_EQ(named.values, std::vector<std::string>{"РџСЂ"});
  EXPECT_EQ(open(dir, utf8_bytes, 0x03).rs->get_codepage(), 1252);

  // The file is found whatever its case.
  tk_write_file(dir.file("U.CPG"), "utf-8\n");
  EXPECT_EQ(open(dir, text_table(0x03, {"\xD0\x9F\xD1\x80"}), 0, "u.dbf").values,
            std::vector<std::string>{"Пр"});

  // Text the system does not know leaves the choice to the mark and the check.
  tk_write_file(dir.file("t.cpg"), "KLINGON");
  EXPECT_EQ(open(dir, utf8_bytes).rs->get_codepage(), 65001);

  struct named_cp {
    const char* text;
    std::optional<int> code_page;
  };
  const named_cp names[] = {
      {"UTF-8", 65001},
      {"utf8", 65001},
      {"65001", 65001},
      {"1252", 1252},
      {"ANSI 1251", 1251},
      {" cp866 ", 866},
      {"88595", 28595},
      {"ISO-8859-1", 28591},
      {"\xEF\xBB\xBF"
       "936",
       936},
      {"OEM 437", 437},
      {"KOI8-R", 20866},
      {"", std::nullopt},
      {"1252x", std::nullopt},
      {"99999", std::nullopt},
      {"ISO-8859-99", std::nullopt},
  };
  for (const named_cp& n : names) {
    EXPECT_EQ(dbf_cpg_code_page(n.text), n.code_page) << n.text;
  }
}

TEST(DbfTextEncoding, SharedUtf8TableWithAnUnknownMark) {
  DBF_REQUIRE_TESTDATA();
  dbf_recordset rs(tk_from_utf8(dbf_testdata("dbase_03_cyrillic.dbf")), dbf_recordset::k_mode_read,
                   0);
  EXPECT_EQ(rs.get_codepage(), 65001);
  EXPECT_EQ(dbf_utf8(rs.schema()[0].name), "ШАР");
  EXPECT_EQ(dbf_utf8((*rs.get_item())[0].text()), "Номер");
}
