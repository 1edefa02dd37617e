// The binary field types of dBase level 7 and the field types and flags of Visual FoxPro 9:
// on the shared tables written by those programs, and on tables built here byte by byte.
#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <memory>

#include "dbf/dbf_error_sink.h"
#include "dbf/dbf_recordset.h"
#include "dbf_test_util.h"

namespace {

std::string shared_table(const std::string& folder, const std::string& name) {
  return std::string(QV_TESTDATA_DIR) + "/" + folder + "/" + name;
}

#define REQUIRE_SHARED(folder)                                                       \
  do {                                                                               \
    if (!std::filesystem::is_directory(std::string(QV_TESTDATA_DIR) + "/" + folder)) \
      GTEST_SKIP() << "shared tables not present: " << folder;                       \
  } while (0)

std::unique_ptr<dbf_recordset> open_path(const std::string& path) {
  return std::make_unique<dbf_recordset>(tk_from_utf8(path), dbf_recordset::k_mode_read, 0);
}

std::unique_ptr<dbf_recordset> open_bytes(const dbf_temp_dir& dir, const std::string& bytes,
                                          const std::string& name = "t.dbf") {
  tk_write_file(dir.file(name), bytes);
  return open_path(dir.file(name));
}

udb_record& record_at(dbf_recordset& rs, std::int64_t position) {
  rs.set_position(position);
  return *rs.get_item();
}

std::string be(std::uint64_t v, int n) {
  std::string s(static_cast<std::size_t>(n), '\0');
  dbf_put_be(s, 0, v, n);
  return s;
}

std::string le(std::uint64_t v, int n) {
  std::string s(static_cast<std::size_t>(n), '\0');
  dbf_put_le(s, 0, v, n);
  return s;
}

// dBase 7's sortable forms of an integer and a double.
std::string sortable_int(std::int32_t v) {
  return be(static_cast<std::uint32_t>(v) ^ 0x80000000u, 4);
}

std::string sortable_double(double v) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  return be(v >= 0 ? bits | 0x8000000000000000ull : ~bits, 8);
}

std::string bytes_of(const udb_field& field) {
  const auto b = field.bytes();
  return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

class quiet_sink : public dbf_error_sink {
 public:
  quiet_sink() { dbf_set_error_sink(this); }
  ~quiet_sink() override { dbf_set_error_sink(nullptr); }
  void report(const std::string&, const tk_exception&) override {}
};

}  // namespace

TEST(DbfLevel7, SharedInventoryTable) {
  REQUIRE_SHARED("dbase7");
  auto rs = open_path(shared_table("dbase7", "inventory.dbf"));
  const udb_schema& schema = rs->schema();
  ASSERT_EQ(schema.size(), 6u);
  EXPECT_EQ(schema[0].name, u"Item ID");
  EXPECT_EQ(schema[0].vartype, VT_I4);
  EXPECT_TRUE(schema[0].b_auto_num);
  EXPECT_EQ(schema[1].name, u"Supplier ID");
  EXPECT_EQ(schema[1].vartype, VT_I4);
  EXPECT_FALSE(schema[1].b_auto_num);
  EXPECT_EQ(schema[3].vartype, VT_I4);
  EXPECT_EQ(schema[4].name, u"Picture");
  EXPECT_EQ(schema[4].vartype, VT_BLOB);
  EXPECT_EQ(schema[4].size, 0u);

  const int supplier[] = {1, 1, 1, 2, 2, 3, 3, 3, 4, 4, 4, 4};
  const int qty[] = {53, 69, 150, 40, 45, 389, 80, 22, 48, 0, 53, 27};
  ASSERT_EQ(rs->record_count(), 12);
  for (int i = 0; i < 12; ++i) {
    udb_record& r = record_at(*rs, i);
    EXPECT_EQ(r[0].i4(), i + 1) << i;
    EXPECT_EQ(r[1].i4(), supplier[i]) << i;
    EXPECT_EQ(r[3].i4(), qty[i]) << i;
  }
  // The picture of the first item: the stored GIF, without the block's 8 bytes and the 8 bytes
  // dBase writes in front of a binary value.
  const std::string picture = bytes_of(record_at(*rs, 0)[4]);
  EXPECT_EQ(picture.size(), 0x36DDu - 16);
  EXPECT_EQ(picture.substr(0, 6), "GIF87a");
  EXPECT_EQ(record_at(*rs, 0)[2].text(), u"Dartboard");
  // The last two items have no picture.
  EXPECT_TRUE(record_at(*rs, 11)[4].is_empty());
}

