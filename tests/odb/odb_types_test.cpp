// Every SQL Server column type read back through a query: each value arrives exactly, with
// the variant type and column descriptor the writers rely on, at the edges of its range, and
// as empty and NULL.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "odb/odb_connection.h"
#include "odb/odb_exception.h"
#include "odb/odb_recordset.h"
#include "odb/odb_test_server.h"
#include "ole/ole_decimal.h"
#include "ole/ole_test_time.h"
#include "tk/tk_encoding.h"

namespace {

class odb_types : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::optional<odb_login> login = odb_test_login();
    if (!login) GTEST_SKIP() << odb_no_test_server;
    c_ = std::make_unique<odb_connection>(*login);
  }

  // The single row of a query.
  const udb_record& row(std::u16string_view sql) {
    rows_ = c_->query(sql);
    if (rows_->size() != 1) throw std::runtime_error("expected one row");
    return rows_->row(0);
  }
  const t_ftd& column(std::size_t i) const { return rows_->schema()[i]; }

  std::unique_ptr<odb_connection> c_;
  std::unique_ptr<odb_recordset> rows_;
};

std::string utf8(const std::u16string& s) {
  return tk_to_utf8_lossy(s);
}

void expect_date(const udb_field& f, const ole_systemtime& want) {
  ASSERT_EQ(f.vt(), VT_DATE) << utf8(f.to_wstring());
  const ole_systemtime& got = f.systemtime();
  EXPECT_EQ(got.year, want.year);
  EXPECT_EQ(got.month, want.month);
  EXPECT_EQ(got.day, want.day);
  EXPECT_EQ(got.hour, want.hour);
  EXPECT_EQ(got.minute, want.minute);
  EXPECT_EQ(got.second, want.second);
  EXPECT_EQ(got.milliseconds, want.milliseconds);
}

ole_decimal decimal(std::string_view text) {
  ole_decimal d;
  if (!ole_decimal::parse(text, d)) throw std::runtime_error("bad decimal in test");
  return d;
}

