// Index keys, FOR filters and field defaults read from xBase expressions: what translates,
// what does not, and that no text, however broken, makes a reader crash or hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "dbf/dbf_xbase_expr.h"
#include "dbf/dbf_xbase_parser.h"
#include "dbf_xbase_print.h"

namespace {

using keys = std::vector<std::string>;
using ck = dbf_constant::kind;
using rel = dbf_filter_term::op;

const std::vector<std::string> k_fields = {
    "Name",   "LastName", "FirstName", "city",     "Birth", "Stamp",
    "Amount", "Qty",      "active",    "deleted_", "CODE",  std::string(128, 'L') + "x"};

struct key_case {
  std::string expr;
  std::optional<keys> expected;
};

TEST(DbfXbaseKey, FieldsOfKeyExpressions) {
  const std::string long_name = std::string(128, 'L') + "x";
  const std::vector<key_case> cases = {
      // Plain fields, spelt as the table spells them whatever the expression's case.
      {"name", keys{"Name"}},
      {"  LASTNAME  ", keys{"LastName"}},
      {"lastname+firstname", keys{"LastName", "FirstName"}},
      {"customers.city", keys{"city"}},
      {"c -> city + c.name", keys{"city", "Name"}},
      {"(lastname)+(firstname)", keys{"LastName", "FirstName"}},
      {std::string(128, 'l') + "X", keys{long_name}},
      // Wrappers, nested and abbreviated.
      {"UPPER(lastname)", keys{"LastName"}},
      {"ALLTRIM(UPPER(lastname))", keys{"LastName"}},
      {"upper(alltrim(lastname))+lower(firstname)", keys{"LastName", "FirstName"}},
      {"UPPE(ALLT(lastname))", keys{"LastName"}},
      {"LTRIM(RTRIM(TRIM(name)))", keys{"Name"}},
      {"DTOS(birth)+STR(qty)", keys{"Birth", "Qty"}},
      {"STR(amount,10,2)+DTOC(birth,1)+TTOC(stamp,1)", keys{"Amount", "Birth", "Stamp"}},
      {"PADL(code,10,'0')+PADR(name,20)+PADC(city,30,[*])", keys{"CODE", "Name", "city"}},
      {"BINTOC(qty)+BINTOC(amount,8)", keys{"Qty", "Amount"}},
      {"LEFT(name,10)", keys{"Name"}},
      {"SUBSTR(name,1,10)+SUBS(city,1)", keys{"Name", "city"}},
      {"SUBSTR(name,1.0,10)", keys{"Name"}},
      {"STR(qty,-5)", keys{"Qty"}},
      {"UPPER(lastname+firstname)", keys{"LastName", "FirstName"}},
      // What does not translate.
      {"", std::nullopt},
      {"name+name", std::nullopt},
      {"UPPER(name)+LOWER(NAME)", std::nullopt},
      {"unknown", std::nullopt},
      {"name+unknown", std::nullopt},
      {"SUBSTR(name,2,10)", std::nullopt},
      {"SUBSTR(name,1,qty)", std::nullopt},
      {"SUBSTR(name)", std::nullopt},
      {"LEFT(name,qty)", std::nullopt},
      {"LEFT(name)", std::nullopt},
      {"LEFT(name,1.5)", std::nullopt},
      {"STR(qty,len)", std::nullopt},
      {"UPPER(name,1)", std::nullopt},
      {"UPPER()", std::nullopt},
      {"UPP(name)", std::nullopt},
      {"IIF(active,name,city)", std::nullopt},
      {"RIGHT(name,3)", std::nullopt},
      {"DELETED()", std::nullopt},
      {"qty*2", std::nullopt},
      {"amount-qty", std::nullopt},
      {"-qty", std::nullopt},
      {"name+'x'", std::nullopt},
      {"'x'", std::nullopt},
      {"name,city", std::nullopt},
      {"name city", std::nullopt},
      {"UPPER(name", std::nullopt},
      {"name)", std::nullopt},
      {"a.", std::nullopt},
      {"a->", std::nullopt},
      {"name = 'x'", std::nullopt},
      {"!active", std::nullopt},
  };
  for (const key_case& c : cases)
    EXPECT_EQ(dbf_translate_key(c.expr, k_fields), c.expected) << c.expr;
}

TEST(DbfXbaseKey, EmptyFieldListMatchesNothing) {
  EXPECT_EQ(dbf_translate_key("name", {}), std::nullopt);
}

dbf_filter_term term(std::string field, rel r, dbf_constant value = {}) {
  return {std::move(field), r, std::move(value)};
}

dbf_filter terms(std::vector<dbf_filter_term> t) {
  return {false, std::move(t)};
}

dbf_constant num(std::string text) {
  return {ck::number, std::move(text), false};
}
dbf_constant str(std::string text) {
  return {ck::string, std::move(text), false};
}

struct filter_case {
  std::string expr;
  std::optional<dbf_filter> expected;
};

TEST(DbfXbaseFilter, ConditionsOfForClauses) {
  const dbf_filter not_deleted{true, {}};
  const std::vector<filter_case> cases = {
      {"!DELETED()", not_deleted},
      {"NOT DELETED()", not_deleted},
      {".NOT. DELETED()", not_deleted},
      {"!dele()", not_deleted},
      {"not deleted ( )", not_deleted},
      {"!(DELETED())", not_deleted},
      {"!DELETED() AND !DELETED()", not_deleted},
      {"!EMPTY(name)", terms({term("Name", rel::not_empty)})},
      {"NOT EMPTY(name)", terms({term("Name", rel::not_empty)})},
      {".not.empt(name)", terms({term("Name", rel::not_empty)})},
      {"qty = 5", terms({term("Qty", rel::eq, num("5"))})},
      {"qty == 5", terms({term("Qty", rel::eq, num("5"))})},
      {"qty # 5", terms({term("Qty", rel::ne, num("5"))})},
      {"qty != 5", terms({term("Qty", rel::ne, num("5"))})},
      {"qty <> 5", terms({term("Qty", rel::ne, num("5"))})},
      {"qty < -12.50", terms({term("Qty", rel::lt, num("-12.50"))})},
      {"qty <= 5", terms({term("Qty", rel::le, num("5"))})},
      {"qty =< 5", terms({term("Qty", rel::le, num("5"))})},
      {"qty > +5", terms({term("Qty", rel::gt, num("5"))})},
      {"qty >= 5", terms({term("Qty", rel::ge, num("5"))})},
      {"qty => 5", terms({term("Qty", rel::ge, num("5"))})},
      // The constant on the left: the relation seen from the field.
      {"5 < qty", terms({term("Qty", rel::gt, num("5"))})},
      {"5 >= qty", terms({term("Qty", rel::le, num("5"))})},
      {"'x' # name", terms({term("Name", rel::ne, str("x"))})},
      {"city = 'Paris'", terms({term("city", rel::eq, str("Paris"))})},
      {"city = \"O'Hare\"", terms({term("city", rel::eq, str("O'Hare"))})},
      {"city = [say \"x\"]", terms({term("city", rel::eq, str("say \"x\""))})},
      {"birth >= {^2024-01-31}", terms({term("Birth", rel::ge, {ck::date, "2024-01-31", false})})},
      {"birth < {^2024/01/31}", terms({term("Birth", rel::lt, {ck::date, "2024-01-31", false})})},
      {"stamp > {^2024-01-31 10:20:30}",
       terms({term("Stamp", rel::gt, {ck::datetime, "2024-01-31T10:20:30", false})})},
      {"birth # {}", terms({term("Birth", rel::ne, {ck::date, "", false})})},
      {"birth = {  /  /    }", terms({term("Birth", rel::eq, {ck::date, "", false})})},
      {"active = .T.", terms({term("active", rel::eq, {ck::logical, "", true})})},
      {"active = .n.", terms({term("active", rel::eq, {ck::logical, "", false})})},
      {"code = .NULL.", terms({term("CODE", rel::eq, {ck::null, "", false})})},
      {"active", terms({term("active", rel::is_true)})},
      {"!active", terms({term("active", rel::is_false)})},
      {"NOT NOT active", terms({term("active", rel::is_true)})},
      {"x.active", terms({term("active", rel::is_true)})},
      // NOT turns a comparison round.
      {"!(qty = 5)", terms({term("Qty", rel::ne, num("5"))})},
      {"NOT qty < 5", terms({term("Qty", rel::ge, num("5"))})},
      {".NOT.(qty >= 5)", terms({term("Qty", rel::lt, num("5"))})},
      {"!(5 < qty)", terms({term("Qty", rel::le, num("5"))})},
      {"!(qty # 5)", terms({term("Qty", rel::eq, num("5"))})},
      // Conjunctions; !DELETED() beside other terms leaves them alone.
      {"qty > 0 AND qty < 10",
       terms({term("Qty", rel::gt, num("0")), term("Qty", rel::lt, num("10"))})},
      {"!DELETED() .AND. active", terms({term("active", rel::is_true)})},
      {"active and !empty(name) .and. not deleted() and city='X'",
       terms({term("active", rel::is_true), term("Name", rel::not_empty),
              term("city", rel::eq, str("X"))})},
      {"(qty > 0) AND (active AND city == 'A')",
       terms({term("Qty", rel::gt, num("0")), term("active", rel::is_true),
              term("city", rel::eq, str("A"))})},
      // What does not translate.
      {"", std::nullopt},
      {"DELETED()", std::nullopt},
      {"EMPTY(name)", std::nullopt},
      {"!EMPTY(UPPER(name))", std::nullopt},
      {"!EMPTY(unknown)", std::nullopt},
      {"!EMPTY(name, city)", std::nullopt},
      {"!DELETED(1)", std::nullopt},
      {"qty > 0 OR active", std::nullopt},
      {"qty > 0 .OR. active", std::nullopt},
      {"!(qty > 0 AND active)", std::nullopt},
      {"qty = amount", std::nullopt},
      {"5 = 5", std::nullopt},
      {"UPPER(name) = 'X'", std::nullopt},
      {"name $ 'abc'", std::nullopt},
      {"qty + 1 > 5", std::nullopt},
      {"qty > 5 + 1", std::nullopt},
      {"qty > --5", std::nullopt},
      {"qty > -(5)", terms({term("Qty", rel::gt, num("-5"))})},
      {"birth < DATE()", std::nullopt},
      {"birth < {01/31/2024}", std::nullopt},
      {"unknown = 5", std::nullopt},
      {"unknown", std::nullopt},
      {".T.", std::nullopt},
      {"qty > 0 AND", std::nullopt},
      {"AND qty > 0", std::nullopt},
      {"qty > 0 AND OR active", std::nullopt},
      {"qty = ", std::nullopt},
      {"IIF(active, .T., .F.)", std::nullopt},
  };
  for (const filter_case& c : cases)
    EXPECT_EQ(dbf_translate_filter(c.expr, k_fields), c.expected) << c.expr;
}

// Field validation rules of the northwind container (northwind.dct): the same language, and
// the shape the filter reader takes.
TEST(DbfXbaseFilter, RulesOfTheNorthwindContainer) {
  const std::vector<std::string> order_details = {"orderid", "productid", "unitprice", "quantity",
                                                  "discount"};
  const std::vector<std::string> products = {
      "productid", "productname",  "supplierid",   "categoryid",   "quantityperunit",
      "unitprice", "unitsinstock", "unitsonorder", "reorderlevel", "discontinued"};
  const std::vector<std::string> employees = {"employeeid", "lastname", "firstname", "birthdate"};
  struct rule {
    std::string expr;
    std::vector<std::string> fields;
    std::optional<dbf_filter> expected;
  };
  const std::vector<rule> rules = {
      {"discount=>0.AND.discount<1", order_details,
       terms({term("discount", rel::ge, num("0")), term("discount", rel::lt, num("1"))})},
      {"quantity>0", order_details, terms({term("quantity", rel::gt, num("0"))})},
      {"unitprice=>0", order_details, terms({term("unitprice", rel::ge, num("0"))})},
      {"unitsinstock=>0", products, terms({term("unitsinstock", rel::ge, num("0"))})},
      {"unitsonorder=>0", products, terms({term("unitsonorder", rel::ge, num("0"))})},
      {"reorderlevel=>0", products, terms({term("reorderlevel", rel::ge, num("0"))})},
      {"birthdate<DATE()", employees, std::nullopt},
  };
  for (const rule& r : rules)
    EXPECT_EQ(dbf_translate_filter(r.expr, r.fields), r.expected) << r.expr;
}

struct default_case {
  std::string expr;
  std::optional<dbf_default> expected;
};

dbf_default constant(dbf_constant c) {
  return {dbf_default::kind::constant, std::move(c)};
}

TEST(DbfXbaseDefault, DefaultsOfFields) {
  const dbf_default today{dbf_default::kind::today, {}};
  const dbf_default now{dbf_default::kind::now, {}};
  const std::vector<default_case> cases = {
      // The defaults the northwind container holds.
      {"0", constant(num("0"))},
      {"1", constant(num("1"))},
      {".F.", constant({ck::logical, "", false})},
      // The one of the FoxPro test container: a stored procedure.
      {"newid()", std::nullopt},
      {"-12.50", constant(num("-12.50"))},
      {" ( 42 ) ", constant(num("42"))},
      {"'abc'", constant(str("abc"))},
      {"\"\"", constant(str(""))},
      {"[a'b\"c]", constant(str("a'b\"c"))},
      {".t.", constant({ck::logical, "", true})},
      {".NULL.", constant({ck::null, "", false})},
      {"{^2024-01-31}", constant({ck::date, "2024-01-31", false})},
      {"{^2024-01-31 10:20:30}", constant({ck::datetime, "2024-01-31T10:20:30", false})},
      {"{}", constant({ck::date, "", false})},
      {"DATE()", today},
      {"date( )", today},
      {"DATETIME()", now},
      {"DATET()", now},
      {"datetim()", now},
      {"DATE(2024,1,31)", constant({ck::date, "2024-01-31", false})},
      {"DATETIME(2024,1,31,10,20,30)", constant({ck::datetime, "2024-01-31T10:20:30", false})},
      {"DATETIME(2024,1,31)", constant({ck::datetime, "2024-01-31T00:00:00", false})},
      {"DATETIME(2024,1,31,10)", constant({ck::datetime, "2024-01-31T10:00:00", false})},
      // What does not translate.
      {"", std::nullopt},
      {"TIME()", std::nullopt},
      {"DAT()", std::nullopt},
      {"DATE(2024,2,30)", std::nullopt},
      {"DATE(2024,1)", std::nullopt},
      {"DATE(2024,1,31,1)", std::nullopt},
      {"DATE(2024,1,x)", std::nullopt},
      {"DATE(2024,1,1.5)", std::nullopt},
      {"DATETIME(2024,1,31,24)", std::nullopt},
      {"DATETIME(2024,1,31,1,2,3,4)", std::nullopt},
      {"DATE() + 1", std::nullopt},
      {"1 + 1", std::nullopt},
      {"--1", std::nullopt},
      {"-'a'", std::nullopt},
      {"field", std::nullopt},
      {"{01/31/2024}", std::nullopt},
      {"'a' 'b'", std::nullopt},
  };
  for (const default_case& c : cases)
    EXPECT_EQ(dbf_translate_default(c.expr), c.expected) << c.expr;
}

TEST(DbfXbaseParser, PrecedenceAsFoxProReadsIt) {
  // NOT binds looser than a comparison, AND tighter than OR.
  const auto tree = dbf_xbase_parse("!a = 1 OR b AND c");
  ASSERT_TRUE(tree);
  using op = dbf_xbase_node::op;
  const dbf_xbase_node& root = tree->root();
  EXPECT_EQ(root.oper, op::or_);
  const dbf_xbase_node& left = tree->child(root, 0);
  EXPECT_EQ(left.oper, op::not_);
  EXPECT_EQ(tree->child(left, 0).oper, op::eq);
  EXPECT_EQ(tree->child(root, 1).oper, op::and_);
  // * before +, operators of one level from the left.
  const auto sum = dbf_xbase_parse("a - b - c * d");
  ASSERT_TRUE(sum);
  EXPECT_EQ(sum->root().oper, op::sub);
  EXPECT_EQ(sum->child(sum->root(), 0).oper, op::sub);
  EXPECT_EQ(sum->child(sum->root(), 1).oper, op::mul);
}

TEST(DbfXbaseParser, DeepNestingFailsInsteadOfOverflowing) {
  const int depth = 100000;
  const std::string parens = std::string(depth, '(') + "name" + std::string(depth, ')');
  EXPECT_EQ(dbf_translate_key(parens, k_fields), std::nullopt);
  EXPECT_EQ(dbf_translate_filter(std::string(depth, '!') + "active", k_fields), std::nullopt);
  EXPECT_EQ(dbf_translate_default(std::string(depth, '-') + "1"), std::nullopt);
  std::string calls;
  for (int i = 0; i < depth; ++i) calls += "UPPER(";
  calls += "name" + std::string(depth, ')');
  EXPECT_EQ(dbf_translate_key(calls, k_fields), std::nullopt);
  std::string chain = "name";
  for (int i = 0; i < depth; ++i) chain += "+name";
  EXPECT_EQ(dbf_translate_key(chain, k_fields), std::nullopt);
  std::string conj = "active";
  for (int i = 0; i < depth; ++i) conj += " AND active";
  EXPECT_EQ(dbf_translate_filter(conj, k_fields), std::nullopt);
  // Within the bounds expressions still read: 60 levels of parentheses, and the longest keys
  // the formats hold, some 120 fields joined.
  const std::string shallow = std::string(60, '(') + "name" + std::string(60, ')');
  EXPECT_EQ(dbf_translate_key(shallow, k_fields), keys{"Name"});
  EXPECT_EQ(dbf_translate_key(std::string(100, '(') + "name" + std::string(100, ')'), k_fields),
            std::nullopt);
  keys many;
  std::string joined;
  for (int i = 0; i < 120; ++i) {
    many.push_back(std::string(1, static_cast<char>('a' + i % 26)) + std::to_string(i / 26));
    joined += (i ? "+" : "") + many.back();
  }
  EXPECT_EQ(dbf_translate_key(joined, many), many);
}

// Random bytes, random token soup and every prefix of real expressions: the readers answer
// something for each and never read past the text (the sanitizer build checks that).
TEST(DbfXbaseParser, ArbitraryTextNeverBreaksTheReaders) {
  std::mt19937 rng(20240131);
  std::vector<std::string> inputs;
  const std::vector<std::string> seeds = {
      "ALLTRIM(UPPER(customerid))",
      "STR(orderid)+STR(productid)",
      "discount=>0.AND.discount<1",
      "!DELETED() AND stamp > {^2024-01-31 10:20:30} .AND. city = [x]",
      "DATETIME(2024,1,31,10,20,30)",
      "c->name + c.city + SUBSTR(name,1,10)",
      "NOT EMPTY(name) AND active <> .T. AND code # .NULL.",
  };
  for (const std::string& s : seeds)
    for (std::size_t n = 0; n <= s.size(); ++n) inputs.push_back(s.substr(0, n));
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 64);
  for (int i = 0; i < 300; ++i) {
    std::string s(static_cast<std::size_t>(length(rng)), '\0');
    for (char& c : s) c = static_cast<char>(byte(rng));
    inputs.push_back(std::move(s));
  }
  const std::vector<std::string> pieces = {"(",      ")",
                                           ",",      "name",
                                           "qty",    "UPPER",
                                           "SUBS",   "DATE",
                                           "!",      ".NOT.",
                                           " AND ",  " OR ",
                                           "=",      "==",
                                           "<>",     "=>",
                                           "+",      "-",
                                           "*",      "'s'",
                                           "[s",     "{^2024-01-31}",
                                           "{",      ".T.",
                                           ".NULL.", "1",
                                           ".5",     "->",
                                           ".",      "DELETED()",
                                           "EMPTY("};
  std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
  for (int i = 0; i < 300; ++i) {
    std::string s;
    const int n = length(rng) / 2;
    for (int j = 0; j < n; ++j) s += pieces[piece(rng)];
    inputs.push_back(std::move(s));
  }
  std::size_t keys_read = 0;
  std::size_t filters_read = 0;
  for (const std::string& s : inputs) {
    // Each answer, when there is one, names only fields of the table.
    if (const auto k = dbf_translate_key(s, k_fields)) {
      ++keys_read;
      for (const std::string& f : *k)
        EXPECT_NE(std::find(k_fields.begin(), k_fields.end(), f), k_fields.end()) << s;
    }
    if (const auto f = dbf_translate_filter(s, k_fields)) {
      ++filters_read;
      EXPECT_TRUE(f->not_deleted_only || !f->terms.empty()) << s;
    }
    static_cast<void>(dbf_translate_default(s));
  }
  // The prefixes of the seeds include whole expressions that do translate.
  EXPECT_GT(keys_read, 0u);
  EXPECT_GT(filters_read, 0u);
}

}  // namespace
