// Load names: distinct for distinct tables within the server's 128 characters, recognised at
// the next run's start, and carried through the rename's quoting whatever the name holds.
#include "mss/mss_load_name.h"

#include <gtest/gtest.h>

#include "mss/mss_names.h"

namespace {

TEST(mss_load_name, names_the_table_within_128_characters_and_keeps_long_ones_apart) {
  EXPECT_EQ(mss_load_name(u"people"), u"~quorvik~people");
  EXPECT_TRUE(mss_is_load_name(mss_load_name(u"people")));
  EXPECT_FALSE(mss_is_load_name(u"people"));
  EXPECT_FALSE(mss_is_load_name(u"~quorvik"));

  const std::u16string fits(128 - k_mss_load_prefix.size(), u'x');
  EXPECT_EQ(mss_load_name(fits), std::u16string(k_mss_load_prefix) + fits);
  // Two names that differ only past the cut still load apart, and each the same on every run.
  const std::u16string a = std::u16string(125, u'n') + u"a";
  const std::u16string b = std::u16string(125, u'n') + u"b";
  EXPECT_EQ(mss_load_name(a).size(), 128u);
  EXPECT_NE(mss_load_name(a), mss_load_name(b));
  EXPECT_EQ(mss_load_name(a), mss_load_name(a));
  EXPECT_TRUE(mss_is_load_name(mss_load_name(a)));
  // A character outside the basic plane is never cut in half.
  std::u16string wide(118, u'w');
  wide += u"\U0001D400\U0001D400\U0001D400";
  const std::u16string cut = mss_load_name(wide);
  EXPECT_LE(cut.size(), 128u);
  const char16_t before_hash = cut[cut.size() - 10];
  EXPECT_FALSE(before_hash >= 0xD800 && before_hash <= 0xDBFF) << cut.size();
}

TEST(mss_load_name, the_rename_carries_spaces_brackets_and_quotes) {
  const std::u16string name = u"Order ]Lines' 2024";
  const std::u16string load =
      mss_quote_name(u"quorvik") + u"." + mss_quote_name(mss_load_name(name));
  // The bracketed form reads back as the load name under its schema.
  std::u16string table;
  std::u16string owner;
  ASSERT_TRUE(mss_split_tab_name(load, table, owner));
  EXPECT_EQ(owner, u"quorvik");
  EXPECT_EQ(table, mss_load_name(name));
  EXPECT_EQ(mss_publish_statement(load, name),
            u"EXEC sp_rename @objname = N'[quorvik].[~quorvik~Order ]]Lines'' 2024]', "
            u"@newname = N'Order ]Lines'' 2024', @objtype = N'OBJECT'");
}

}  // namespace
