#include "udb/udb_custom_conversion.h"

#include <gtest/gtest.h>

#include "tk/tk_exception.h"
#include "udb/t_ftd.h"
#include "udb/udb_field.h"

namespace {

int g_rules_destroyed = 0;

// Accepts values and columns of one type; answers with its own tag.
class typed_rule : public udb_conversion_rule {
 public:
  typed_rule(ole_vartype vt, std::u16string tag) : vt_(vt), tag_(std::move(tag)) {}
  ~typed_rule() override { ++g_rules_destroyed; }
  bool is_acceptable2(const udb_field& value) override { return value.get_type() == vt_; }
  bool is_acceptable1(const t_ftd& column) override { return column.vartype == vt_; }
  std::u16string handle2(const udb_field&) override { return tag_; }
  void handle1_1(const t_ftd&, udb_column_desc& desc) override { desc.type_name = tag_; }
  std::u16string handle1(const t_ftd&) override { return tag_; }

 private:
  ole_vartype vt_;
  std::u16string tag_;
};

TEST(udb_custom_conversion, without_a_list_or_rules_nothing_applies) {
  const udb_field value(u"flag", 1, ole_variant(true));
  const t_ftd column(1, u"flag", VT_BOOL);
  udb_column_desc desc;
  desc.type_name = u"bit";
  ASSERT_EQ(udb_custom_conversion::instance_ptr(), nullptr);
  EXPECT_FALSE(udb_custom_conversion::is_acceptable1(column));
  EXPECT_FALSE(udb_custom_conversion::is_acceptable2(value));
  EXPECT_EQ(udb_custom_conversion::handle2(value), u"");
  EXPECT_EQ(udb_custom_conversion::handle1(column), u"");
  udb_custom_conversion::handle1_1(column, desc);

  udb_custom_conversion rules;
  EXPECT_FALSE(udb_custom_conversion::is_acceptable1(column));
  EXPECT_FALSE(udb_custom_conversion::is_acceptable2(value));
  EXPECT_EQ(udb_custom_conversion::handle2(value), u"");
  udb_custom_conversion::handle1_1(column, desc);
  EXPECT_EQ(desc.type_name, u"bit");
}

TEST(udb_custom_conversion, the_first_accepting_rule_wins_and_rules_are_released) {
  g_rules_destroyed = 0;
  {
    udb_custom_conversion rules;
    rules.add_rule(std::make_unique<typed_rule>(VT_I4, u"int rule"));
    rules.add_rule(std::make_unique<typed_rule>(VT_BOOL, u"first bool rule"));
    rules.add_rule(std::make_unique<typed_rule>(VT_BOOL, u"second bool rule"));

    const udb_field flag(u"flag", 1, ole_variant(true));
    EXPECT_TRUE(udb_custom_conversion::is_acceptable2(flag));
    EXPECT_EQ(udb_custom_conversion::handle2(flag), u"first bool rule");

    udb_column_desc desc;
    udb_custom_conversion::handle1_1(t_ftd(1, u"flag", VT_BOOL), desc);
    EXPECT_EQ(desc.type_name, u"first bool rule");
    EXPECT_EQ(udb_custom_conversion::handle1(t_ftd(1, u"flag", VT_BOOL)), u"first bool rule");
    EXPECT_EQ(udb_custom_conversion::handle1(t_ftd(8, u"when", VT_DATE)), u"");
    udb_column_desc untouched;
    udb_custom_conversion::handle1_1(t_ftd(8, u"when", VT_DATE), untouched);
    EXPECT_TRUE(untouched.type_name.empty());

    // Rules exist but none takes a text value: asking anyway is an internal error.
    const udb_field text(u"name", 5, ole_variant(u"Smith"));
    EXPECT_FALSE(udb_custom_conversion::is_acceptable2(text));
    EXPECT_THROW(udb_custom_conversion::handle2(text), tk_mail_assertion);
    EXPECT_EQ(g_rules_destroyed, 0);
  }
  EXPECT_EQ(g_rules_destroyed, 3);
  EXPECT_EQ(udb_custom_conversion::instance_ptr(), nullptr);
}

}  // namespace
