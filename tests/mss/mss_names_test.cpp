#include <gtest/gtest.h>

#include "mss/mss_engine.h"
#include "mss/mss_names.h"
#include "mss/mss_validator.h"
#include "mss_test_facts.h"
#include "udb/udb_schema.h"

namespace {

std::pair<std::u16string, std::u16string> split(std::u16string_view name) {
  std::u16string table = u"junk";
  std::u16string owner = u"junk";
  EXPECT_TRUE(mss_split_tab_name(name, table, owner));
  return {table, owner};
}

TEST(mss_names, acceptable_names_start_with_a_letter_or_underscore_unless_bracketed) {
  mss_validator v;
  EXPECT_FALSE(v.is_acceptable(u"1Table"));
  EXPECT_FALSE(v.is_acceptable(u"$x"));
  EXPECT_FALSE(v.is_acceptable(u"[1Table"));
  EXPECT_TRUE(v.is_acceptable(u"_x"));
  EXPECT_TRUE(v.is_acceptable(u"\u00C9mile"));
  EXPECT_TRUE(v.is_acceptable(u"\u0416\u0443\u043A"));
  EXPECT_TRUE(v.is_acceptable(u"[1Table]"));
  // A letter outside the basic plane is still a letter.
  EXPECT_TRUE(v.is_acceptable(u"\U0001D400bc"));
  EXPECT_FALSE(v.is_acceptable(u""));
}

TEST(mss_names, duplicates_get_prefixes_in_turn_and_other_names_stay) {
  mss_tn_validator v({u"Orders"}, {u"_orders"});
  EXPECT_EQ(v.get_safe_name(u"orders"), u"1_orders");
  mss_tn_validator only_first({u"Orders"}, {});
  EXPECT_EQ(only_first.get_safe_name(u"orders"), u"_orders");
  mss_tn_validator chain({u"T", u"_T", u"1_T", u"_1_T"}, {});
  EXPECT_EQ(chain.get_safe_name(u"t"), u"2_1_t");
  // Not acceptable but not taken: unchanged, since every statement brackets it.
  EXPECT_EQ(only_first.get_safe_name(u"1Table"), u"1Table");
}

TEST(mss_names, column_validator_takes_only_acceptable_columns) {
  udb_schema schema;
  schema.push_back(t_ftd(4, u"id", 3));
  schema.push_back(t_ftd(4, u"1st", 3));
  mss_fn_validator v(schema);
  ASSERT_EQ(v.existing_names().size(), 1u);
  EXPECT_EQ(v.existing_names()[0], u"id");
  EXPECT_EQ(v.get_safe_name(u"ID"), u"_ID");
}

TEST(mss_names, quoting_doubles_closing_brackets_and_keeps_bracketed_names) {
  EXPECT_EQ(mss_quote_name(u"a"), u"[a]");
  EXPECT_EQ(mss_quote_name(u"[a]"), u"[a]");
  EXPECT_EQ(mss_quote_name(u"a]b"), u"[a]]b]");
  EXPECT_EQ(mss_quote_name(u"[dbo].[T]"), u"[dbo].[T]");
  EXPECT_EQ(mss_quote_name(u"[a]]b]"), u"[a]]b]");
  // Looks bracketed but is not well formed: the whole text is one name.
  EXPECT_EQ(mss_quote_name(u"[a]b]"), u"[[a]]b]]]");
  EXPECT_EQ(mss_quote_name(u"[x]; DROP TABLE y; --]"), u"[[x]]; DROP TABLE y; --]]]");
  EXPECT_EQ(mss_quote_name(u"["), u"[[]");
}

TEST(mss_names, splitting_understands_brackets_doubled_brackets_and_short_names) {
  EXPECT_EQ(split(u"[dbo].[T]"), std::make_pair(std::u16string(u"T"), std::u16string(u"dbo")));
  EXPECT_EQ(split(u"[My.Table]"), std::make_pair(std::u16string(u"My.Table"), std::u16string()));
  EXPECT_EQ(split(u"ab"), std::make_pair(std::u16string(u"ab"), std::u16string()));
  EXPECT_EQ(split(u"[a]].[b]"), std::make_pair(std::u16string(u"a].[b"), std::u16string()));
  EXPECT_EQ(split(u"[o]]x].[t]]y]"),
            std::make_pair(std::u16string(u"t]y"), std::u16string(u"o]x")));
  // Without an engine a dotted name is a simple name.
  EXPECT_EQ(split(u"sales.Orders"),
            std::make_pair(std::u16string(u"sales.Orders"), std::u16string()));
}

TEST(mss_names, a_name_holding_a_bracket_is_quoted_and_split_back) {
  const std::u16string name = u"we]ird";
  const std::u16string owner = u"o]wn";
  const std::u16string qualified = mss_quote_name(owner) + u"." + mss_quote_name(name);
  EXPECT_EQ(qualified, u"[o]]wn].[we]]ird]");
  EXPECT_EQ(split(qualified), std::make_pair(name, owner));
  EXPECT_EQ(mss_get_safe_tname(qualified, nullptr), qualified);
  EXPECT_EQ(mss_get_safe_tname(name, nullptr), u"[dbo].[we]]ird]");
}

TEST(mss_names, safe_table_names_follow_the_login) {
  mss_test_facts facts;
  EXPECT_EQ(mss_get_safe_tname(u"Customers", &facts), u"[dbo].[Customers]");
  EXPECT_EQ(mss_get_safe_tname(u"[sales].[Orders]", &facts), u"[sales].[Orders]");
  facts.login = u"SA";
  EXPECT_EQ(mss_get_safe_tname(u"orders", &facts), u"[dbo].[orders]");
  facts.login = u"bob";
  EXPECT_EQ(mss_get_safe_tname(u"orders", &facts), u"[bob].[orders]");
  EXPECT_EQ(mss_get_safe_tname(u"[sales].[orders]", &facts), u"[sales].[orders]");
  facts.dbo = true;
  EXPECT_EQ(mss_get_safe_tname(u"orders", &facts), u"[dbo].[orders]");
  facts.dbo = false;
  facts.login = u"j]smith";
  EXPECT_EQ(mss_get_safe_tname(u"orders", &facts), u"[j]]smith].[orders]");
  // Views not owned: an unbracketed dotted name carries its owner.
  facts.view_owned = false;
  EXPECT_EQ(mss_get_safe_tname(u"sales.Orders", &facts), u"[sales].[Orders]");
  facts.view_owned = true;
  EXPECT_EQ(mss_get_safe_tname(u"sales.Orders", &facts), u"[j]]smith].[sales.Orders]");
}

TEST(mss_names, the_engine_starts_unconnected_with_unicode_on) {
  mss_engine engine;
  EXPECT_EQ(mss_server_facts::instance_ptr(), &engine);
  EXPECT_EQ(&mss_engine::instance(), &engine);
  EXPECT_FALSE(engine.is_initialized());
  EXPECT_TRUE(engine.unicode());
  EXPECT_TRUE(engine.is_view_owned());
  EXPECT_EQ(engine.version(), 0);
  EXPECT_EQ(engine.get_safe_tname(u"sales.Orders"), u"[dbo].[sales.Orders]");
}

}  // namespace
