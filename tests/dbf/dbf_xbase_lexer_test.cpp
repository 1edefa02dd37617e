// Tokens of xBase expressions, function-name abbreviations, and the constants literals stand
// for, date literals above all.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "dbf/dbf_xbase_constant.h"
#include "dbf/dbf_xbase_lexer.h"
#include "dbf_xbase_print.h"

namespace {

using tk = dbf_xbase_token::kind;

// The tokens of `expr` written one after another as kind:text, the kinds as n(ame), #(number),
// s(tring), {(braces), L(ogical, text T or F), 0(null), &(and), |(or), !(not), o(perator),
// ( ) , . and >(arrow); none when the lexer refuses the text.
std::optional<std::string> lexed(std::string_view expr) {
  const auto tokens = dbf_xbase_lex(expr);
  if (!tokens) return std::nullopt;
  static constexpr std::string_view k_codes = "n#s{L0&|!o(),.>";
  std::string out;
  for (const dbf_xbase_token& t : *tokens) {
    if (t.type == tk::end) break;
    if (!out.empty()) out += ' ';
    out += k_codes.at(static_cast<std::size_t>(t.type));
    out += ':';
    out += t.type == tk::logical ? (t.truth ? "T" : "F") : std::string(t.text);
  }
  EXPECT_EQ(tokens->back().type, tk::end) << expr;
  return out;
}

TEST(DbfXbaseLexer, TokensOfExpressions) {
  struct lex_case {
    std::string expr;
    std::optional<std::string> tokens;
  };
  const std::vector<lex_case> cases = {
      {"", ""},
      {"  \t\r\n", ""},
      {"_x1 ab_9", "n:_x1 n:ab_9"},
      // The northwind rule: 0 followed by .AND., not the number "0." and a name.
      {"discount=>0.AND.discount<1", "n:discount o:=> #:0 &:.AND. n:discount o:< #:1"},
      {"a.b a->b", "n:a .:. n:b n:a >:-> n:b"},
      {".t. .F. .y. .N. .null. .Or. .not.", "L:T L:F L:T L:F 0:.null. |:.Or. !:.not."},
      {"and Or NOT !", "&:and |:Or !:NOT !:!"},
      {"12 -12.50 .5 1e3 1E+3 2e 7.", "#:12 o:- #:12.50 #:.5 #:1e3 #:1E+3 #:2 n:e #:7 .:."},
      {"'a b' \"it's\" [say \"hi\"] ''", "s:a b s:it's s:say \"hi\" s:"},
      {"{^2024-01-31}{}", "{:^2024-01-31 {:"},
      {"= == # != <> < <= =< > >= => + - * / % ^ ** $",
       "o:= o:== o:# o:!= o:<> o:< o:<= o:=< o:> o:>= o:=> o:+ o:- o:* o:/ o:% o:^ o:** o:$"},
      {"f(a,b)", "n:f (:( n:a ,:, n:b ):)"},
      // Long names in UTF-8 stay whole names.
      {"\xC3\xA9t\xC3\xA9_2024", "n:\xC3\xA9t\xC3\xA9_2024"},
      {"'open", std::nullopt},
      {"[open", std::nullopt},
      {"{^2024-01-31", std::nullopt},
      {"a ; b", std::nullopt},
      {"a @ b", std::nullopt},
      {std::string("a\0b", 3), std::nullopt},
  };
  for (const lex_case& c : cases) EXPECT_EQ(lexed(c.expr), c.tokens) << c.expr;
}

TEST(DbfXbaseLexer, FunctionNamesAndTheirAbbreviations) {
  struct row {
    std::string written;
    std::string full;
    bool names;
  };
  const std::vector<row> rows = {
      {"UPPER", "UPPER", true},       {"upper", "UPPER", true},   {"UpPe", "UPPER", true},
      {"UPP", "UPPER", false},        {"ALLT", "ALLTRIM", true},  {"alltri", "ALLTRIM", true},
      {"ALLTRIMX", "ALLTRIM", false}, {"STR", "STR", true},       {"ST", "STR", false},
      {"SUBS", "SUBSTR", true},       {"DATE", "DATETIME", true}, {"DATET", "DATE", false},
      {"DTOC", "DTOS", false},        {"", "STR", false},
  };
  for (const row& r : rows)
    EXPECT_EQ(dbf_xbase_names_function(r.written, r.full), r.names) << r.written << " " << r.full;
}

struct literal_case {
  dbf_xbase_token token;
  std::optional<dbf_constant> value;
};

dbf_constant c(dbf_constant::kind k, std::string text, bool logical = false) {
  return {k, std::move(text), logical};
}

TEST(DbfXbaseLiteral, ConstantsOfLiteralTokens) {
  using k = dbf_constant::kind;
  const auto braces = [](std::string_view text) { return dbf_xbase_token{tk::braces, text}; };
  const std::vector<literal_case> cases = {
      {{tk::number, "12.50"}, c(k::number, "12.50")},
      {{tk::string, "O'Brien"}, c(k::string, "O'Brien")},
      {{tk::logical, ".T.", true}, c(k::logical, "", true)},
      {{tk::logical, ".N.", false}, c(k::logical, "", false)},
      {{tk::null, ".NULL."}, c(k::null, "")},
      {{tk::name, "x"}, std::nullopt},
      {braces("^2024-01-31"), c(k::date, "2024-01-31")},
      {braces("^2024/1/5"), c(k::date, "2024-01-05")},
      {braces(" ^ 2024.12.31 "), c(k::date, "2024-12-31")},
      {braces("^0099-01-01"), c(k::date, "0099-01-01")},
      {braces("^2024-02-29"), c(k::date, "2024-02-29")},
      {braces("^2000-02-29"), c(k::date, "2000-02-29")},
      {braces("^1900-02-29"), std::nullopt},
      {braces("^2023-02-29"), std::nullopt},
      {braces("^2024-13-01"), std::nullopt},
      {braces("^2024-04-31"), std::nullopt},
      {braces("^0000-01-01"), std::nullopt},
      {braces("^2024-01"), std::nullopt},
      {braces("^2024-01-31x"), std::nullopt},
      {braces("^2024-01-31 10:20:30"), c(k::datetime, "2024-01-31T10:20:30")},
      {braces("^2024-01-31T10:20"), c(k::datetime, "2024-01-31T10:20:00")},
      {braces("^2024-01-31,7"), c(k::datetime, "2024-01-31T07:00:00")},
      {braces("^2024-01-31,"), c(k::datetime, "2024-01-31T00:00:00")},
      {braces("^2024-01-31 10:20:30 PM"), c(k::datetime, "2024-01-31T22:20:30")},
      {braces("^2024-01-31 12:05a"), c(k::datetime, "2024-01-31T00:05:00")},
      {braces("^2024-01-31 12:05 pm"), c(k::datetime, "2024-01-31T12:05:00")},
      {braces("^2024-01-31 13:00 PM"), std::nullopt},
      {braces("^2024-01-31 24:00"), std::nullopt},
      {braces("^2024-01-31 10:60"), std::nullopt},
      {braces("^2024-01-31 10:20:30:40"), std::nullopt},
      {braces("^2024-01-31 10:"), std::nullopt},
      {braces(""), c(k::date, "")},
      {braces("  /  /    "), c(k::date, "")},
      {braces("  /  /       :  :  "), c(k::datetime, "")},
      {braces(":"), c(k::datetime, "")},
      // Without the caret the order of the parts is the writer's SET DATE.
      {braces("01/31/2024"), std::nullopt},
      {braces("2024-01-31"), std::nullopt},
  };
  for (const literal_case& lc : cases)
    EXPECT_EQ(dbf_xbase_literal(lc.token), lc.value) << lc.token.text;
}

}  // namespace
