// Visual FoxPro view SQL into T-SQL, rule by rule: names, literals, operators, functions,
// clauses, what is refused and why, input that must never crash the translation, and the
// creation order of views.
#include "mss/mss_vfp_view.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tk/tk_encoding.h"

namespace {

using K = mss_view_kind;
using ::testing::HasSubstr;

// Server names differ from the source's so that every replacement shows.
mss_view_names names() {
  mss_view_names n;
  n.add(u"Cust", u"Customer Data")
      .add(u"Id", u"cust_id", K::number)
      .add(u"Name", u"cust_name", K::text)
      .add(u"Amount", u"amt", K::number)
      .add(u"Born", u"born_on", K::date)
      .add(u"Active", u"is_active", K::logical)
      .add(u"Remark", u"remark");
  n.add(u"Ord", u"Orders")
      .add(u"OrdId", u"order_id", K::number)
      .add(u"CustId", u"cust_ref", K::number)
      .add(u"Total", u"total", K::number);
  n.add(u"Odd", u"a]b").add(u"x", u"c]d", K::number);
  return n;
}

// The T-SQL, or "FAIL: " and the reason.
std::string tsql(std::string_view vfp) {
  const mss_view_translation t = mss_translate_vfp_view(vfp, names());
  EXPECT_NE(t.sql.empty(), t.failure.empty()) << vfp;
  return t.failure.empty() ? tk_to_utf8(t.sql) : "FAIL: " + t.failure;
}

// The WHERE clause of SELECT id FROM Cust WHERE `cond`.
std::string where(const std::string& cond) {
  const std::string sql = tsql("SELECT id FROM Cust WHERE " + cond);
  const std::string head = "SELECT [cust_id] FROM [Customer Data] WHERE ";
  return sql.rfind(head, 0) == 0 ? sql.substr(head.size()) : sql;
}

// The first column of SELECT `item` FROM Cust.
std::string item(const std::string& expr) {
  const std::string sql = tsql("SELECT " + expr + " AS x FROM Cust");
  const std::size_t from = sql.rfind(" AS [x] FROM [Customer Data]");
  return sql.rfind("SELECT ", 0) == 0 && from != std::string::npos ? sql.substr(7, from - 7) : sql;
}

TEST(mss_vfp_view_names, tables_fields_and_aliases_take_their_server_names) {
  EXPECT_EQ(tsql("SELECT Cust.Name, cust.AMOUNT FROM mydb!Cust"),
            "SELECT [Customer Data].[cust_name], [Customer Data].[amt] FROM [Customer Data]");
  EXPECT_EQ(tsql("SELECT c.name FROM Cust AS c"),
            "SELECT [c].[cust_name] FROM [Customer Data] AS [c]");
  EXPECT_EQ(tsql("SELECT c.name FROM Cust c"),
            "SELECT [c].[cust_name] FROM [Customer Data] AS [c]");
  EXPECT_EQ(tsql("SELECT mydb!cust.name FROM mydb!Cust"),
            "SELECT [Customer Data].[cust_name] FROM [Customer Data]");
  EXPECT_EQ(tsql("SELECT Odd.x FROM Odd"), "SELECT [a]]b].[c]]d] FROM [a]]b]");
  EXPECT_EQ(tsql("SELECT name, total FROM Cust JOIN Ord ON id = custid"),
            "SELECT [cust_name], [total] FROM [Customer Data] INNER JOIN [Orders] ON [cust_id] = "
            "[cust_ref]");
  EXPECT_EQ(tsql("SELECT c.*, o.total FROM Cust c LEFT OUTER JOIN Ord o ON c.id = o.custid"),
            "SELECT [c].*, [o].[total] FROM [Customer Data] AS [c] LEFT OUTER JOIN [Orders] AS [o] "
            "ON [c].[cust_id] = [o].[cust_ref]");
  EXPECT_EQ(tsql("SELECT a.id FROM Cust a, Cust b WHERE a.id = b.id"),
            "SELECT [a].[cust_id] FROM [Customer Data] AS [a], [Customer Data] AS [b] WHERE "
            "[a].[cust_id] = [b].[cust_id]");
}

TEST(mss_vfp_view_names, names_that_do_not_resolve_fail) {
  EXPECT_EQ(tsql("SELECT x FROM Nowhere"), "FAIL: unknown table Nowhere");
  EXPECT_EQ(tsql("SELECT Cust.nope FROM Cust"), "FAIL: table Cust has no field nope");
  EXPECT_EQ(tsql("SELECT nope FROM Cust"), "FAIL: unknown field nope");
  EXPECT_EQ(tsql("SELECT z.name FROM Cust"), "FAIL: unknown table or alias z");
  // Once aliased, the table's own name no longer qualifies its fields.
  EXPECT_EQ(tsql("SELECT Cust.name FROM Cust c"), "FAIL: unknown table or alias Cust");
  EXPECT_EQ(tsql("SELECT id FROM Cust a, Cust b"), "FAIL: field id is in more than one table");
  EXPECT_EQ(tsql("SELECT id FROM Cust, Cust"),
            "FAIL: table Cust appears twice in FROM without distinct aliases");
  EXPECT_EQ(tsql("SELECT a FROM dbo.Cust"),
            "FAIL: a table qualified with '.' (dbo.): not a local table");
}

TEST(mss_vfp_view_names, result_columns_are_named_and_distinct) {
  mss_view_translation t = mss_translate_vfp_view(
      "SELECT c.name, c.amount * 2, SUM(amount), COUNT(*), born AS b FROM Cust c GROUP BY 1, 2, "
      "born",
      names());
  EXPECT_EQ(tk_to_utf8(t.sql),
            "SELECT [c].[cust_name], [c].[amt] * 2 AS [exp_2], SUM([amt]) AS [sum_amount], "
            "COUNT(*) AS [cnt], [born_on] AS [b] FROM [Customer Data] AS [c] GROUP BY "
            "[c].[cust_name], [c].[amt] * 2, [born_on]");
  ASSERT_EQ(t.columns.size(), 5u);
  EXPECT_EQ(t.columns[0].field, u"Name");
  EXPECT_EQ(t.columns[0].column, u"cust_name");
  EXPECT_EQ(t.columns[1].column, u"exp_2");
  EXPECT_EQ(t.columns[2].column, u"sum_amount");
  EXPECT_EQ(t.columns[4].column, u"b");
  EXPECT_EQ(t.columns[4].kind, K::date);
  EXPECT_THAT(t.notes, ::testing::Contains("column 2 named exp_2 as Visual FoxPro names it"));
  EXPECT_EQ(tsql("SELECT c.id, o.custid AS cust_id FROM Cust c, Ord o"),
            "FAIL: two result columns named cust_id: a T-SQL view needs distinct names (give "
            "them aliases)");
  // A subquery's columns need no names.
  EXPECT_EQ(where("id IN (SELECT custid + 1 FROM Ord)"),
            "[cust_id] IN (SELECT [cust_ref] + 1 FROM [Orders])");
}

TEST(mss_vfp_view_literals, logicals_dates_and_strings) {
  EXPECT_EQ(where("active = .T. AND active # .f."), "[is_active] = 1 AND [is_active] <> 0");
  EXPECT_EQ(where("active"), "([is_active] = 1)");
  EXPECT_EQ(where(".T."), "1 = 1");
  EXPECT_EQ(where("born = {^1997/01/31}"), "[born_on] = '19970131'");
  EXPECT_EQ(where("born = {^1997-1-5}"), "[born_on] = '19970105'");
  EXPECT_EQ(where("born < {^2000-02-29 13:05:09}"), "[born_on] < '2000-02-29T13:05:09'");
  EXPECT_EQ(where("born < {^2000/02/29 1:05 PM}"), "[born_on] < '2000-02-29T13:05:00'");
  EXPECT_EQ(where("born < {^2000/02/29 12:00 AM}"), "[born_on] < '2000-02-29T00:00:00'");
  EXPECT_EQ(where("born < {^1900/02/29}"), "FAIL: date literal with no such day at offset 33");
  EXPECT_EQ(where("born < {^1997/13/01}"), "FAIL: date literal with no such day at offset 33");
  EXPECT_EQ(where("born < {^1997/12/01 25:00}"),
            "FAIL: date literal with no such time at offset 33");
  EXPECT_EQ(where("born < {^1997/12}"), "FAIL: malformed date literal at offset 33");
  EXPECT_EQ(where("born = {}"),
            "FAIL: empty date literal {} at offset 33: an empty date has no T-SQL value");
  EXPECT_EQ(where("born = {01/02/1997}"),
            "FAIL: date literal without ^ at offset 33: its meaning depends on SET DATE");
  EXPECT_EQ(where("name = \"O'Brien\" OR name = 'x' OR name = [say \"hi\"]"),
            "[cust_name] = 'O''Brien' OR [cust_name] = 'x' OR [cust_name] = 'say \"hi\"'");
  EXPECT_EQ(where("name = \"Gr\xC3\xBC\xC3\x9F\""), "[cust_name] = N'Gr\xC3\xBC\xC3\x9F'");
  EXPECT_EQ(where("amount > .5 AND amount < 1e3 AND amount <> .NULL."),
            "[amt] > .5 AND [amt] < 1e3 AND [amt] <> NULL");
  EXPECT_EQ(where("name = 'open"), "FAIL: string without its closing quote at offset 33");
}

TEST(mss_vfp_view_operators, comparisons_and_logic) {
  EXPECT_EQ(where("id # 1 OR id != 2 OR id <> 3 OR name == 'a'"),
            "[cust_id] <> 1 OR [cust_id] <> 2 OR [cust_id] <> 3 OR [cust_name] = 'a'");
  EXPECT_EQ(where("id > 1 .AND. id <= 9 .OR. .NOT. active"),
            "[cust_id] > 1 AND [cust_id] <= 9 OR NOT ([is_active] = 1)");
  EXPECT_EQ(where("NOT (id = 1 or id = 2) and !active"),
            "NOT ([cust_id] = 1 OR [cust_id] = 2) AND NOT ([is_active] = 1)");
  EXPECT_EQ(where("name LIKE 'A[1]%' AND name NOT LIKE \"_b\""),
            "[cust_name] LIKE 'A[[]1]%' AND [cust_name] NOT LIKE '_b'");
  EXPECT_EQ(where("name LIKE name"),
            "FAIL: LIKE with a pattern that is not a string: its wildcards cannot be checked");
  EXPECT_EQ(where("id IN (1, 2, 3) AND id NOT IN (4)"),
            "[cust_id] IN (1, 2, 3) AND [cust_id] NOT IN (4)");
  EXPECT_EQ(where("id BETWEEN 1 AND 5"), "[cust_id] BETWEEN 1 AND 5");
  EXPECT_EQ(where("remark IS NOT NULL"), "[remark] IS NOT NULL");
  EXPECT_EQ(where("'x' $ name"), "CHARINDEX('x', [cust_name]) > 0");
  EXPECT_EQ(where("amount"), "FAIL: a value that is not logical used as a condition: [amt]");
}

TEST(mss_vfp_view_operators, arithmetic_keeps_visual_foxpro_results) {
  // Visual FoxPro divides integers into fractions; T-SQL would truncate int / int.
  EXPECT_EQ(item("id / 4"), "[cust_id] / 4.0");
  EXPECT_EQ(item("id / 2.5"), "[cust_id] / 2.5");
  EXPECT_EQ(item("id / amount"), "[cust_id] / CAST([amt] AS float)");
  EXPECT_EQ(item("-id * 2 + amount ^ 2 - 1"), "-[cust_id] * 2 + POWER([amt], 2) - 1");
  EXPECT_EQ(item("name + 'x'"), "[cust_name] + 'x'");
  EXPECT_EQ(item("born + 1"), "[born_on] + 1");
  EXPECT_EQ(item("id % 3"),
            "FAIL: '%': Visual FoxPro's modulus takes the divisor's sign, T-SQL's the dividend's");
  EXPECT_EQ(item("name - 'x'"),
            "FAIL: '-' between strings: it moves trailing blanks, T-SQL has no such operator");
  EXPECT_EQ(item("born - born"), "FAIL: date minus date: Visual FoxPro gives days, T-SQL a date");
  EXPECT_EQ(item("id = 1"), "CAST(CASE WHEN [cust_id] = 1 THEN 1 ELSE 0 END AS bit)");
}

TEST(mss_vfp_view_functions, rewritten_into_their_t_sql_forms) {
  EXPECT_EQ(item("ALLTRIM(name)"), "LTRIM(RTRIM([cust_name]))");
  EXPECT_EQ(item("allt(name)"), "LTRIM(RTRIM([cust_name]))");  // abbreviated to four letters
  EXPECT_EQ(item("TRIM(name) + LTRIM(name)"), "RTRIM([cust_name]) + LTRIM([cust_name])");
  EXPECT_EQ(item("NVL(amount, 0)"), "ISNULL([amt], 0)");
  EXPECT_EQ(item("IIF(active, 'yes', \"no\")"),
            "CASE WHEN ([is_active] = 1) THEN 'yes' ELSE 'no' END");
  EXPECT_EQ(item("IIF(amount > 5, amount, 0)"), "CASE WHEN [amt] > 5 THEN [amt] ELSE 0 END");
  EXPECT_EQ(item("INT(amount / 3)"), "CAST(ROUND([amt] / 3.0, 0, 1) AS bigint)");
  EXPECT_EQ(item("YEAR(born) * 100 + MONTH(born)"), "YEAR([born_on]) * 100 + MONTH([born_on])");
  EXPECT_EQ(item("UPPER(LEFT(name, 2)) + LOWER(RIGHT(name, 1))"),
            "UPPER(LEFT([cust_name], 2)) + LOWER(RIGHT([cust_name], 1))");
  EXPECT_EQ(item("SUBSTR(name, 2, 3) + SUBSTR(name, 4)"),
            "SUBSTRING([cust_name], 2, 3) + SUBSTRING([cust_name], 4, 2147483647)");
  EXPECT_EQ(item("STR(amount, 10, 2)"), "STR([amt], 10, 2)");
  EXPECT_EQ(item("DTOS(born)"), "CONVERT(char(8), [born_on], 112)");
  EXPECT_EQ(where("BETWEEN(born, {^1997/01/01}, {^1997/12/31})"),
            "([born_on] BETWEEN '19970101' AND '19971231')");
  EXPECT_EQ(where("INLIST(id, 1, 2)"), "([cust_id] IN (1, 2))");
  EXPECT_EQ(where("ISNULL(remark)"), "([remark] IS NULL)");
  const mss_view_translation len =
      mss_translate_vfp_view("SELECT LEN(name) AS n FROM Cust", names());
  EXPECT_EQ(tk_to_utf8(len.sql), "SELECT LEN([cust_name]) AS [n] FROM [Customer Data]");
  EXPECT_EQ(len.notes, std::vector<std::string>{
                           "LEN() counts trailing blanks in Visual FoxPro, not in T-SQL"});
}

TEST(mss_vfp_view_functions, empty_tests_what_each_type_calls_empty) {
  EXPECT_EQ(where("EMPTY(name)"), "([cust_name] IS NULL OR [cust_name] = '')");
  EXPECT_EQ(where("EMPTY(amount)"), "([amt] IS NULL OR [amt] = 0)");
  EXPECT_EQ(where("EMPTY(active)"), "([is_active] IS NULL OR [is_active] = 0)");
  EXPECT_EQ(where("NOT EMPTY(born)"), "NOT ([born_on] IS NULL)");
  // ISNULL(born, '') would turn '' into 1900-01-01 and never be NULL.
  EXPECT_EQ(where("NOT EMPTY(NVL(born, \"\"))"), "NOT ([born_on] IS NULL)");
  EXPECT_EQ(where("EMPTY(NVL(name, 'x'))"),
            "(ISNULL([cust_name], 'x') IS NULL OR ISNULL([cust_name], 'x') = '')");
  EXPECT_EQ(where("EMPTY(remark)"), "FAIL: EMPTY() of a value whose type is not known: [remark]");
}

TEST(mss_vfp_view_functions, unknown_or_different_functions_fail) {
  EXPECT_EQ(item("PADR(name, 3)"), "FAIL: function PADR() has no T-SQL translation");
  EXPECT_EQ(item("CTOD('01/02/03')"), "FAIL: function CTOD() has no T-SQL translation");
  EXPECT_EQ(
      item("MOD(id, 2)"),
      "FAIL: MOD(): Visual FoxPro's modulus takes the divisor's sign, T-SQL's the dividend's");
  EXPECT_EQ(item("ALLTRIM(name, 1)"), "FAIL: ALLTRIM() with 2 arguments");
  EXPECT_EQ(item("SUM(SUM(id))"), "FAIL: an aggregate inside SUM()");
}

TEST(mss_vfp_view_clauses, distinct_top_order_group_having_union) {
  EXPECT_EQ(tsql("SELECT DISTINCT name FROM Cust"),
            "SELECT DISTINCT [cust_name] FROM [Customer Data]");
  // Visual FoxPro's TOP keeps the rows that tie with the last one.
  EXPECT_EQ(tsql("SELECT TOP 5 name FROM Cust ORDER BY amount DESC, 1"),
            "SELECT TOP (5) WITH TIES [cust_name] FROM [Customer Data] ORDER BY [amt] DESC, 1");
  EXPECT_EQ(tsql("SELECT TOP 10 PERCENT name AS n FROM Cust ORDER BY n"),
            "SELECT TOP (10) PERCENT WITH TIES [cust_name] AS [n] FROM [Customer Data] ORDER BY "
            "[n]");
  EXPECT_EQ(tsql("SELECT TOP 5 name FROM Cust"), "FAIL: TOP without ORDER BY");
  const mss_view_translation dropped =
      mss_translate_vfp_view("SELECT name FROM Cust ORDER BY name", names());
  EXPECT_EQ(tk_to_utf8(dropped.sql), "SELECT [cust_name] FROM [Customer Data]");
  EXPECT_EQ(dropped.notes,
            std::vector<std::string>{"ORDER BY dropped: T-SQL views take it only with TOP"});
  EXPECT_EQ(tsql("SELECT YEAR(born) AS y, SUM(amount) AS s FROM Cust GROUP BY y HAVING s > 10"),
            "SELECT YEAR([born_on]) AS [y], SUM([amt]) AS [s] FROM [Customer Data] GROUP BY "
            "YEAR([born_on]) HAVING SUM([amt]) > 10");
  EXPECT_EQ(tsql("SELECT id AS amount FROM Cust GROUP BY amount"),
            "FAIL: GROUP BY amount names both a field and a result column");
  EXPECT_EQ(tsql("SELECT SUM(id) AS s FROM Cust GROUP BY s"),
            "FAIL: GROUP BY s names an aggregate");
  EXPECT_EQ(tsql("SELECT id FROM Cust GROUP BY 2"), "FAIL: column number 2 out of range");
  EXPECT_EQ(tsql("SELECT name FROM Cust UNION ALL SELECT 'x' FROM Ord"),
            "SELECT [cust_name] FROM [Customer Data] UNION ALL SELECT 'x' FROM [Orders]");
  EXPECT_EQ(tsql("SELECT TOP 1 name FROM Cust UNION SELECT 'x' FROM Ord ORDER BY 1"),
            "FAIL: TOP with UNION: which rows it keeps differs in T-SQL");
}

TEST(mss_vfp_view_clauses, subqueries_see_their_own_and_outer_tables) {
  EXPECT_EQ(where("amount > (SELECT AVG(total) FROM Ord WHERE custid = id)"),
            "[amt] > (SELECT AVG([total]) FROM [Orders] WHERE [cust_ref] = [cust_id])");
  EXPECT_EQ(
      where("EXISTS (SELECT * FROM Ord o WHERE o.custid = Cust.id)"),
      "EXISTS (SELECT * FROM [Orders] AS [o] WHERE [o].[cust_ref] = [Customer Data].[cust_id])");
  EXPECT_EQ(where("amount > ALL (SELECT total FROM Ord)"),
            "[amt] > ALL (SELECT [total] FROM [Orders])");
  EXPECT_EQ(tsql("SELECT x.id FROM (SELECT id FROM Cust) x"), "FAIL: a subquery in FROM");
  EXPECT_EQ(where("id IN (SELECT custid FROM Ord ORDER BY 1)"), "FAIL: ORDER BY in a subquery");
}

TEST(mss_vfp_view_clauses, continuation_lines_comments_and_blanks) {
  EXPECT_EQ(tsql("SELECT name ;\r\n  FROM Cust ;\r\n\tWHERE id = 1"),
            "SELECT [cust_name] FROM [Customer Data] WHERE [cust_id] = 1");
  EXPECT_EQ(tsql("SELECT name\nFROM Cust && the customers\nWHERE id = 1 ;"),
            "SELECT [cust_name] FROM [Customer Data] WHERE [cust_id] = 1");
  EXPECT_EQ(tsql("SELECT name ; FROM Cust"), "FAIL: ';' inside a line at offset 12");
}

TEST(mss_vfp_view_clauses, what_a_view_cannot_be_fails_with_the_reason) {
  EXPECT_EQ(tsql("SELECT name FROM Cust WHERE id = ?pid"),
            "FAIL: view parameter (?) at offset 33: T-SQL views take no parameters");
  EXPECT_EQ(tsql("SELECT name FROM &tab"),
            "FAIL: macro substitution (&) at offset 17: its text is known only when the view runs");
  EXPECT_EQ(tsql("SELECT name FROM Cust INTO CURSOR c"),
            "FAIL: clause INTO has no place in a T-SQL view");
  EXPECT_EQ(tsql("SELECT name FROM Cust NOFILTER"),
            "FAIL: clause NOFILTER has no place in a T-SQL view");
  EXPECT_EQ(tsql("SELECT name"), "FAIL: SELECT without FROM");
  EXPECT_EQ(tsql("UPDATE Cust SET name = 'x'"),
            "FAIL: unexpected 'UPDATE' at offset 0 (expected SELECT)");
  EXPECT_EQ(tsql("SELECT name FROM Cust WHERE"),
            "FAIL: unexpected end of the text (expected a value)");
  EXPECT_EQ(tsql("SELECT name FROM Cust WHERE id = 1)"), "FAIL: unexpected ')' at offset 34");
  EXPECT_EQ(tsql(std::string("SELECT name FROM Cust WHERE name = '\xFF'")),
            "FAIL: the text is not UTF-8");
}

// Every prefix of real and hand-made views, random token soup and random bytes: each comes
// back as SQL or as a failure, never as an exception or a crash.
TEST(mss_vfp_view_robustness, truncated_and_random_input_never_throws) {
  const std::vector<std::string> seeds = {
      "SELECT c.name, SUM(o.total) AS s FROM mydb!Cust c LEFT JOIN Ord o ON c.id = o.custid "
      "WHERE BETWEEN(c.born, {^1997/01/01}, {^1997/12/31 10:00 PM}) AND NOT "
      "EMPTY(NVL(c.born,\"\")) "
      "GROUP BY c.name HAVING s > 1 ORDER BY 2 DESC",
      "SELECT TOP 3 IIF(active, 'a', [b]) AS f, INT(amount/3) FROM Cust WHERE id IN (SELECT "
      "custid FROM Ord WHERE total # 0) ORDER BY f",
      "SELECT name FROM Cust UNION ALL SELECT 'x' FROM Ord ;\r\n"};
  std::size_t translated = 0;
  for (const std::string& seed : seeds) {
    ASSERT_EQ(mss_translate_vfp_view(seed, names()).failure, "") << seed;
    for (std::size_t n = 0; n <= seed.size(); ++n) {
      const mss_view_translation t = mss_translate_vfp_view(seed.substr(0, n), names());
      EXPECT_NE(t.sql.empty(), t.failure.empty()) << seed.substr(0, n);
      if (t.failure.empty()) ++translated;
    }
  }
  EXPECT_GT(translated, 3u);  // some prefixes are whole queries

  const std::vector<std::string> soup = {
      "SELECT", "FROM",        "WHERE", "Cust",  "Ord",  "c",     ".",       ",",    "(",
      ")",      "(",           ")",     "id",    "name", "*",     "/",       "+",    "-",
      "=",      "#",           "AND",   ".NOT.", "NOT",  "IN",    "BETWEEN", "LIKE", "'x'",
      "1",      "{^2000/1/1}", "{",     "}",     "IIF",  "EMPTY", "NVL",     "SUM",  "GROUP",
      "BY",     "ORDER",       "TOP",   "UNION", "JOIN", "ON",    "AS",      "!",    "mydb",
      ";",      "\r\n",        "[",     "\"",    "^",    "?",     "IS",      "NULL"};
  std::mt19937 rng(20240611);
  for (int round = 0; round < 3000; ++round) {
    std::string text = round % 2 == 0 ? "SELECT " : "";
    const int count = static_cast<int>(rng() % 40);
    for (int i = 0; i < count; ++i) text += soup[rng() % soup.size()] + (rng() % 3 ? " " : "");
    const mss_view_translation t = mss_translate_vfp_view(text, names());
    EXPECT_NE(t.sql.empty(), t.failure.empty()) << text;
  }
  for (int round = 0; round < 500; ++round) {
    std::string bytes(rng() % 64, '\0');
    for (char& c : bytes) c = static_cast<char>(rng() % 256);
    const mss_view_translation t = mss_translate_vfp_view(bytes, names());
    EXPECT_NE(t.sql.empty(), t.failure.empty());
  }
  // Nesting deep enough to exhaust the stack is refused first.
  const std::string deep =
      "SELECT " + std::string(100000, '(') + "1" + std::string(100000, ')') + " AS x FROM Cust";
  EXPECT_EQ(mss_translate_vfp_view(deep, names()).failure, "expression nested too deeply");
}

mss_view_translation reading(std::vector<std::u16string> uses) {
  mss_view_translation t;
  t.sql = u"SELECT 1";
  t.uses = std::move(uses);
  return t;
}

TEST(mss_vfp_view_order, views_follow_the_views_they_read) {
  // c reads b, b reads a; d reads a table only.
  const std::vector<mss_view_translation> views = {reading({u"B"}), reading({u"[a]", u"T"}),
                                                   reading({u"t"}), reading({})};
  EXPECT_EQ(mss_view_order(views, {u"c", u"b", u"d", u"a"}),
            (std::vector<std::size_t>{2, 3, 1, 0}));
  EXPECT_EQ(mss_view_order({}, {}), std::vector<std::size_t>{});
}

TEST(mss_vfp_view_order, cycles_and_self_reads_keep_input_order) {
  const std::vector<mss_view_translation> views = {reading({u"y"}), reading({u"x"}),
                                                   reading({u"z"}), reading({})};
  // x and y read each other; z reads itself; w is free and goes first among the stuck.
  EXPECT_EQ(mss_view_order(views, {u"x", u"y", u"z", u"w"}),
            (std::vector<std::size_t>{2, 3, 0, 1}));
}

}  // namespace
