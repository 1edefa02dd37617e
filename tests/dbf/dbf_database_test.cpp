// The folder of tables, the writing path with its round trip through this reader and through
// python3-dbfread, the name rules and the code page tables.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>

#include "dbf/dbf_char_table.h"
#include "dbf/dbf_codepage_table.h"
#include "dbf/dbf_database.h"
#include "dbf/dbf_exception.h"
#include "dbf/dbf_fn_validator.h"
#include "dbf/dbf_paths.h"
#include "dbf_json_dump.h"
#include "ole/ole_date.h"

namespace {

t_ftd column(const std::u16string& name, ole_vartype vt, std::uint32_t size = 0,
             std::uint32_t reserved = 0) {
  return t_ftd(size, name, vt, false, false, ole_variant(), reserved);
}

udb_schema every_type() {
  udb_schema s;
  s.push_back(column(u"small", VT_I1));
  s.push_back(column(u"short", VT_I2));
  s.push_back(column(u"long", VT_I4));
  s.push_back(column(u"big", VT_I8));
  s.push_back(column(u"money", VT_CY));
  s.push_back(column(u"real", VT_R8));
  s.push_back(column(u"day", VT_DATE, 0, 2));
  s.push_back(column(u"stamp", VT_DATE, 0, 1));
  s.push_back(column(u"name", VT_BSTR, 20));
  s.push_back(column(u"flag", VT_BOOL));
  s.push_back(column(u"price", VT_DECIMAL, 0, 10 * 256 + 2));
  s.push_back(column(u"notes", VT_BSTR, 0));
  s.push_back(column(u"1 total", VT_I4));
  return s;
}

void fill(udb_record& r, int i) {
  ole_systemtime day{};
  day.year = 2017;
  day.month = 6;
  day.day = static_cast<std::uint16_t>(1 + i);
  ole_systemtime stamp = day;
  stamp.hour = 12;
  stamp.minute = 30;
  stamp.second = 15;
  ole_decimal price;
  ole_decimal::parse(i == 0 ? "1234.56" : "-0.05", price);
  r.add_field(u"small", 1, ole_variant(static_cast<signed char>(-5 + i)));
  r.add_field(u"short", 1, ole_variant(static_cast<short>(-1234)));
  r.add_field(u"long", 1, ole_variant(2000000000));
  r.add_field(u"big", 1, ole_variant(static_cast<long long>(i == 0 ? 123456789012345LL : -7)));
  r.add_field(u"money", 1, ole_variant(ole_currency::from_raw(25000)));
  r.add_field(u"real", 1, ole_variant(0.1 + i));
  r.add_field(u"day", 1, ole_variant(day));
  r.add_field(u"stamp", 1, ole_variant(stamp));
  r.add_field(u"name", 1, ole_variant(std::u16string(i == 0 ? u"Crème brûlée" : u"")));
  r.add_field(u"flag", 1, ole_variant(i == 0));
  r.add_field(u"price", 1, ole_variant(price));
  r.add_field(u"notes", 1,
              ole_variant(std::u16string(i == 0 ? u"first line\r\nsecond line, café" : u"")));
  r.add_field(u"1 total", 1, ole_variant(42 + i));
}

}  // namespace

TEST(DbfDatabase, ListsTablesInLowerCaseAndOpensThemWhateverTheirCase) {
  dbf_temp_dir dir;
  std::filesystem::create_directory(dir.file("sub"));
  tk_write_file(dir.file("Sales.DBF"), dbf_make_table(0x03, {{"A", 'C', 2}}, {" ok"}));
  tk_write_file(dir.file("notes.txt"), "x");
  dbf_database db(tk_from_utf8(dir.path()), 1, 0);
  EXPECT_EQ(db.tables(), std::vector<std::u16string>{u"sales"});
  EXPECT_EQ(db.get_full_table_name(u"sales"), tk_from_utf8(dir.path()) + u"/sales.dbf");
  EXPECT_EQ(db.get_full_table_name(u"memo.DBT"), tk_from_utf8(dir.path()) + u"/memo.DBT");
  auto rs = db.get_table(u"sales");
  ASSERT_NE(rs, nullptr);
  EXPECT_EQ(rs->table_name(), u"sales");
  EXPECT_EQ(dbf_utf8((*rs->get_item())[0].text()), "ok");
}

