#include <gtest/gtest.h>

#include <limits>

#include "mss/mss_literal.h"
#include "mss/mss_safe_value.h"
#include "mss/mss_statement.h"
#include "mss_literal_helpers.h"
#include "mss_test_facts.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"

namespace {

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

TEST(mss_safe_value, dates_are_clamped_and_null_dates_moved) {
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

TEST(mss_safe_value, unseparated_dates_keep_every_part_and_the_clamping) {
  const auto unseparated = [](const ole_variant& value, const t_ftd& column) {
    std::string out;
    mss_append_fld_str(out, udb_field(column.name, 8, value), column, mss_date_text::unseparated);
    return out;
  };
  const t_ftd column(8, u"d", VT_DATE);
  ole_systemtime st = date(2006, 4, 20).systemtime();
  st.hour = 17;
  st.minute = 3;
  st.second = 5;
  st.milliseconds = 7;
  EXPECT_EQ(unseparated(ole_variant(st), column), "'20060420 17:03:05.007'");
  EXPECT_EQ(unseparated(date(2017, 6, 12), column), "'20170612 00:00:00'");
  EXPECT_EQ(unseparated(date(1600, 5, 1), column), "'99991230 00:00:00'");
  const t_ftd date_only(8, u"d", VT_DATE, false, false, ole_variant(), 2);
  EXPECT_EQ(unseparated(date(1, 1, 1), date_only), "'00010101'");
  EXPECT_EQ(unseparated(ole_variant(st), date_only), "'20060420 17:03:05.007'");
  // The default a NOT NULL column takes for a NULL is spelled the same way.
  const t_ftd with_default(8, u"d", VT_DATE, true, false, ole_variant(u"2001-02-03 04:05:06"));
  ole_variant null_value;
  null_value.set_null();
  EXPECT_EQ(unseparated(null_value, with_default), "'20010203 04:05:06'");
}

TEST(mss_safe_value, doubles_beyond_float_are_clamped) {
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

TEST(mss_safe_value, decimals_that_do_not_fit_take_the_largest_value) {
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

}  // namespace
