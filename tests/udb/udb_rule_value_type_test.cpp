#include <gtest/gtest.h>

#include <memory>

#include "udb/udb_custom_conversion.h"
#include "udb/udb_field.h"

namespace {

// A rule taking values of one type, declaring that type or not.
class one_type_rule : public udb_conversion_rule {
 public:
  one_type_rule(ole_vartype vt, bool declared) : vt_(vt), declared_(declared) {}
  bool is_acceptable2(const udb_field& value) override { return value.get_type() == vt_; }
  ole_vartype accepted_value_type() const override { return declared_ ? vt_ : VT_EMPTY; }
  bool is_acceptable1(const t_ftd&) override { return false; }
  std::u16string handle2(const udb_field&) override { return u"x"; }
  void handle1_1(const t_ftd&, udb_column_desc&) override {}
  std::u16string handle1(const t_ftd&) override { return {}; }

 private:
  ole_vartype vt_;
  bool declared_;
};

TEST(udb_rule_value_type, only_declared_types_pass_the_quick_test) {
  EXPECT_FALSE(udb_custom_conversion::may_accept2(VT_BOOL));
  udb_custom_conversion rules;
  EXPECT_FALSE(udb_custom_conversion::may_accept2(VT_BOOL));
  rules.add_rule(std::make_unique<one_type_rule>(VT_BOOL, true));
  rules.add_rule(std::make_unique<one_type_rule>(VT_DATE, true));
  EXPECT_TRUE(udb_custom_conversion::may_accept2(VT_BOOL));
  EXPECT_TRUE(udb_custom_conversion::may_accept2(VT_DATE));
  for (const ole_vartype vt : {VT_EMPTY, VT_NULL, VT_I4, VT_BSTR, VT_DECIMAL, VT_BINARY})
    EXPECT_FALSE(udb_custom_conversion::may_accept2(vt)) << vt;
  // Every value the quick test turns away is one no rule accepts.
  for (const ole_vartype vt : {VT_I4, VT_BSTR}) {
    udb_field value(u"f", 0, ole_variant());
    if (vt == VT_I4) value.set_i4(1);
    if (vt == VT_BSTR) value.set_text(u"T");
    EXPECT_FALSE(udb_custom_conversion::is_acceptable2(value));
  }
}

TEST(udb_rule_value_type, an_undeclared_or_unusual_type_lets_every_value_through) {
  udb_custom_conversion rules;
  rules.add_rule(std::make_unique<one_type_rule>(VT_BOOL, true));
  rules.add_rule(std::make_unique<one_type_rule>(VT_I4, false));
  EXPECT_TRUE(udb_custom_conversion::may_accept2(VT_I4));
  EXPECT_TRUE(udb_custom_conversion::may_accept2(VT_BSTR));
}

TEST(udb_rule_value_type, a_binary_type_declared_is_never_turned_away) {
  udb_custom_conversion rules;
  rules.add_rule(std::make_unique<one_type_rule>(VT_BINARY, true));
  EXPECT_TRUE(udb_custom_conversion::may_accept2(VT_BINARY));
}

// A rule with its literal ready as ASCII for one value type.
class ready_rule : public one_type_rule {
 public:
  using one_type_rule::one_type_rule;
  std::string_view ascii_literal2(const udb_field&) override { return "'R'"; }
};

TEST(udb_rule_value_type, ready_literals_come_from_the_first_accepting_rule) {
  udb_field flag(u"f", 1, ole_variant(true));
  udb_field number(u"n", 4, ole_variant(5));
  EXPECT_EQ(udb_custom_conversion::ascii_literal2(flag), "");
  udb_custom_conversion rules;
  rules.add_rule(std::make_unique<one_type_rule>(VT_BOOL, true));
  rules.add_rule(std::make_unique<ready_rule>(VT_BOOL, true));
  rules.add_rule(std::make_unique<ready_rule>(VT_I4, true));
  // The first rule taking a flag has no ready literal: handle2 answers for it.
  EXPECT_EQ(udb_custom_conversion::ascii_literal2(flag), "");
  EXPECT_EQ(udb_custom_conversion::handle2(flag), u"x");
  EXPECT_EQ(udb_custom_conversion::ascii_literal2(number), "'R'");
  udb_field text(u"s", 1, ole_variant(u"T"));
  EXPECT_EQ(udb_custom_conversion::ascii_literal2(text), "");
}

}  // namespace
