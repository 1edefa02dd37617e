#include "udb/udb_validator.h"

#include <gtest/gtest.h>

#include "tk/tk_exception.h"

namespace {

TEST(udb_validator, length_limit_cuts_and_then_counts_in_five_digits) {
  udb_validator v(10);
  EXPECT_TRUE(v.is_acceptable(u"ABCDEFGHIJ"));  // exactly the maximum passes
  EXPECT_FALSE(v.is_acceptable(u"ABCDEFGHIJK"));
  EXPECT_EQ(v.get_safe_name(u"ABCDEFGHIJKL"), u"ABCDEFGHI");
  v.add_existing_name(u"ABCDEFGHI");
  EXPECT_EQ(v.get_safe_name(u"ABCDEFGHIJKL"), u"ABCD00000");
  v.add_existing_name(u"abcd00000");  // duplicates are found ignoring case
  EXPECT_EQ(v.get_safe_name(u"ABCDEFGHIJKL"), u"ABCD00001");
}

TEST(udb_validator, without_rules_only_duplicates_are_renamed) {
  udb_validator v(0);
  const std::u16string long_name(300, u'x');
  EXPECT_TRUE(v.is_acceptable(long_name));
  EXPECT_EQ(v.get_safe_name(long_name), long_name);
  EXPECT_TRUE(v.is_acceptable(u"select"));
  v.add_existing_name(u"Order");
  EXPECT_TRUE(v.is_duplicated(u"ORDER"));
  EXPECT_FALSE(v.is_duplicated(u"Orders"));
  EXPECT_EQ(v.get_safe_name(u"ORDER"), u"ORDER00000");
}

TEST(udb_validator, empty_names_are_never_acceptable) {
  udb_validator v(0);
  EXPECT_FALSE(v.is_acceptable(u""));
  EXPECT_EQ(v.get_safe_name(u""), u"00000");
}

TEST(udb_validator, checks_length_then_reserved_words_then_characters) {
  udb_validator v(8);
  v.add_restricted_name(u"Select");
  v.add_illegal_char(u'-');
  v.add_illegal_char(u' ');
  EXPECT_FALSE(v.is_acceptable(u"SELECT"));
  EXPECT_FALSE(v.is_acceptable(u"a-b"));
  EXPECT_FALSE(v.is_acceptable(u"a b"));
  EXPECT_TRUE(v.is_acceptable(u"a_b"));
  EXPECT_EQ(v.get_safe_name(u"first-name"), u"first_n");
  // Too long for a counter after it: cut to two characters so the result stays within 8.
  EXPECT_EQ(v.get_safe_name(u"select"), u"se00000");
}

TEST(udb_validator, illegal_characters_become_underscores) {
  udb_validator v(0);
  v.add_illegal_char(u'-');
  EXPECT_EQ(v.get_safe_name(u"first-name"), u"first_name");
  EXPECT_EQ(v.get_safe_name(u"a--b-"), u"a__b_");
}

// The safe name goes through the overridden rules of a derived validator.
class digits_first_validator : public udb_validator {
 public:
  digits_first_validator() : udb_validator(0) {}
  bool is_acceptable(std::u16string_view name) override {
    return udb_validator::is_acceptable(name) && !(name[0] >= u'0' && name[0] <= u'9') &&
           name != u"t00000";
  }
};

TEST(udb_validator, safe_names_use_the_derived_rules) {
  digits_first_validator v;
  v.add_existing_name(u"t");
  EXPECT_EQ(v.get_safe_name(u"t"), u"t00001");
}

TEST(udb_validator, cutting_never_splits_a_surrogate_pair) {
  udb_validator v(4);
  // 'a', 'b', then U+1F600 as two units, then 'c': cutting to 3 units would split the pair.
  const std::u16string name = u"ab\U0001F600c";
  EXPECT_EQ(v.get_safe_name(name), u"ab");
}

TEST(udb_validator, a_limit_too_short_for_the_counter_is_an_internal_error) {
  udb_validator v(3);
  v.add_existing_name(u"ab");
  EXPECT_THROW(v.get_safe_name(u"ab"), tk_mail_assertion);
}

}  // namespace
