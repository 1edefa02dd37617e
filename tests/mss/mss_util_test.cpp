#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "mss/mss_dmp_database.h"
#include "mss/mss_util.h"
#include "mss_test_facts.h"
#include "tk/tk_encoding.h"
#include "udb/t_ftd.h"
#include "udb/udb_custom_conversion.h"
#include "udb/udb_field.h"

namespace {

std::uint32_t prec_scale(std::uint32_t precision, std::uint32_t scale) {
  return (precision << 8) | scale;
}

std::u16string literal(const ole_variant& value, const t_ftd& column) {
  const udb_field field(column.name, static_cast<std::int32_t>(column.size), value);
  return mss_get_fld_append_str(&field, &column);
}

ole_variant decimal(std::string_view text) {
  return ole_variant::from_string(text, VT_DECIMAL);
}

ole_variant date(std::uint16_t year, std::uint16_t month, std::uint16_t day) {
  ole_systemtime st;
  st.year = year;
  st.month = month;
  st.day = day;
  return ole_variant(st);
}

// The script's type text, through a writer on a scratch file.
std::u16string script_type(const t_ftd& column) {
  mss_dump_options options;
  options.b_comments = false;
  mss_dmp_database db(u"/dev/null", options);
  return db.get_native_type(column);
}

TEST(mss_util_mapping, text_and_binary_sizes_at_the_limits) {
  const t_ftd text4000(4000, u"t", VT_BSTR);
  EXPECT_EQ(get_mss_native_type(text4000, false), u"nvarchar(4000) ");
  EXPECT_EQ(get_mss_native_type(text4000, true), u"nvarchar");
  EXPECT_EQ(script_type(text4000), u"NVARCHAR(MAX)");
  EXPECT_EQ(script_type(t_ftd(3999, u"t", VT_BSTR)), u"NVARCHAR(3999) ");
  EXPECT_EQ(get_mss_native_type(t_ftd(4001, u"t", VT_BSTR), false), u"nvarchar(max)");
  EXPECT_EQ(get_mss_native_type(t_ftd(0, u"t", VT_BSTR), false), u"nvarchar(max)");

  const t_ftd bin8000(8000, u"b", VT_BLOB);
  EXPECT_EQ(get_mss_native_type(bin8000, false), u"varbinary(8000) ");
  EXPECT_EQ(script_type(bin8000), u"VARBINARY(MAX)");
  EXPECT_EQ(get_mss_native_type(t_ftd(0, u"b", VT_BLOB), false), u"varbinary(max)");
  EXPECT_EQ(script_type(t_ftd(0, u"b", VT_BLOB)), u"VARBINARY(MAX)");
  // A byte array is binary on both sides, never text.
  EXPECT_EQ(script_type(t_ftd(16, u"b", VT_BINARY)), u"VARBINARY(16) ");
  EXPECT_EQ(get_mss_native_type(t_ftd(16, u"b", VT_BINARY), false), u"varbinary(16) ");

  mss_test_facts facts;
  facts.unicode_on = false;
  EXPECT_EQ(get_mss_native_type(t_ftd(10, u"t", VT_BSTR), false), u"varchar(10) ");
  EXPECT_EQ(script_type(t_ftd(10, u"t", VT_BSTR)), u"VARCHAR(10) ");
  EXPECT_EQ(script_type(t_ftd(0, u"t", VT_BSTR)), u"VARCHAR(MAX)");
}

TEST(mss_util_mapping, decimals_currency_dates_and_special_columns) {
  EXPECT_EQ(
      script_type(t_ftd(40, u"d", VT_DECIMAL, false, false, ole_variant(), prec_scale(38, 2))),
      u"NUMERIC(38,2)");
  const t_ftd wide(40, u"d", VT_DECIMAL, false, false, ole_variant(), prec_scale(39, 2));
  EXPECT_EQ(script_type(wide), u"FLOAT");
  EXPECT_EQ(get_mss_native_type(wide, false), u"float");
  EXPECT_EQ(get_mss_native_type(t_ftd(8, u"c", VT_CY), false), u"money");
  EXPECT_EQ(script_type(t_ftd(8, u"c", VT_CY)), u"MONEY");
  EXPECT_EQ(script_type(t_ftd(8, u"c", VT_DECIMAL)), u"NUMERIC(38,9)");
  EXPECT_EQ(script_type(t_ftd(8, u"c", VT_CY, false, false, ole_variant(), prec_scale(19, 4))),
            u"NUMERIC(19,4)");

  const t_ftd date_only(8, u"d", VT_DATE, false, false, ole_variant(), 2);
  const t_ftd time_only(8, u"d", VT_DATE, false, false, ole_variant(), 3);
  EXPECT_EQ(script_type(date_only), u"DATE");
  EXPECT_EQ(script_type(time_only), u"TIME");
  EXPECT_EQ(script_type(t_ftd(8, u"d", VT_DATE)), u"DATETIME");
  EXPECT_EQ(get_mss_native_type(date_only, false), u"datetime");
  {
    mss_test_facts facts;
    facts.version_number = 5;
    EXPECT_EQ(get_mss_native_type(date_only, false), u"datetime");  // not connected
    facts.connected = true;
    EXPECT_EQ(get_mss_native_type(date_only, false), u"date");
    EXPECT_EQ(get_mss_native_type(time_only, false), u"time");
    facts.version_number = 4;
    EXPECT_EQ(get_mss_native_type(date_only, false), u"datetime");
  }

  EXPECT_EQ(script_type(t_ftd(4, u"i", VT_I4, false, true)), u"INT IDENTITY");
  EXPECT_EQ(script_type(t_ftd(8, u"i", VT_I8, false, true)), u"BIGINT IDENTITY");
  EXPECT_EQ(script_type(t_ftd(1, u"i", VT_UI1)), u"INT");
  EXPECT_EQ(get_mss_native_type(t_ftd(1, u"i", VT_UI1), false), u"tinyint");
  EXPECT_EQ(get_mss_native_type(t_ftd(2, u"i", VT_I2), false), u"smallint");
  EXPECT_EQ(script_type(t_ftd(38, u"g", VT_BSTR, false, false, ole_variant(), 1)),
            u" uniqueidentifier");
  EXPECT_EQ(script_type(t_ftd(10, u"x", VT_I4, false, false, ole_variant(), 0, u"SMALLINT")),
            u"SMALLINT");
  EXPECT_EQ(script_type(t_ftd(1, u"b", VT_BOOL)), u"BIT");
}

// Logical values written as 'T' and 'F', like the console's default rule.
class letter_bool_rule : public udb_conversion_rule {
 public:
  bool is_acceptable2(const udb_field& value) override { return value.vt() == VT_BOOL; }
  bool is_acceptable1(const t_ftd& column) override { return column.vartype == VT_BOOL; }
  std::u16string handle2(const udb_field& value) override {
    return value.to_bool() ? u"'T'" : u"'F'";
  }
  void handle1_1(const t_ftd&, udb_column_desc&) override {}
  std::u16string handle1(const t_ftd&) override { return u"CHAR(1)"; }
};

TEST(mss_util_mapping, a_conversion_rule_decides_column_literal_and_default) {
  const t_ftd flag(1, u"f", VT_BOOL);
  // A logical default, and the value a NULL of a NOT NULL column takes from it.
  const t_ftd required(1, u"f", VT_BOOL, true, false, ole_variant(true));
  ole_variant null_value;
  null_value.set_null();
  const udb_field null_field(u"f", 1, null_value);
  const auto default_of = [](const t_ftd& column) {
    std::u16string definition;
    mss_append_default(definition, column);
    return definition;
  };
  EXPECT_EQ(literal(ole_variant(true), flag), u"1");
  EXPECT_EQ(default_of(required), u" DEFAULT 1");
  EXPECT_EQ(default_of(t_ftd(1, u"f", VT_BOOL, false, false, ole_variant(false))), u" DEFAULT 0");
  EXPECT_EQ(mss_get_fld_append_str(&null_field, &required), u"1");
  udb_custom_conversion rules;
  rules.add_rule(std::make_unique<letter_bool_rule>());
  EXPECT_EQ(script_type(flag), u"CHAR(1)");
  EXPECT_EQ(literal(ole_variant(true), flag), u"'T'");
  EXPECT_EQ(literal(ole_variant(false), flag), u"'F'");
  EXPECT_EQ(default_of(required), u" DEFAULT 'T'");
  EXPECT_EQ(mss_get_fld_append_str(&null_field, &required), u"'T'");
  EXPECT_EQ(literal(ole_variant(7), t_ftd(4, u"i", VT_I4)), u"7");
}

TEST(mss_util_literals, text_quotes_unicode_and_empty_values) {
  using namespace std::string_view_literals;
  EXPECT_EQ(to_mssql_str(u"O'Brien", VT_BSTR), u"N'O''Brien'");
  EXPECT_EQ(to_mssql_str(u"", VT_BSTR), u"N''");
  EXPECT_EQ(to_mssql_str(u"", VT_I4), u"''");
  EXPECT_EQ(to_mssql_str(u"\u00C9mile \u20AC", VT_BSTR), u"N'\u00C9mile \u20AC'");
  EXPECT_EQ(to_mssql_str(u"\U0001F600", VT_BSTR), u"N'\U0001F600'");
  // A NUL cannot stand inside a script's literal.
  EXPECT_EQ(to_mssql_str(u"a\0b"sv, VT_BSTR), u"N'a' + NCHAR(0) + N'b'");
  EXPECT_THROW(to_mssql_str(u"a\xD800z", VT_BSTR), tk_exception);
  {
    mss_test_facts facts;
    facts.unicode_on = false;
    EXPECT_EQ(to_mssql_str(u"O'Brien", VT_BSTR), u"'O''Brien'");
    EXPECT_EQ(to_mssql_str(u"", VT_BSTR), u"''");
  }

  const t_ftd number(4, u"n", VT_I4);
  const t_ftd text(10, u"s", VT_BSTR);
  EXPECT_EQ(literal(ole_variant(u"O'Brien"sv), text), u"N'O''Brien'");
  EXPECT_EQ(literal(ole_variant(u""sv), text), u"N''");
  EXPECT_EQ(literal(ole_variant(), number), u"NULL");
  ole_variant null_value;
  null_value.set_null();
  EXPECT_EQ(literal(null_value, text), u"NULL");
  EXPECT_EQ(literal(ole_variant(), t_ftd(4, u"n", VT_I4, true, false, ole_variant(5))), u"5");
  EXPECT_EQ(literal(null_value, t_ftd(10, u"s", VT_BSTR, true)), u"N''");
  EXPECT_EQ(literal(ole_variant(), t_ftd(4, u"n", VT_I4, true)), u"''");
  EXPECT_EQ(literal(ole_variant(-42), number), u"-42");
  EXPECT_EQ(
      literal(ole_variant(static_cast<long long>(-9007199254740993LL)), t_ftd(8, u"n", VT_I8)),
      u"-9007199254740993");
  EXPECT_EQ(literal(ole_variant(false), t_ftd(1, u"b", VT_BOOL)), u"0");
}

TEST(mss_util_literals, guids_are_recognised_only_with_their_marker) {
  EXPECT_EQ(to_mssql_str(u"guid{6F9619FF-8B86-D011-B42D-00C04FC964FF}", VT_BSTR),
            u"'6F9619FF-8B86-D011-B42D-00C04FC964FF}'");
  // Ordinary text of a GUID's length stays text, whole.
  EXPECT_EQ(to_mssql_str(u"The quick brown fox jumps over the dog", VT_BSTR),
            u"N'The quick brown fox jumps over the dog'");
  EXPECT_EQ(to_mssql_str(u"6F9619FF-8B86-D011-B42D-00C04FC964FF", VT_BSTR),
            u"N'6F9619FF-8B86-D011-B42D-00C04FC964FF'");
  EXPECT_EQ(to_mssql_str(u"my guid is not here, it's somewhere else", VT_BSTR),
            u"N'my guid is not here, it''s somewhere else'");
}

TEST(mss_util_literals, dates_are_clamped_and_null_dates_moved) {
  // DATETIME values in the one form every SET LANGUAGE and SET DATEFORMAT reads alike; a
  // value before 1753 does not fit the type.
  const t_ftd column(8, u"d", VT_DATE);
  EXPECT_EQ(literal(date(1600, 5, 1), column), u"'9999-12-30T00:00:00'");
  EXPECT_EQ(literal(date(1753, 1, 1), column), u"'1753-01-01T00:00:00'");
  EXPECT_EQ(literal(date(2017, 6, 12), column), u"'2017-06-12T00:00:00'");
  ole_systemtime st = date(2006, 4, 20).systemtime();
  st.hour = 17;
  st.minute = 13;
  st.second = 5;
  EXPECT_EQ(literal(ole_variant(st), column), u"'2006-04-20T17:13:05'");
  st.milliseconds = 7;
  EXPECT_EQ(literal(ole_variant(st), column), u"'2006-04-20T17:13:05.007'");
  EXPECT_EQ(mssql_get_safe_variant(date(1600, 5, 1)).to_wstring(), u"9999-12-30");

  // DATE holds every year from 1: leap days and the first day kept as they are.
  const t_ftd date_only(8, u"d", VT_DATE, false, false, ole_variant(), 2);
  EXPECT_EQ(literal(date(1600, 2, 29), date_only), u"'1600-02-29'");
  EXPECT_EQ(literal(date(1, 1, 1), date_only), u"'0001-01-01'");
  EXPECT_EQ(literal(date(9999, 12, 31), date_only), u"'9999-12-31'");
  EXPECT_EQ(literal(date(1900, 2, 29), date_only), u"'9999-12-30'");  // no such day
  EXPECT_EQ(mss_safe_date(date(1, 1, 1), true), date(1, 1, 1).systemtime());
  EXPECT_EQ(mss_safe_date(date(1, 1, 1), false), date(9999, 12, 30).systemtime());
  {
    // A server before 2008 has no DATE: the column is DATETIME there, and so is its literal.
    mss_test_facts facts;
    facts.version_number = 4;
    facts.connected = true;
    EXPECT_EQ(literal(date(1600, 2, 29), date_only), u"'9999-12-30T00:00:00'");
    EXPECT_EQ(literal(date(2017, 6, 12), date_only), u"'2017-06-12T00:00:00'");
  }

  // A NULL in a NOT NULL column takes the default, in the column's form; so does the default
  // of the table definition.
  const t_ftd with_default(8, u"d", VT_DATE, true, false, ole_variant(u"2001-02-03 04:05:06"));
  ole_variant null_value;
  null_value.set_null();
  const udb_field null_field(u"d", 8, null_value);
  EXPECT_EQ(mss_get_fld_append_str(&null_field, &with_default), u"'2001-02-03T04:05:06'");
  std::u16string definition;
  mss_append_default(definition, with_default);
  EXPECT_EQ(definition, u" DEFAULT '2001-02-03T04:05:06'");
  EXPECT_EQ(to_mssql_str(u"2017-06-12 14:30:00", VT_DATE), u"'2017-06-12 14:30:00'");
  // A zero date never reaches the script as such: moved to 1899-12-30 or left out as NULL.
  const std::u16string zero = to_mssql_str(u"0000-00-00", VT_DATE);
  EXPECT_TRUE(zero == u"'1899-12-30'" || zero == u"''") << tk_to_utf8(zero);
  // Not a date at all: nothing to write, so the field is NULL.
  EXPECT_EQ(to_mssql_str(u"garbage!", VT_DATE), u"''");
}

TEST(mss_util_literals, doubles_beyond_float_are_clamped) {
  const t_ftd column(8, u"r", VT_R8);
  // The clamped values in the variant's own "%.16e" form.
  EXPECT_EQ(literal(ole_variant(1e-320), column), u"2.2300000000000001e-308");
  EXPECT_EQ(literal(ole_variant(1e-320), column), ole_variant(2.23e-308).to_wstring());
  EXPECT_EQ(literal(ole_variant(-1.795e308), column), u"-1.7900000000000000e+308");
  const double infinity = std::numeric_limits<double>::infinity();
  EXPECT_EQ(literal(ole_variant(-infinity), column), u"-1.7900000000000000e+308");
  EXPECT_EQ(literal(ole_variant(-1e-320), column), u"-2.2300000000000001e-308");
  EXPECT_EQ(literal(ole_variant(0.0), column), u"0.0000000000000000e+00");
  EXPECT_EQ(literal(ole_variant(12.5), column), u"1.2500000000000000e+01");
  EXPECT_EQ(literal(ole_variant(12.5), column), ole_variant(12.5).to_wstring());
  EXPECT_EQ(literal(ole_variant(1.5f), t_ftd(4, u"r", VT_R4)), ole_variant(1.5f).to_wstring());
  EXPECT_EQ(mssql_get_safe_variant(ole_variant(infinity)).r8(), 1.79e308);
}

TEST(mss_util_literals, decimals_that_do_not_fit_take_the_largest_value) {
  const t_ftd n52(10, u"d", VT_DECIMAL, false, false, ole_variant(), prec_scale(5, 2));
  EXPECT_EQ(literal(decimal("12345.6"), n52), u"999.99");
  EXPECT_EQ(literal(decimal("-12345.6"), n52), u"-999.99");
  EXPECT_EQ(literal(decimal("123.45"), n52), u"123.45");
  EXPECT_EQ(literal(decimal("-123.4"), n52), u"-123.4");
  // More decimals than the column keeps: the server rounds, the value is not replaced.
  EXPECT_EQ(literal(decimal("1.234"), n52), u"1.234");
  const t_ftd n11(10, u"d", VT_DECIMAL, false, false, ole_variant(), prec_scale(1, 1));
  EXPECT_EQ(literal(decimal("0.5"), n11), u"0.5");
  // No precision known: written as it is.
  EXPECT_EQ(literal(decimal("12345678901234567890.5"), t_ftd(0, u"d", VT_DECIMAL)),
            u"12345678901234567890.5");

  EXPECT_EQ(gen_dec_value(&n52, false), u"999.99");
  const t_ftd n50(5, u"d", VT_DECIMAL, false, false, ole_variant(), prec_scale(5, 0));
  EXPECT_EQ(gen_dec_value(&n50, true), u"-99999.");
  const t_ftd n44(5, u"d", VT_DECIMAL, false, false, ole_variant(), prec_scale(4, 4));
  EXPECT_EQ(gen_dec_value(&n44, false), u".9999");
  EXPECT_THROW(gen_dec_value(nullptr, false), tk_mail_assertion);

  EXPECT_TRUE(check_dec_str_prec_scale(u"123.45", 5, 2));
  EXPECT_TRUE(check_dec_str_prec_scale(u"-123.45", 5, 2));
  EXPECT_FALSE(check_dec_str_prec_scale(u"1234", 5, 2));
  EXPECT_TRUE(check_dec_str_prec_scale(u"0.5", 1, 1));
}

TEST(mss_util_literals, binary_texts_stay_unquoted_only_as_numbers) {
  EXPECT_EQ(to_mssql_str(u"0x1F2E", VT_BINARY), u"0x1F2E");
  EXPECT_EQ(to_mssql_str(u"0X1f2e", VT_BLOB), u"0X1f2e");
  EXPECT_EQ(to_mssql_str(u"1234", VT_BLOB), u"1234");
  EXPECT_EQ(to_mssql_str(u"12ab", VT_BLOB), u"'12ab'");
  EXPECT_EQ(to_mssql_str(u"a'); DROP TABLE t; --", VT_BLOB), u"'a''); DROP TABLE t; --'");
  EXPECT_EQ(to_mssql_str(u"7", VT_BLOB), u"");

  ole_variant bytes;
  bytes.attach_binary(std::vector<std::uint8_t>{0x1F, 0x2E});
  EXPECT_EQ(literal(bytes, t_ftd(2, u"b", VT_BINARY)), u"0x1F2E");
  ole_variant no_bytes;
  no_bytes.attach_binary(std::vector<std::uint8_t>{});
  EXPECT_EQ(literal(no_bytes, t_ftd(2, u"b", VT_BINARY)), u"NULL");
}

TEST(mss_util_literals, missing_arguments_are_programming_errors) {
  const t_ftd column(4, u"n", VT_I4);
  const udb_field field(u"n", 4, ole_variant(1));
  EXPECT_THROW(mss_get_fld_append_str(nullptr, &column), tk_mail_assertion);
  EXPECT_THROW(mss_get_fld_append_str(&field, nullptr), tk_mail_assertion);
}

}  // namespace
