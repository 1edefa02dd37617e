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

// A token written as its kind and text; logical tokens as "T" or "F".
struct tok {
  tk type;
  std::string text;
  friend bool operator==(const tok&, const tok&) = default;
};

std::ostream& operator<<(std::ostream& os, const tok& t) {
  return os << static_cast<int>(t.type) << ":'" << t.text << "'";
}

std::optional<std::vector<tok>> lexed(std::string_view expr) {
  const auto tokens = dbf_xbase_lex(expr);
  if (!tokens) return std::nullopt;
  std::vector<tok> out;
  for (const dbf_xbase_token& t : *tokens) {
    if (t.type == tk::end) break;
    out.push_back({t.type, t.type == tk::logical ? (t.truth ? "T" : "F") : std::string(t.text)});
  }
  EXPECT_EQ(tokens->back().type, tk::end) << expr;
  return out;
}

struct lex_case {
  std::string expr;
  std::optional<std::vector<tok>> tokens;
};

TEST(DbfXbaseLexer, TokensOfExpressions) {
  const std::vector<lex_case> cases = {
      {"", std::vector<tok>{}},
      {"  \t\r\n", std::vector<tok>{}},
      {"name", std::vector<tok>{{tk::name, "name"}}},
      {"_x1 ab_9", std::vector<tok>{{tk::name, "_x1"}, {tk::name, "ab_9"}}},
      // The northwind rule: 0 followed by .AND., not the number "0." and a name.
      {"discount=>0.AND.discount<1", std::vector<tok>{{tk::name, "discount"},
                                                      {tk::op, "=>"},
                                                      {tk::number, "0"},
                                                      {tk::op_and, ".AND."},
                                                      {tk::name, "discount"},
                                                      {tk::op, "<"},
                                                      {tk::number, "1"}}},
      {"a.b a->b", std::vector<tok>{{tk::name, "a"},
                                    {tk::dot, "."},
                                    {tk::name, "b"},
                                    {tk::name, "a"},
                                    {tk::arrow, "->"},
                                    {tk::name, "b"}}},
      {".t. .F. .y. .N. .null. .Or. .not.", std::vector<tok>{{tk::logical, "T"},
                                                             {tk::logical, "F"},
                                                             {tk::logical, "T"},
                                                             {tk::logical, "F"},
                                                             {tk::null, ".null."},
                                                             {tk::op_or, ".Or."},
                                                             {tk::op_not, ".not."}}},
      {"and Or NOT !",
       std::vector<tok>{
           {tk::op_and, "and"}, {tk::op_or, "Or"}, {tk::op_not, "NOT"}, {tk::op_not, "!"}}},
      {"12 -12.50 .5 1e3 1E+3 2e 7.", std::vector<tok>{{tk::number, "12"},
                                                       {tk::op, "-"},
                                                       {tk::number, "12.50"},
                                                       {tk::number, ".5"},
                                                       {tk::number, "1e3"},
                                                       {tk::number, "1E+3"},
                                                       {tk::number, "2"},
                                                       {tk::name, "e"},
                                                       {tk::number, "7"},
                                                       {tk::dot, "."}}},
      {"'a b' \"it's\" [say \"hi\"] ''", std::vector<tok>{{tk::string, "a b"},
                                                          {tk::string, "it's"},
                                                          {tk::string, "say \"hi\""},
                                                          {tk::string, ""}}},
      {"{^2024-01-31}{}", std::vector<tok>{{tk::braces, "^2024-01-31"}, {tk::braces, ""}}},
      {"= == # != <> < <= =< > >= => + - * / % ^ ** $",
       std::vector<tok>{{tk::op, "="},
                        {tk::op, "=="},
                        {tk::op, "#"},
                        {tk::op, "!="},
                        {tk::op, "<>"},
                        {tk::op, "<"},
                        {tk::op, "<="},
                        {tk::op, "=<"},
                        {tk::op, ">"},
                        {tk::op, ">="},
                        {tk::op, "=>"},
                        {tk::op, "+"},
                        {tk::op, "-"},
                        {tk::op, "*"},
                        {tk::op, "/"},
                        {tk::op, "%"},
                        {tk::op, "^"},
                        {tk::op, "**"},
                        {tk::op, "$"}}},
      {"f(a,b)", std::vector<tok>{{tk::name, "f"},
                                  {tk::open, "("},
                                  {tk::name, "a"},
                                  {tk::comma, ","},
                                  {tk::name, "b"},
                                  {tk::close, ")"}}},
      // Long names in UTF-8 stay whole names.
      {"\xC3\xA9t\xC3\xA9_2024", std::vector<tok>{{tk::name, "\xC3\xA9t\xC3\xA9_2024"}}},
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
