// The T-SQL of index keys, filters and the duplicate-key probe both writers share.
#include <gtest/gtest.h>

#include "mss/mss_index_sql.h"
#include "mss_test_facts.h"

namespace {

using term = udb_index_filter_term;

udb_schema schema() {
  udb_schema out;
  out.push_back(t_ftd(20, u"name", VT_BSTR));
  out.push_back(t_ftd(4, u"qty", VT_I4));
  out.push_back(t_ftd(8, u"shipped", VT_DATE));
  out.push_back(t_ftd(1, u"active", VT_BOOL));
  return out;
}

term make(std::u16string column, term::op relation, term::kind kind = term::kind::null,
          std::u16string text = {}, bool logical = false) {
  term t;
  t.column = std::move(column);
  t.relation = relation;
  t.value_kind = kind;
  t.text = std::move(text);
  t.logical = logical;
  return t;
}

std::optional<std::u16string> render(std::vector<term> terms) {
  udb_index_filter filter;
  filter.terms = std::move(terms);
  // Renamed columns show that every column passes through the namer.
  return mss_index_filter_sql(filter, schema(), [](const std::u16string& column) {
    return column == u"NAME" ? std::u16string(u"name") : column;
  });
}

TEST(mss_index_sql, keys_carry_their_direction) {
  EXPECT_EQ(mss_index_key_list({u"a", u"b]c"}, false), u"[a], [b]]c]");
  EXPECT_EQ(mss_index_key_list({u"a", u"b"}, true), u"[a] DESC, [b] DESC");
}

TEST(mss_index_sql, filters_render_each_kind_of_constant) {
  mss_test_facts facts;
  EXPECT_EQ(render({}), u"");
  EXPECT_EQ(render({make(u"qty", term::op::gt, term::kind::number, u"-10.5"),
                    make(u"NAME", term::op::eq, term::kind::string, u"O'Neil")}),
            u"[qty] > -10.5 AND [name] = N'O''Neil'");
  EXPECT_EQ(render({make(u"shipped", term::op::ge, term::kind::date, u"2024-01-31"),
                    make(u"shipped", term::op::lt, term::kind::datetime, u"2024-02-01T10:20:30")}),
            u"[shipped] >= '2024-01-31' AND [shipped] < '2024-02-01T10:20:30'");
  EXPECT_EQ(render({make(u"active", term::op::ne, term::kind::logical, {}, true),
                    make(u"active", term::op::is_true), make(u"active", term::op::is_false)}),
            u"[active] <> 1 AND [active] = 1 AND [active] = 0");
}

TEST(mss_index_sql, not_empty_depends_on_the_column_type) {
  mss_test_facts facts;
  EXPECT_EQ(render({make(u"name", term::op::not_empty), make(u"qty", term::op::not_empty)}),
            u"[name] <> N'' AND [qty] IS NOT NULL");
  // A blank date is NULL in the table.
  EXPECT_EQ(render({make(u"shipped", term::op::eq, term::kind::date)}), u"[shipped] IS NULL");
  EXPECT_EQ(render({make(u"shipped", term::op::ne, term::kind::date)}), u"[shipped] IS NOT NULL");
}

TEST(mss_index_sql, terms_without_a_form_give_none) {
  mss_test_facts facts;
  EXPECT_FALSE(render({make(u"shipped", term::op::gt, term::kind::date)}));
  EXPECT_FALSE(render({make(u"qty", term::op::eq, term::kind::null)}));
  EXPECT_FALSE(render({make(u"qty", term::op::eq, term::kind::number, u"1;DROP")}));
  // One bad term spoils the whole filter rather than widen it silently.
  EXPECT_FALSE(render({make(u"qty", term::op::eq, term::kind::number, u"1"),
                       make(u"qty", term::op::eq, term::kind::number, u"1e")}));
}

TEST(mss_index_sql, statements_and_the_duplicate_probe) {
  EXPECT_EQ(mss_index_statement(u"ix", u"[dbo].[t]", u"[a] DESC", true, u"[a] IS NOT NULL"),
            u"CREATE UNIQUE INDEX [ix] ON [dbo].[t]([a] DESC) WHERE [a] IS NOT NULL");
  EXPECT_EQ(mss_index_statement(u"ix", u"[dbo].[t]", u"[a]", false, u""),
            u"CREATE INDEX [ix] ON [dbo].[t]([a])");
  EXPECT_EQ(mss_duplicate_keys_query(u"1", u"[t]", u"[a], [b]", u""),
            u"SELECT 1 FROM [t] GROUP BY [a], [b] HAVING COUNT(*) > 1");
  EXPECT_EQ(mss_duplicate_keys_query(u"TOP 1 [a]", u"[t]", u"[a]", u"[a] > 1"),
            u"SELECT TOP 1 [a] FROM [t] WHERE [a] > 1 GROUP BY [a] HAVING COUNT(*) > 1");
}

}  // namespace