TEST(DbfLevel7, SharedTableOfDoubles) {
  REQUIRE_SHARED("dbase7");
  quiet_sink sink;
  auto rs = open_path(shared_table("dbase7", "bug102.dbf"));
  ASSERT_EQ(rs->record_count(), 18);
  EXPECT_EQ(rs->schema()[0].vartype, VT_R8);
  EXPECT_EQ(rs->schema().get_field_idx(u"CurveTypeShort"), 52);
  const int max_peak = rs->schema().get_field_idx(u"MaxPeakNoUnit");
  const int error = rs->schema().get_field_idx(u"ErrorMessa");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(record_at(*rs, i)[0].r8(), 193786.0 + i);
  EXPECT_NEAR(record_at(*rs, 0)[max_peak].r8(), -56001.66763896594, 1e-9);
  EXPECT_NEAR(record_at(*rs, 1)[max_peak].r8(), 3036.2865077668744, 1e-9);
  // A field of zero bytes is blank.
  EXPECT_TRUE(record_at(*rs, 0)[error].is_empty());
}

TEST(DbfLevel7, BinaryTypesBuiltHere) {
  dbf_temp_dir dir;
  const std::string long_name(32, 'n');
  constexpr std::uint64_t k_1970 = 62135596800000ull + 86400000ull;
  const auto stamp = [](double ms) { return be(std::bit_cast<std::uint64_t>(ms), 8); };
  const std::string table = dbf_make_table7(
      {{"Item ID", '+', 4}, {long_name, 'I', 4}, {"O", 'O', 8}, {"Stamp", '@', 8}, {"B", 'B', 10}},
      {" " + sortable_int(1) + sortable_int(-5) + sortable_double(-2.5) + stamp(k_1970 + 250) +
           "          ",
       " " + sortable_int(2) + sortable_int(2147483647) + sortable_double(0.0) +
           stamp(k_1970 - 25566.5 * 86400000) + "          ",
       " " + sortable_int(3) + std::string(4, '\0') + std::string(8, '\0') + std::string(8, '\0') +
           "          "});
  auto rs = open_bytes(dir, table);
  const udb_schema& schema = rs->schema();
  EXPECT_EQ(schema[1].name, tk_from_utf8(long_name));
  EXPECT_EQ(schema[2].vartype, VT_R8);
  EXPECT_EQ(schema[3].vartype, VT_DATE);
  EXPECT_EQ(schema[3].reserved, 1u);
  EXPECT_EQ(schema[4].vartype, VT_BLOB);

  udb_record& first = record_at(*rs, 0);
  EXPECT_EQ(first[0].i4(), 1);
  EXPECT_EQ(first[1].i4(), -5);
  EXPECT_EQ(first[2].r8(), -2.5);
  const ole_systemtime& t = first[3].systemtime();
  EXPECT_EQ(t.year, 1970);
  EXPECT_EQ(t.month, 1);
  EXPECT_EQ(t.day, 1);
  EXPECT_EQ(t.hour, 0);
  EXPECT_EQ(t.milliseconds, 250);
  // A signature 0x04 table has no memo file: its binary memo is empty.
  EXPECT_TRUE(first[4].is_empty());

  udb_record& second = record_at(*rs, 1);
  EXPECT_EQ(second[1].i4(), 2147483647);
  EXPECT_EQ(second[2].r8(), 0.0);
  const ole_systemtime& noon = second[3].systemtime();
  EXPECT_EQ(noon.year, 1900);
  EXPECT_EQ(noon.month, 1);
  EXPECT_EQ(noon.day, 1);
  EXPECT_EQ(noon.hour, 12);

  udb_record& blank = record_at(*rs, 2);
  EXPECT_EQ(blank[0].i4(), 3);
  for (int i = 1; i < 4; ++i) EXPECT_TRUE(blank[i].is_empty()) << i;
}

TEST(DbfLevel7, LettersKeepTheirMeaningElsewhere) {
  dbf_temp_dir dir;
  // In a Visual FoxPro table B is a little-endian double and I a little-endian integer.
  const double d = -2.5;
  const std::string table =
      dbf_make_table(0x30, {{"B", 'B', 8}, {"I", 'I', 4}},
                     {" " + le(std::bit_cast<std::uint64_t>(d), 8) + le(0xFFFFFFFB, 4)});
  auto rs = open_bytes(dir, table);
  EXPECT_EQ(rs->schema()[0].vartype, VT_R8);
  udb_record& r = record_at(*rs, 0);
  EXPECT_EQ(r[0].r8(), -2.5);
  EXPECT_EQ(r[1].i4(), -5);
}

