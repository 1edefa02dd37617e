// The expression side of the view translator: conditions against values, logical,
// comparison and arithmetic operators, literals and the primaries they combine, each written
// as the T-SQL that computes the same as Visual FoxPro.

#include <algorithm>
#include <array>

#include "mss/mss_vfp_parser_impl.h"

namespace mss_vfp_detail {

std::u16string parser::condition(const scope& sc) {
  return pred(expression(sc)).text;
}

// A value where T-SQL wants a condition: only a logical value may stand there.
expr parser::pred(expr e) {
  if (e.pred) return e;
  if (e.kind != kind_t::logical && e.kind != kind_t::unknown)
    fail("a value that is not logical used as a condition: " + narrow(e.text));
  if (e.empty == 1)
    e.text = u"1 = 0";
  else if (e.empty == 0)
    e.text = u"1 = 1";
  else
    e.text = u"(" + e.text + u" = 1)";
  e.pred = true;
  e.column = nullptr;
  return e;
}

// A condition where T-SQL wants a value: as a bit.
expr parser::value(expr e) {
  if (!e.pred) return e;
  e.text = u"CAST(CASE WHEN " + e.text + u" THEN 1 ELSE 0 END AS bit)";
  e.pred = false;
  e.kind = kind_t::logical;
  return e;
}

expr parser::expression(const scope& sc) {
  depth_guard guard(depth_);
  expr left = and_expr(sc);
  while (kw(u"OR") || dotted(u"OR")) {
    next();
    const expr right = and_expr(sc);
    left = combine(pred(std::move(left)), u" OR ", pred(right));
  }
  return left;
}

expr parser::and_expr(const scope& sc) {
  expr left = not_expr(sc);
  while (kw(u"AND") || dotted(u"AND")) {
    next();
    const expr right = not_expr(sc);
    left = combine(pred(std::move(left)), u" AND ", pred(right));
  }
  return left;
}

expr parser::combine(expr left, std::u16string_view op_text, const expr& right) {
  left.text += op_text;
  left.text += right.text;
  left.aggregate = left.aggregate || right.aggregate;
  left.column = nullptr;
  left.empty = -1;
  left.int_literal = false;
  left.nvl = false;
  left.vfp_name.clear();
  return left;
}

expr parser::not_expr(const scope& sc) {
  depth_guard guard(depth_);
  if (kw(u"NOT") || dotted(u"NOT") || op(u"!")) {
    next();
    expr e = pred(not_expr(sc));
    e.text = u"NOT " + e.text;
    return e;
  }
  return comparison(sc);
}

expr parser::comparison(const scope& sc) {
  expr left = additive(sc);
  static constexpr std::array<std::pair<std::u16string_view, std::u16string_view>, 9> ops = {
      {{u"=", u"="},
       {u"==", u"="},
       {u"<>", u"<>"},
       {u"!=", u"<>"},
       {u"#", u"<>"},
       {u"<", u"<"},
       {u">", u">"},
       {u"<=", u"<="},
       {u">=", u">="}}};
  for (const auto& [from, to] : ops)
    if (op(from)) {
      next();
      std::u16string text = std::u16string(u" ") + std::u16string(to) + u" ";
      if (kw(u"ALL") || kw(u"ANY") || kw(u"SOME")) {
        text += std::u16string(next().text);
        for (char16_t& c : text) c = upper(c);
        text += u" ";
        if (!op(u"(") || !kw(u"SELECT", 1)) unexpected("expected a subquery");
      }
      expr right = value(additive(sc));
      expr e = combine(value(std::move(left)), text, right);
      e.pred = true;
      e.kind = kind_t::logical;
      return e;
    }
  if (op(u"$")) {  // a $ b: a occurs in b
    next();
    const expr right = value(additive(sc));
    left = value(std::move(left));
    expr e = combine(left, u"", right);
    e.text = u"CHARINDEX(" + left.text + u", " + right.text + u") > 0";
    e.pred = true;
    e.kind = kind_t::logical;
    return e;
  }
  const bool negated = kw(u"NOT") && (kw(u"BETWEEN", 1) || kw(u"IN", 1) || kw(u"LIKE", 1));
  if (negated) next();
  const std::u16string neg = negated ? u" NOT" : u"";
  if (accept_kw(u"BETWEEN")) {
    const expr low = value(additive(sc));
    expect_kw(u"AND");
    const expr high = value(additive(sc));
    expr e = combine(value(std::move(left)), neg + u" BETWEEN ", low);
    e = combine(std::move(e), u" AND ", high);
    e.pred = true;
    e.kind = kind_t::logical;
    return e;
  }
  if (accept_kw(u"IN")) {
    expr e = value(std::move(left));
    e = combine(std::move(e), neg + u" IN ", in_list(sc));
    e.pred = true;
    e.kind = kind_t::logical;
    return e;
  }
  if (accept_kw(u"LIKE")) {
    if (peek().kind != mss_vfp_tok::text)
      fail("LIKE with a pattern that is not a string: its wildcards cannot be checked");
    std::u16string pattern;
    // "[" opens a character class in T-SQL patterns, not in Visual FoxPro's.
    for (const char16_t c : next().text)
      pattern += c == u'[' ? std::u16string(u"[[]") : std::u16string(1, c);
    expr e = combine(value(std::move(left)), neg + u" LIKE ", string_literal(pattern));
    if (accept_kw(u"ESCAPE")) {
      if (peek().kind != mss_vfp_tok::text || peek().text.size() != 1)
        unexpected("expected one escape character");
      e.text += u" ESCAPE " + string_literal(next().text).text;
    }
    e.pred = true;
    e.kind = kind_t::logical;
    return e;
  }
  if (negated) unexpected();
  if (accept_kw(u"IS")) {
    const bool is_not = accept_kw(u"NOT");
    if (!accept_kw(u"NULL") && !(dotted(u"NULL") && next().kind == mss_vfp_tok::dotted))
      unexpected("expected NULL");
    expr e = value(std::move(left));
    e = combine(std::move(e), is_not ? u" IS NOT NULL" : u" IS NULL", expr{});
    e.pred = true;
    e.kind = kind_t::logical;
    return e;
  }
  return left;
}

expr parser::in_list(const scope& sc) {
  expect_op(u"(");
  expr e;
  if (kw(u"SELECT")) {
    e.text = u"(" + select(&sc, false, nullptr, nullptr) + u")";
  } else {
    e.text = u"(";
    do {
      if (e.text.size() > 1) e.text += u", ";
      e.text += value(expression(sc)).text;
    } while (accept_op(u","));
    e.text += u")";
  }
  expect_op(u")");
  return e;
}

kind_t parser::sum_kind(kind_t a, kind_t b, bool minus) {
  if (a == kind_t::text || b == kind_t::text) {
    if (minus) fail("'-' between strings: it moves trailing blanks, T-SQL has no such operator");
    return kind_t::text;
  }
  if (a == kind_t::date && b == kind_t::date) {
    if (minus) fail("date minus date: Visual FoxPro gives days, T-SQL a date");
    fail("date plus date");
  }
  if (a == kind_t::date || b == kind_t::date) return kind_t::date;
  if (a == kind_t::number && b == kind_t::number) return kind_t::number;
  return kind_t::unknown;
}

expr parser::additive(const scope& sc) {
  expr left = multiplicative(sc);
  while (op(u"+") || op(u"-")) {
    const bool minus = next().text == u"-";
    const expr right = value(multiplicative(sc));
    left = value(std::move(left));
    const kind_t k = sum_kind(left.kind, right.kind, minus);
    left = combine(std::move(left), minus ? u" - " : u" + ", right);
    left.kind = k;
  }
  return left;
}

expr parser::multiplicative(const scope& sc) {
  expr left = unary(sc);
  while (op(u"*") || op(u"/") || op(u"%")) {
    const std::u16string o = next().text;
    if (o == u"%")
      fail("'%': Visual FoxPro's modulus takes the divisor's sign, T-SQL's the dividend's");
    expr right = value(unary(sc));
    if (o == u"/") {
      // Visual FoxPro divides integers without truncating; T-SQL truncates int / int.
      if (right.int_literal)
        right.text += u".0";
      else if (!(right.empty != -1 && right.kind == kind_t::number))  // not a number literal
        right.text = u"CAST(" + right.text + u" AS float)";
    }
    left = combine(value(std::move(left)), u" " + o + u" ", right);
    left.kind = kind_t::number;
  }
  return left;
}

expr parser::unary(const scope& sc) {
  depth_guard guard(depth_);
  if (op(u"-") || op(u"+")) {
    const std::u16string o = next().text;
    expr e = value(unary(sc));
    if (o == u"-") e.text = u"-" + e.text;
    e.column = nullptr;
    e.empty = -1;
    e.int_literal = false;
    e.vfp_name.clear();
    return e;
  }
  expr base = primary(sc);
  if (op(u"^") || op(u"**")) {
    next();
    const expr exponent = value(unary(sc));
    base = value(std::move(base));
    expr e = combine(base, u"", exponent);
    e.text = u"POWER(" + base.text + u", " + exponent.text + u")";
    e.kind = kind_t::number;
    return e;
  }
  return base;
}

expr parser::string_literal(std::u16string_view s) {
  expr e;
  const bool wide = std::any_of(s.begin(), s.end(), [](char16_t c) { return c > 0x7F; });
  e.text = wide ? u"N'" : u"'";
  for (const char16_t c : s) {
    e.text += c;
    if (c == u'\'') e.text += c;
  }
  e.text += u"'";
  e.kind = kind_t::text;
  e.empty = s.find_first_not_of(u' ') == std::u16string_view::npos ? 1 : 0;
  return e;
}

expr parser::primary(const scope& sc) {
  const mss_vfp_token& tok = peek();
  expr e;
  switch (tok.kind) {
    case mss_vfp_tok::number:
      next();
      e.text = tok.text;
      e.kind = kind_t::number;
      e.int_literal = tok.text.find_first_not_of(u"0123456789") == std::u16string::npos;
      e.empty = tok.text.find_first_not_of(u"0.") == std::u16string::npos ? 1 : 0;
      return e;
    case mss_vfp_tok::text:
      next();
      return string_literal(tok.text);
    case mss_vfp_tok::date:
      next();
      e.text = tok.text;
      e.kind = kind_t::date;
      e.empty = 0;
      return e;
    case mss_vfp_tok::dotted:
      if (tok.text == u"NULL") {
        next();
        e.text = u"NULL";
        return e;
      }
      if (tok.text == u"T" || tok.text == u"Y" || tok.text == u"F" || tok.text == u"N") {
        next();
        const bool yes = tok.text == u"T" || tok.text == u"Y";
        e.text = yes ? u"1" : u"0";
        e.kind = kind_t::logical;
        e.empty = yes ? 0 : 1;
        return e;
      }
      unexpected();
    case mss_vfp_tok::op:
      if (tok.text == u"(") {
        next();
        if (kw(u"SELECT")) {
          e.text = u"(" + select(&sc, false, nullptr, nullptr) + u")";
        } else {
          e = expression(sc);
          e.text = u"(" + e.text + u")";
          e.column = nullptr;
          e.vfp_name.clear();
        }
        expect_op(u")");
        return e;
      }
      unexpected();
    case mss_vfp_tok::name:
      break;
    case mss_vfp_tok::end:
      unexpected("expected a value");
  }
  if (kw(u"NULL")) {
    next();
    e.text = u"NULL";
    return e;
  }
  if (kw(u"EXISTS")) {
    next();
    expect_op(u"(");
    if (!kw(u"SELECT")) unexpected("expected a subquery");
    e.text = u"EXISTS (" + select(&sc, false, nullptr, nullptr) + u")";
    expect_op(u")");
    e.pred = true;
    e.kind = kind_t::logical;
    return e;
  }
  // BETWEEN(), LEFT() and RIGHT() are functions as well as keywords.
  if (is_reserved(tok.text) && !(op(u"(", 1) && !known_function(tok.text).empty()))
    unexpected("expected a value");
  const std::u16string name = next().text;
  if (op(u"(")) return function(sc, name);
  if (accept_op(u"!")) {  // database!table.field
    const std::u16string table = name_token("a table name after '!'");
    expect_op(u".");
    return qualified_column(sc, table, name_token("a field name"));
  }
  if (accept_op(u".")) return qualified_column(sc, name, name_token("a field name"));
  if (std::optional<expr> f = field(sc, name)) return *f;
  if (clause_ == clause::having)
    if (const select_item* item = alias_item(sc, name)) return item->value;
  fail("unknown field " + narrow(name));
}

}  // namespace mss_vfp_detail
