#include <gtest/gtest.h>

#include "mss/mss_refine_view.h"

namespace {

TEST(mss_refine_view, functions_of_other_dialects_become_tsql) {
  EXPECT_EQ(refine_view(u"SELECT now() AS t"), u"SELECT getdate() AS t");
  EXPECT_EQ(refine_view(u"SELECT isnull(a) FROM t"), u"SELECT (a) is null FROM t");
  EXPECT_EQ(refine_view(u"SELECT from_unixtime(t) FROM x"),
            u"SELECT DateAdd(ss,(t),'01-01-1970') FROM x");
  EXPECT_EQ(refine_view(u"SELECT curdate() FROM x"), u"SELECT cast(getdate() as date) FROM x");
  EXPECT_EQ(refine_view(u"SELECT curtime() FROM x"), u"SELECT convert(time, getdate()) FROM x");
  EXPECT_EQ(refine_view(u"SELECT NOW(),CurDate() FROM x"),
            u"SELECT getdate(),cast(getdate() as date) FROM x");
  EXPECT_EQ(refine_view(u"SELECT IFNULL(a,0), ifnull(b,1) FROM t"),
            u"SELECT ISNULL(a,0), isnull(b,1) FROM t");
}

TEST(mss_refine_view, back_quotes_strings_and_nesting) {
  EXPECT_EQ(refine_view(u"SELECT a FROM `t`"), u"SELECT a FROM [t]");
  EXPECT_EQ(refine_view(u"SELECT `a`,`b` FROM `my table`"), u"SELECT [a],[b] FROM [my table]");
  // Inside a string nothing is rewritten.
  EXPECT_EQ(refine_view(u"SELECT 'now() `x`' FROM t"), u"SELECT 'now() `x`' FROM t");
  // A character-set prefix of a string is dropped.
  EXPECT_EQ(refine_view(u"SELECT _utf8'abc' FROM t"), u"SELECT 'abc' FROM t");
  // The suffix replaces the parenthesis closing the function, not an inner one.
  EXPECT_EQ(refine_view(u"SELECT isnull(f(a)) FROM t"), u"SELECT (f(a)) is null FROM t");
  // The first token is never rewritten.
  EXPECT_EQ(refine_view(u"now() x"), u"now() x");
}

TEST(mss_refine_view, keyword_comparer_needs_a_following_character) {
  const icomparer now(u"now");
  EXPECT_TRUE(now(u" NOW(", 1));
  EXPECT_FALSE(now(u" now", 1));
  EXPECT_FALSE(now(u" no", 1));
  EXPECT_FALSE(now(u"x", 5));
}

}  // namespace