TEST(DbfVisualFoxPro, SharedNorthwindNullsAndBinaryMemos) {
  REQUIRE_SHARED("vfp-northwind");
  auto customers = open_path(shared_table("vfp-northwind", "customers.dbf"));
  const udb_schema& schema = customers->schema();
  // _NullFlags is read, not handed on as a column.
  ASSERT_EQ(schema.size(), 11u);
  EXPECT_EQ(schema.get_field_idx(u"_NullFlags"), -1);
  const int region = schema.get_field_idx(u"REGION");
  const int postal = schema.get_field_idx(u"POSTALCODE");
  const int fax = schema.get_field_idx(u"FAX");
  udb_record& alfki = record_at(*customers, 0);
  EXPECT_TRUE(alfki[region].is_null());
  EXPECT_EQ(alfki[fax].text(), u"030-0076545");
  udb_record& anton = record_at(*customers, 2);
  EXPECT_TRUE(anton[region].is_null());
  EXPECT_TRUE(anton[fax].is_null());
  EXPECT_EQ(record_at(*customers, 9)[region].text(), u"BC");
  udb_record& hungo = record_at(*customers, 36);
  EXPECT_TRUE(hungo[postal].is_null());
  EXPECT_EQ(hungo[region].text(), u"Co. Cork");

  // PHOTO is a memo flagged binary: its bytes, blanks and all.
  auto employees = open_path(shared_table("vfp-northwind", "employees.dbf"));
  const int photo = employees->schema().get_field_idx(u"PHOTO");
  EXPECT_EQ(employees->schema()[photo].vartype, VT_BLOB);
  EXPECT_EQ(employees->schema()[employees->schema().get_field_idx(u"NOTES")].vartype, VT_BSTR);
  const std::string bytes = bytes_of(record_at(*employees, 0)[photo]);
  EXPECT_EQ(bytes.size(), 254u);
  EXPECT_EQ(bytes.substr(0, 12), "EmpID1.bmp  ");

  auto categories = open_path(shared_table("vfp-northwind", "categories.dbf"));
  const int picture = categories->schema().get_field_idx(u"PICTURE");
  EXPECT_EQ(categories->schema()[picture].vartype, VT_BLOB);
  EXPECT_TRUE(record_at(*categories, 0)[picture].is_binary());
  EXPECT_GT(record_at(*categories, 0)[picture].bytes().size(), 1000u);
}

TEST(DbfVisualFoxPro, VarLengthBinaryAndNullableFieldsBuiltHere) {
  dbf_temp_dir dir;
  // Null bits in field order: NAME 0; V length 1, null 2; Q length 3.
  const std::string table =
      dbf_make_table(0x30,
                     {{"NAME", 'C', 5, 0, 0x02},
                      {"V", 'V', 6, 0, 0x02},
                      {"Q", 'Q', 4},
                      {"RAW", 'C', 4, 0, 0x04},
                      {"M", 'M', 4, 0, 0x04},
                      {"W", 'W', 4},
                      {"G", 'G', 4},
                      {"_NullFlags", '0', 1, 0, 0x05}},
                     {" abc  " + std::string("hi\0\0\0\x02", 6) + std::string("\x01\0\0\x02", 4) +
                          std::string("a\0 b", 4) + le(8, 4) + le(9, 4) + le(10, 4) + "\x0A",
                      std::string(" ") + "     " + "zzzzzz" + "wxyz" + "    " + le(0, 4) +
                          le(0, 4) + le(0, 4) + "\x05"},
                     0x02);
  std::string memo(11 * 64, '\0');
  dbf_put_be(memo, 0, 11, 4);
  dbf_put_be(memo, 6, 64, 2);
  const auto block = [&](std::size_t n, const std::string& data) {
    dbf_put_be(memo, n * 64, 0, 4);
    dbf_put_be(memo, n * 64 + 4, data.size(), 4);
    memo.replace(n * 64 + 8, data.size(), data);
  };
  block(8, std::string("x\0y", 3));
  block(9, std::string("\0\1\2", 3));
  block(10, std::string("GIF\0", 4));
  tk_write_file(dir.file("t.fpt"), memo);
  auto rs = open_bytes(dir, table);

  const udb_schema& schema = rs->schema();
  ASSERT_EQ(schema.size(), 7u);
  const ole_vartype types[] = {VT_BSTR, VT_BSTR, VT_BLOB, VT_BLOB, VT_BLOB, VT_BLOB, VT_BLOB};
  const std::uint32_t sizes[] = {5, 6, 4, 4, 0, 0, 0};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(schema[i].vartype, types[i]) << i;
    EXPECT_EQ(schema[i].size, sizes[i]) << i;
  }

  udb_record& first = record_at(*rs, 0);
  EXPECT_EQ(first[0].text(), u"abc");
  EXPECT_EQ(first[1].text(), u"hi");
  EXPECT_EQ(bytes_of(first[2]), std::string("\x01\0", 2));
  EXPECT_EQ(bytes_of(first[3]), std::string("a\0 b", 4));
  EXPECT_EQ(bytes_of(first[4]), std::string("x\0y", 3));
  EXPECT_EQ(bytes_of(first[5]), std::string("\0\1\2", 3));
  EXPECT_EQ(bytes_of(first[6]), std::string("GIF\0", 4));

  udb_record& second = record_at(*rs, 1);
  EXPECT_TRUE(second[0].is_null());
  EXPECT_TRUE(second[1].is_null());
  EXPECT_EQ(bytes_of(second[2]), "wxyz");
  EXPECT_EQ(bytes_of(second[3]), "    ");
  for (int i = 4; i < 7; ++i) EXPECT_TRUE(second[i].is_empty()) << i;
}
