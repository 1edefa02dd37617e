// Visual FoxPro field and row rules as CHECK conditions: the xBase forms the container stores
// (dotted operators, "=>", the clock), columns by their server names and unqualified, and what
// a check cannot hold refused with the reason.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "mss/mss_vfp_view.h"
#include "tk/tk_encoding.h"

namespace {

using K = mss_view_kind;

mss_view_source order_lines() {
  mss_view_source s{u"OrderDetails", u"[dbo].[Order Lines]", {}};
  s.add(u"Discount", u"disc", K::number)
      .add(u"Quantity", u"qty", K::number)
      .add(u"Shipped", u"shipped_on", K::date)
      .add(u"Note", u"note", K::text)
      .add(u"Paid", u"is_paid", K::logical);
  return s;
}

std::string check(std::string_view rule) {
  const mss_view_translation t = mss_translate_vfp_condition(rule, order_lines());
  EXPECT_NE(t.sql.empty(), t.failure.empty()) << rule;
  return t.failure.empty() ? tk_to_utf8(t.sql) : "FAIL: " + t.failure;
}

TEST(mss_vfp_condition, the_rules_containers_store) {
  // Northwind's own rules, as its container spells them.
  EXPECT_EQ(check("discount=>0.AND.discount<1"), "[disc] >= 0 AND [disc] < 1");
  EXPECT_EQ(check("quantity>0"), "[qty] > 0");
  EXPECT_EQ(check("shipped<DATE()"), "[shipped_on] < CAST(GETDATE() AS date)");
  EXPECT_EQ(check("shipped <= DATETIME()"), "[shipped_on] <= GETDATE()");
  EXPECT_EQ(check("quantity =< 100 .OR. .NOT. paid"), "[qty] <= 100 OR NOT ([is_paid] = 1)");
  // Text compares without its trailing blanks, so a blank field is '' as EMPTY() says.
  EXPECT_EQ(check("!EMPTY(note)"), "NOT ([note] IS NULL OR [note] = '')");
  EXPECT_EQ(check("BETWEEN(discount, 0, 0.5)"), "([disc] BETWEEN 0 AND 0.5)");
  EXPECT_EQ(check("INLIST(quantity, 1, 2, 3)"), "([qty] IN (1, 2, 3))");
  // A logical field alone is a condition; the table's own name may qualify a field.
  EXPECT_EQ(check("paid"), "([is_paid] = 1)");
  EXPECT_EQ(check("orderdetails.quantity # 0"), "[qty] <> 0");
  // A number before a dotted operator stays a number.
  EXPECT_EQ(check("1.5<discount.AND.discount<2."), "1.5 < [disc] AND [disc] < 2.");
}

TEST(mss_vfp_condition, what_a_check_cannot_hold_fails_with_the_reason) {
  EXPECT_EQ(check("quantity > (SELECT MAX(qty) FROM x)"),
            "FAIL: a subquery: a T-SQL check takes none");
  EXPECT_EQ(check("SUM(quantity) > 0"), "FAIL: an aggregate in a rule");
  EXPECT_EQ(check("myvalidate(quantity)"), "FAIL: function myvalidate() has no T-SQL translation");
  EXPECT_EQ(check("price > 0"), "FAIL: unknown field price");
  EXPECT_EQ(check("quantity > 0 quantity"), "FAIL: unexpected 'quantity' at offset 13");
  EXPECT_EQ(check(""), "FAIL: unexpected end of the text (expected a value)");
  EXPECT_EQ(check("DATE(1)"), "FAIL: DATE() with 1 arguments");
  // Random text never throws and never yields both a condition and a failure.
  std::mt19937 rng(77);
  const std::string soup[] = {"quantity", "(",    ")",      ".AND.",         "=>",
                              "0.",       "!",    "EMPTY",  "note",          "'",
                              "#",        "DATE", "SELECT", "{^2024-01-31}", ","};
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (int i = static_cast<int>(rng() % 12); i > 0; --i) text += soup[rng() % 15] + " ";
    const mss_view_translation t = mss_translate_vfp_condition(text, order_lines());
    EXPECT_NE(t.sql.empty(), t.failure.empty()) << text;
  }
}

}  // namespace