// Two tables whose file names differ only in case: each reads its own file and its own memo
// file, and a memo file spelt as another table's is never taken for one that has none.
TEST(DbfDatabase, TablesDifferingOnlyInCaseReadTheirOwnFiles) {
  dbf_temp_dir dir;
  dbf_test_sink sink;
  const auto table = [](const std::string& text) {
    return dbf_make_table(0x30, {{"NAME", 'C', 6}, {"NOTE", 'M', 4}},
                          {" " + text + std::string("\x08\0\0\0", 4)}, 0x02);
  };
  const auto memo = [](const std::string& text) {
    std::string fpt(512 + 8 + text.size(), '\0');
    dbf_put_be(fpt, 6, 64, 2);
    dbf_put_be(fpt, 512 + 4, text.size(), 4);
    fpt.replace(512 + 8, text.size(), text);
    return fpt;
  };
  tk_write_file(dir.file("sales.dbf"), table("lower "));
  tk_write_file(dir.file("sales.fpt"), memo("lower memo"));
  tk_write_file(dir.file("SALES.DBF"), table("UPPER "));
  tk_write_file(dir.file("SALES.FPT"), memo("UPPER MEMO"));
  tk_write_file(dir.file("Sales.dbf"), table("mixed "));

  dbf_database db(tk_from_utf8(dir.path()), 1, 0);
  EXPECT_EQ(db.tables(), (std::vector<std::u16string>{u"SALES", u"Sales", u"sales"}));
  const auto read = [&](const std::u16string& name) {
    auto rs = db.get_table(name);
    udb_record& r = *rs->get_item();
    return dbf_utf8(r[0].text()) + "/" + (r[1].is_empty() ? "-" : dbf_utf8(r[1].text()));
  };
  EXPECT_EQ(read(u"sales"), "lower/lower memo");
  EXPECT_EQ(sink.messages.size(), 0u);
  EXPECT_EQ(read(u"SALES"), "UPPER/UPPER MEMO");
  EXPECT_EQ(sink.messages.size(), 0u);
  // Neither memo file is Sales.dbf's own: both are spelt as another table's.
  EXPECT_EQ(read(u"Sales"), "mixed/-");
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Memo file not found"});

  // A lone table still finds its memo file spelt in another case.
  dbf_temp_dir alone;
  tk_write_file(alone.file("Calls.dbf"), table("calls "));
  tk_write_file(alone.file("CALLS.FPT"), memo("found"));
  dbf_database one(tk_from_utf8(alone.path()), 1, 0);
  EXPECT_EQ(one.tables(), std::vector<std::u16string>{u"calls"});
  auto rs = one.get_table(u"calls");
  EXPECT_EQ(dbf_utf8((*rs->get_item())[1].text()), "found");
}

TEST(DbfDatabase, TableNamesStayDistinct) {
  EXPECT_EQ(dbf_table_names({u"/d/B.DBF", u"/d/a.dbf", u"/d/b.dbf", u"/d/b.DBF"}),
            (std::vector<std::u16string>{u"B", u"a", u"b", u"b.DBF"}));
  EXPECT_EQ(dbf_table_names({u"A.DBF", u"a.Dbf"}), (std::vector<std::u16string>{u"A", u"a"}));
}

TEST(DbfDatabase, WrittenTablesReadBackHereAndInDbfread) {
  dbf_temp_dir dir;
  dbf_database db(tk_from_utf8(dir.path()), 8, 0);
  {
    auto rs = db.create_table(u"Shop", every_type());
    ASSERT_NE(rs, nullptr);
    for (int i = 0; i < 2; ++i) {
      udb_record r;
      fill(r, i);
      rs->append_record(r);
    }
  }
  ASSERT_TRUE(std::filesystem::exists(dir.file("Shop.dbt")));
  auto rs = db.get_table(u"shop", dbf_recordset::k_mode_read);
  ASSERT_EQ(rs->record_count(), 2);
  EXPECT_EQ(rs->header().signature, 0x83);
  EXPECT_EQ(dbf_utf8(rs->schema()[12].name), "A1_total");
  for (int i = 0; i < 2; ++i) {
    udb_record expected;
    fill(expected, i);
    rs->set_position(i);
    udb_record& got = *rs->get_item();
    SCOPED_TRACE(i);
    EXPECT_EQ(got[0].to_long(), -5 + i);
    EXPECT_EQ(got[1].to_long(), -1234);
    EXPECT_EQ(got[2].to_long(), 2000000000);
    EXPECT_EQ(got[3].to_string(), i == 0 ? "123456789012345" : "-7");
    EXPECT_EQ(got[4].to_string(), "2.5");
    EXPECT_DOUBLE_EQ(got[5].to_double(), 0.1 + i);
    EXPECT_EQ(ole_date(got[6]).to_string(), ole_date(expected[6]).to_string());
    EXPECT_EQ(got[7].to_string(), i == 0 ? "2017-06-01 12:30:15" : "2017-06-02 12:30:15");
    EXPECT_EQ(got[8].text(), expected[8].text());
    EXPECT_EQ(got[9].to_bool(), i == 0);
    EXPECT_EQ(got[10].to_string(), i == 0 ? "1234.56" : "-0.05");
    if (i == 0) {
      EXPECT_EQ(got[11].text(), expected[11].text());
    } else {
      EXPECT_TRUE(got[11].is_empty());
    }
    EXPECT_EQ(got[12].to_long(), 42 + i);
  }

  // dbfread reads the same values; the table has no code page mark, which both readers take
  // as Windows-1252.
  const std::string json = "{\"tables\":[" + dbf_json_table(*rs) + "]}";
  tk_write_file(dir.file("ours.json"), json);
  std::string output;
  const int status = dbf_run(std::string(dbf_python) + " " + QV_SOURCE_DIR +
                                 "/tests/dbf/dbfread_compare.py " + dir.file("ours.json"),
                             output);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("compared 1 tables, 0 differences"), std::string::npos) << output;

  EXPECT_TRUE(db.delete_tab(u"shop"));
  EXPECT_FALSE(std::filesystem::exists(dir.file("Shop.dbf")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("Shop.dbt")));
  EXPECT_TRUE(db.tables().empty());
}

