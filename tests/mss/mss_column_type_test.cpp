#include <gtest/gtest.h>

#include <memory>

#include "mss/mss_column_type.h"
#include "mss/mss_dmp_database.h"
#include "mss/mss_statement.h"
#include "mss_literal_helpers.h"
#include "mss_test_facts.h"
#include "udb/udb_custom_conversion.h"

namespace {

// The script's type text, through a writer on a scratch file.
std::u16string script_type(const t_ftd& column) {
  mss_dump_options options;
  options.b_comments = false;
  mss_dmp_database db(u"/dev/null", options);
  return db.get_native_type(column);
}

TEST(mss_column_type, text_and_binary_sizes_at_the_limits) {
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

TEST(mss_column_type, decimals_currency_dates_and_special_columns) {
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

TEST(mss_column_type, a_conversion_rule_decides_column_literal_and_default) {
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

}  // namespace