TEST_F(odb_types, integers_and_bit_at_their_limits) {
  const udb_record& r =
      row(u"SELECT CAST(0 AS tinyint), CAST(255 AS tinyint), CAST(-32768 AS smallint), "
          u"CAST(32767 AS smallint), CAST(-2147483648 AS int), CAST(2147483647 AS int), "
          u"CAST(-9223372036854775808 AS bigint), CAST(9223372036854775807 AS bigint), "
          u"CAST(0 AS bit), CAST(1 AS bit), CAST(NULL AS tinyint), CAST(NULL AS smallint), "
          u"CAST(NULL AS int), CAST(NULL AS bigint), CAST(NULL AS bit)");
  ASSERT_EQ(r[0].vt(), VT_UI1);
  EXPECT_EQ(r[0].ui1(), 0);
  EXPECT_EQ(r[1].ui1(), 255);
  ASSERT_EQ(r[2].vt(), VT_I2);
  EXPECT_EQ(r[2].i2(), std::numeric_limits<std::int16_t>::min());
  EXPECT_EQ(r[3].i2(), std::numeric_limits<std::int16_t>::max());
  ASSERT_EQ(r[4].vt(), VT_I4);
  EXPECT_EQ(r[4].i4(), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(r[5].i4(), std::numeric_limits<std::int32_t>::max());
  ASSERT_EQ(r[6].vt(), VT_I8);
  EXPECT_EQ(r[6].i8(), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(r[7].i8(), std::numeric_limits<std::int64_t>::max());
  ASSERT_EQ(r[8].vt(), VT_BOOL);
  EXPECT_EQ(r[8].bool_val(), 0);
  EXPECT_EQ(r[9].bool_val(), -1);
  const ole_vartype kinds[] = {VT_UI1, VT_I2, VT_I4, VT_I8, VT_BOOL};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_TRUE(r[10 + i].is_null()) << i;
    EXPECT_EQ(column(10 + i).vartype, kinds[i]) << i;
  }
}

TEST_F(odb_types, floating_point_exact_to_the_last_bit) {
  const udb_record& r =
      row(u"SELECT CAST(1.5 AS real), CAST(-3.25E10 AS real), CAST(3.4E38 AS real), "
          u"CAST(0.1 AS float), CAST(1.7976931348623157E308 AS float), "
          u"CAST(-1.7976931348623157E308 AS float), CAST(2.2250738585072014E-308 AS float), "
          u"CAST(NULL AS real), CAST(NULL AS float)");
  ASSERT_EQ(r[0].vt(), VT_R4);
  EXPECT_EQ(r[0].r4(), 1.5f);
  EXPECT_EQ(r[1].r4(), -3.25e10f);
  EXPECT_EQ(r[2].r4(), 3.4e38f);
  ASSERT_EQ(r[3].vt(), VT_R8);
  EXPECT_EQ(r[3].r8(), 0.1);
  EXPECT_EQ(r[4].r8(), std::numeric_limits<double>::max());
  EXPECT_EQ(r[5].r8(), -std::numeric_limits<double>::max());
  EXPECT_EQ(r[6].r8(), std::numeric_limits<double>::min());
  EXPECT_TRUE(r[7].is_null());
  EXPECT_TRUE(r[8].is_null());
  EXPECT_EQ(column(7).vartype, VT_R4);
  EXPECT_EQ(column(8).vartype, VT_R8);
}

TEST_F(odb_types, numeric_keeps_every_digit) {
  const udb_record& r =
      row(u"SELECT CAST(12345678.90 AS numeric(10,2)), CAST(-0.01 AS numeric(10,2)), "
          u"CAST(999999999999999999.9999999999 AS numeric(28,10)), "
          u"CAST(99999999999999999999999999999999999999 AS numeric(38,0)), "
          u"CAST(-99999999999999999999999999999999999999 AS numeric(38,0)), "
          u"CAST(1234567890123456789012345678.9012345678 AS numeric(38,10)), "
          u"CAST(12.5 AS numeric(38,10)), CAST(NULL AS numeric(38,10)), CAST(7 AS decimal(5,0))");
  ASSERT_EQ(r[0].vt(), VT_DECIMAL);
  EXPECT_EQ(r[0].decimal(), decimal("12345678.90"));
  EXPECT_EQ(r[0].decimal().scale, 2);
  EXPECT_EQ(r[1].decimal(), decimal("-0.01"));
  EXPECT_TRUE(r[1].decimal().is_negative());
  EXPECT_EQ(column(0).vartype, VT_DECIMAL);
  EXPECT_EQ(column(0).get_precision(), 10u);
  EXPECT_EQ(column(0).get_scale(), 2u);

  // 28 digits still fit the decimal variant.
  ASSERT_EQ(r[2].vt(), VT_DECIMAL);
  EXPECT_EQ(r[2].decimal().to_string(), "999999999999999999.9999999999");

  // Beyond 28 digits: the exact text.
  ASSERT_EQ(r[3].vt(), VT_BSTR);
  EXPECT_EQ(utf8(r[3].text()), "99999999999999999999999999999999999999");
  EXPECT_EQ(utf8(r[4].text()), "-99999999999999999999999999999999999999");
  EXPECT_EQ(utf8(r[5].text()), "1234567890123456789012345678.9012345678");
  EXPECT_EQ(column(3).vartype, VT_DECIMAL);
  EXPECT_EQ(column(3).get_precision(), 38u);
  EXPECT_EQ(column(3).get_scale(), 0u);
  EXPECT_EQ(column(5).get_scale(), 10u);

  // A small value of a wide column is still a decimal.
  ASSERT_EQ(r[6].vt(), VT_DECIMAL);
  EXPECT_EQ(r[6].decimal(), decimal("12.5"));
  EXPECT_TRUE(r[7].is_null());
  EXPECT_EQ(column(7).get_precision(), 38u);
  ASSERT_EQ(r[8].vt(), VT_DECIMAL);
  EXPECT_EQ(r[8].decimal(), decimal("7"));
}

TEST_F(odb_types, money_at_its_limits) {
  const udb_record& r =
      row(u"SELECT CAST(922337203685477.5807 AS money), CAST(-922337203685477.5808 AS money), "
          u"CAST(214748.3647 AS smallmoney), CAST(-214748.3648 AS smallmoney), "
          u"CAST(0.0001 AS money), CAST(NULL AS money)");
  ASSERT_EQ(r[0].vt(), VT_CY);
  EXPECT_EQ(r[0].cy().int64, std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(r[1].cy().int64, std::numeric_limits<std::int64_t>::min());
  ASSERT_EQ(r[2].vt(), VT_CY);
  EXPECT_EQ(r[2].cy().int64, 2147483647);
  EXPECT_EQ(r[3].cy().int64, -2147483647 - 1);
  EXPECT_EQ(r[4].cy().int64, 1);
  EXPECT_TRUE(r[5].is_null());
  EXPECT_EQ(column(5).vartype, VT_CY);
}

TEST_F(odb_types, dates_and_times_at_their_limits) {
  // DATETIME2 and TIME with at most six fractional digits: the test server keeps no more
  // (SQL Server keeps seven).
  const udb_record& r = row(
      u"SELECT CAST('0001-01-01' AS date), CAST('9999-12-31' AS date), "
      u"CAST('1753-01-01' AS datetime), CAST('9999-12-31 23:59:59.997' AS datetime), "
      u"CAST('2024-02-29 13:45:30.123' AS datetime2(3)), "
      u"CAST('2024-02-29 13:45:30.123456' AS datetime2(6)), "
      u"CAST('13:45:30' AS time(0)), CAST('23:59:59.250' AS time(3)), "
      u"CAST('2000-01-01 12:30' AS smalldatetime), "
      u"CAST(NULL AS date), CAST(NULL AS datetime), CAST(NULL AS datetime2), CAST(NULL AS time)");
  // Before the year 100 a date has no variant form: the exact text.
  ASSERT_EQ(r[0].vt(), VT_BSTR);
  EXPECT_EQ(utf8(r[0].text()), "0001-01-01");
  expect_date(r[1], ole_test_time(9999, 12, 31));
  expect_date(r[2], ole_test_time(1753, 1, 1));
  expect_date(r[3], ole_test_time(9999, 12, 31, 23, 59, 59, 997));
  expect_date(r[4], ole_test_time(2024, 2, 29, 13, 45, 30, 123));
  // Finer than a millisecond: the exact text.
  ASSERT_EQ(r[5].vt(), VT_BSTR);
  EXPECT_EQ(utf8(r[5].text()), "2024-02-29 13:45:30.123456");
  ASSERT_EQ(r[6].vt(), VT_DATE);
  EXPECT_EQ(r[6].systemtime().hour, 13);
  EXPECT_EQ(r[6].systemtime().minute, 45);
  EXPECT_EQ(r[6].systemtime().second, 30);
  ASSERT_EQ(r[7].vt(), VT_DATE);
  EXPECT_EQ(r[7].systemtime().hour, 23);
  EXPECT_EQ(r[7].systemtime().second, 59);
  EXPECT_EQ(r[7].systemtime().milliseconds, 250);
  expect_date(r[8], ole_test_time(2000, 1, 1, 12, 30));

  const std::uint32_t kinds[] = {2, 2, 1, 1, 1, 1, 3, 3, 1, 2, 1, 1, 3};
  for (std::size_t i = 0; i < std::size(kinds); ++i) {
    EXPECT_EQ(column(i).vartype, VT_DATE) << i;
    EXPECT_EQ(column(i).reserved, kinds[i]) << i;
  }
  for (std::size_t i = 9; i < 13; ++i) EXPECT_TRUE(r[i].is_null()) << i;
}

TEST_F(odb_types, text_of_every_kind_with_empty_and_null) {
  const std::u16string world = u"Привет, 你好, 😀";
  const udb_record& r =
      row(u"SELECT CAST('ab' AS char(5)), CAST('café' AS varchar(10)), CAST(N'Жy' AS nchar(3)), "
          u"CAST(N'" +
          world +
          u"' AS nvarchar(40)), "
          u"CAST(REPLICATE(CAST('xy' AS varchar(max)), 5000) AS varchar(max)), "
          u"CAST(N'" +
          world +
          u"' AS nvarchar(max)), "
          u"CAST('' AS varchar(10)), CAST(N'' AS nvarchar(10)), CAST('' AS varchar(max)), "
          u"CAST(NULL AS char(5)), CAST(NULL AS varchar(10)), CAST(NULL AS nchar(3)), "
          u"CAST(NULL AS nvarchar(40)), CAST(NULL AS nvarchar(max))");
  ASSERT_EQ(r[0].vt(), VT_BSTR);
  EXPECT_EQ(r[0].text(), u"ab   ");
  EXPECT_EQ(r[1].text(), u"café");
  EXPECT_EQ(r[2].text(), u"Жy ");
  EXPECT_EQ(r[3].text(), world);
  const std::u16string& long_text = r[4].text();
  ASSERT_EQ(long_text.size(), 10000u);
  EXPECT_EQ(long_text.find_first_not_of(u"xy"), std::u16string::npos);
  EXPECT_EQ(long_text.substr(9998), u"xy");
  EXPECT_EQ(r[5].text(), world);
  for (std::size_t i = 6; i < 9; ++i) {
    ASSERT_EQ(r[i].vt(), VT_BSTR) << i;
    EXPECT_TRUE(r[i].text().empty()) << i;
  }
  for (std::size_t i = 9; i < 14; ++i) {
    EXPECT_TRUE(r[i].is_null()) << i;
    EXPECT_EQ(column(i).vartype, VT_BSTR) << i;
  }
  EXPECT_EQ(column(3).vartype, VT_BSTR);
}

TEST_F(odb_types, one_megabyte_of_unicode_text) {
  // Built on the server, so the value crosses the wire only once: on the way back. Doubled
  // rather than repeated with REPLICATE, whose result the test server makes non-Unicode.
  const udb_record& r =
      row(u"DECLARE @s nvarchar(max) = N'Жa😀'; DECLARE @i int = 0; "
          u"WHILE @i < 18 BEGIN SET @s = @s + @s; SET @i = @i + 1; END; SELECT @s");
  ASSERT_EQ(r[0].vt(), VT_BSTR);
  const std::u16string& text = r[0].text();
  const std::u16string unit = u"Жa😀";  // four UTF-16 units
  ASSERT_EQ(text.size(), 262144u * unit.size());
  for (std::size_t i = 0; i < text.size(); i += unit.size()) {
    if (text.compare(i, unit.size(), unit) != 0) {
      FAIL() << "wrong text at unit " << i;
    }
  }
}

TEST_F(odb_types, binary_and_guid) {
  const udb_record& r =
      row(u"SELECT CAST(0x00FF10 AS varbinary(16)), CAST(0x0102 AS binary(4)), "
          u"CAST(REPLICATE(CAST('AB' AS varchar(max)), 50000) AS varbinary(max)), "
          u"CAST(0x AS varbinary(16)), CAST(NULL AS varbinary(16)), CAST(NULL AS varbinary(max)), "
          u"CAST('6F9619FF-8B86-D011-B42D-00C04FC964FF' AS uniqueidentifier), "
          u"CAST(NULL AS uniqueidentifier)");
  ASSERT_EQ(r[0].vt(), VT_BINARY);
  EXPECT_EQ(std::vector<std::uint8_t>(r[0].bytes().begin(), r[0].bytes().end()),
            (std::vector<std::uint8_t>{0x00, 0xFF, 0x10}));
  EXPECT_EQ(std::vector<std::uint8_t>(r[1].bytes().begin(), r[1].bytes().end()),
            (std::vector<std::uint8_t>{0x01, 0x02, 0x00, 0x00}));
  const auto big = r[2].bytes();
  ASSERT_EQ(big.size(), 100000u);
  for (std::size_t i = 0; i < big.size(); ++i) {
    if (big[i] != (i % 2 == 0 ? 'A' : 'B')) FAIL() << "wrong byte at " << i;
  }
  ASSERT_TRUE(r[3].is_binary());
  EXPECT_TRUE(r[3].bytes().empty());
  EXPECT_TRUE(r[4].is_null());
  EXPECT_TRUE(r[5].is_null());
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(column(i).vartype, VT_BLOB) << i;

  ASSERT_EQ(r[6].vt(), VT_BSTR);
  EXPECT_EQ(r[6].text(), u"{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
  EXPECT_TRUE(r[7].is_null());
  EXPECT_EQ(column(6).vartype, VT_BSTR);
  EXPECT_EQ(column(6).reserved, 1u);
}

TEST_F(odb_types, values_stored_in_a_table_read_back_alike) {
  ODB_TEST_LOGIN_OR_SKIP(login);
  odb_test_database db(login);
  auto c = db.connect();
  c->execute(
      u"CREATE TABLE dbo.t (id int NOT NULL, n nvarchar(20) NULL, d numeric(38,4) NULL, "
      u"b varbinary(max) NULL, dt datetime NULL);"
      u"INSERT INTO dbo.t VALUES (1, N'ёлка', 1234567890123456789012345678901234.5678, "
      u"0x0001, '2001-02-03 04:05:06.007');"
      u"INSERT INTO dbo.t VALUES (2, N'', 0, 0x, NULL);"
      u"INSERT INTO dbo.t VALUES (3, NULL, NULL, NULL, NULL)");
  const std::unique_ptr<odb_recordset> rows = c->query(u"SELECT * FROM dbo.t ORDER BY id");
  ASSERT_EQ(rows->size(), 3u);
  // Walked as a recordset, as the converter reads a table.
  std::vector<std::int32_t> ids;
  for (rows->reset(); !rows->is_eof(); rows->next()) ids.push_back((*rows->get_item())[0].i4());
  EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(rows->get_item(), nullptr);

  const udb_record& full = rows->row(0);
  EXPECT_EQ(full[1].text(), u"ёлка");
  EXPECT_EQ(utf8(full[2].text()), "1234567890123456789012345678901234.5678");
  EXPECT_EQ(full[3].bytes().size(), 2u);
  expect_date(full[4], ole_test_time(2001, 2, 3, 4, 5, 6, 7));
  const udb_record& empty = rows->row(1);
  ASSERT_EQ(empty[1].vt(), VT_BSTR);
  EXPECT_TRUE(empty[1].text().empty());
  ASSERT_EQ(empty[2].vt(), VT_DECIMAL);
  EXPECT_TRUE(empty[2].decimal().is_zero());
  ASSERT_TRUE(empty[3].is_binary());
  EXPECT_TRUE(empty[3].bytes().empty());
  const udb_record& nulls = rows->row(2);
  for (std::size_t i = 1; i < 5; ++i) EXPECT_TRUE(nulls[i].is_null()) << i;
  EXPECT_EQ(rows->schema()[0].name, u"id");
  EXPECT_EQ(rows->schema()[2].get_precision(), 38u);
  EXPECT_EQ(rows->schema()[2].get_scale(), 4u);
}

}  // namespace