TEST(DbfDatabase, NumbersTooWideForTheirFieldAreRefused) {
  dbf_temp_dir dir;
  dbf_database db(tk_from_utf8(dir.path()), 8, 0);
  udb_schema s;
  s.push_back(column(u"n", VT_DECIMAL, 0, 3 * 256 + 1));  // N(5,1)
  auto rs = db.create_table(u"narrow", s);
  udb_record r;
  ole_decimal big;
  ole_decimal::parse("123456.5", big);
  r.add_field(u"n", 0, ole_variant(big));
  EXPECT_THROW(rs->append_record(r), dbf_exception);
  EXPECT_EQ(rs->record_count(), 0);
}

TEST(DbfNames, FieldNameRules) {
  udb_schema s;
  s.push_back(column(u"total", VT_I4));
  dbf_fn_validator v(s);
  EXPECT_FALSE(v.is_acceptable(u"1abc"));
  EXPECT_FALSE(v.is_acceptable(u"a b"));
  EXPECT_FALSE(v.is_acceptable(u"abcdefghijk"));
  EXPECT_FALSE(v.is_acceptable(u""));
  EXPECT_TRUE(v.is_acceptable(u"Größe_1-a"));
  EXPECT_EQ(v.get_safe_name(u"1 total"), u"A1_total");
  EXPECT_EQ(v.get_safe_name(u"TOTAL"), u"TOTAL000");  // duplicates ignore case
  v.add_existing_name(u"TOTAL000");
  EXPECT_EQ(v.get_safe_name(u"total"), u"total001");
  EXPECT_EQ(v.get_safe_name(u"a very long name"), u"a_very_lon");
  EXPECT_EQ(v.get_safe_name(u"_x"), u"A_x");
}

TEST(DbfCharTable, EveryMarkDecodesAndUndefinedBytesDoNotFail) {
  for (const auto& [mark, entry] : dbf_codepage_table()) {
    SCOPED_TRACE(entry.display_name);
    EXPECT_TRUE(entry.code_page == 0 || dbf_char_table::has_code_page(entry.code_page));
    const dbf_char_table& t = dbf_char_table::for_code_page(entry.code_page);
    EXPECT_EQ(t[static_cast<std::uint8_t>('A')], u'A');
  }
  const dbf_char_table& kamenicky = dbf_char_table::for_code_page(895);
  EXPECT_EQ(kamenicky.decode("\x80\x87\xA8\xA9\xB3"), u"Ččšř│");
  const dbf_char_table& mazovia = dbf_char_table::for_code_page(620);
  EXPECT_EQ(mazovia.decode("\x86\x92\x9E\xA1\xA7\x8F\xB3"), u"ąłśŻżĄ│");
  const dbf_char_table& greek = dbf_char_table::for_code_page(1253);
  EXPECT_EQ(greek[0xD2], dbf_char_table::k_undefined);
  EXPECT_EQ(greek.decode("\xC1\xD2"), u"Α\uFFFD");
  EXPECT_EQ(dbf_char_table::for_code_page(0).code_page(), 1252);
  EXPECT_EQ(dbf_char_table::for_code_page(1251).encode(u"Привет?€"),
            std::string("\xCF\xF0\xE8\xE2\xE5\xF2?\x88"));
}
