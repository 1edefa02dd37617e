// The function calls of the view translator: which Visual FoxPro functions it knows (with
// their four-letter abbreviations) and the T-SQL each one becomes; any other is refused.

#include <array>

#include "mss/mss_vfp_parser_impl.h"
#include "tk/tk_string.h"

namespace mss_vfp_detail {

// The Visual FoxPro function `name` names, allowing its abbreviation to four letters or
// more; empty when it is none this translation knows.
std::u16string_view parser::known_function(std::u16string_view name) {
  static constexpr std::array<std::u16string_view, 32> known = {
      u"ALLTRIM", u"LTRIM",  u"RTRIM", u"TRIM", u"UPPER", u"LOWER", u"LEN",  u"SUBSTR",
      u"LEFT",    u"RIGHT",  u"STR",   u"YEAR", u"MONTH", u"DAY",   u"NVL",  u"BETWEEN",
      u"EMPTY",   u"ISNULL", u"IIF",   u"INT",  u"ROUND", u"ABS",   u"DTOS", u"INLIST",
      u"SUM",     u"AVG",    u"MIN",   u"MAX",  u"COUNT", u"MOD",   u"DATE", u"DATETIME"};
  for (const std::u16string_view k : known)
    if (is_word(name, k)) return k;
  if (name.size() < 4) return {};
  std::u16string_view found;
  for (const std::u16string_view k : known)
    if (k.size() > name.size() && is_word(name, k.substr(0, name.size()))) {
      if (!found.empty()) return {};
      found = k;
    }
  return found;
}

std::vector<expr> parser::arguments(const scope& sc, std::u16string_view fn, std::size_t min,
                                    std::size_t max) {
  std::vector<expr> args;
  expect_op(u"(");
  if (!op(u")")) do
      args.push_back(expression(sc));
    while (accept_op(u","));
  expect_op(u")");
  if (args.size() < min || args.size() > max)
    fail(narrow(fn) + "() with " + std::to_string(args.size()) + " arguments");
  return args;
}

expr parser::call(std::u16string_view fn, const std::vector<expr>& args, kind_t kind) {
  expr e;
  e.text = std::u16string(fn) + u"(";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i > 0) e.text += u", ";
    e.text += args[i].text;
    e.aggregate = e.aggregate || args[i].aggregate;
  }
  e.text += u")";
  e.kind = kind;
  return e;
}

expr parser::empty_test(const std::u16string& text, kind_t kind) {
  expr e;
  e.pred = true;
  e.kind = kind_t::logical;
  // A converted empty value is NULL; beyond that, blanks for text and 0 for numbers and
  // logicals are empty. A date has no empty value but NULL.
  switch (kind) {
    case kind_t::text:
      e.text = u"(" + text + u" IS NULL OR " + text + u" = '')";
      break;
    case kind_t::number:
    case kind_t::logical:
      e.text = u"(" + text + u" IS NULL OR " + text + u" = 0)";
      break;
    case kind_t::date:
      e.text = u"(" + text + u" IS NULL)";
      break;
    case kind_t::unknown:
      fail("EMPTY() of a value whose type is not known: " + narrow(text));
  }
  return e;
}

expr parser::function(const scope& sc, const std::u16string& name) {
  const std::u16string_view fn = known_function(name);
  if (fn.empty()) fail("function " + narrow(name) + "() has no T-SQL translation");
  if (fn == u"MOD")
    fail("MOD(): Visual FoxPro's modulus takes the divisor's sign, T-SQL's the dividend's");
  const auto values = [&](std::size_t min, std::size_t max) {
    std::vector<expr> args = arguments(sc, fn, min, max);
    for (expr& a : args) a = value(std::move(a));
    return args;
  };
  if (fn == u"SUM" || fn == u"AVG" || fn == u"MIN" || fn == u"MAX" || fn == u"COUNT") {
    expect_op(u"(");
    expr e;
    if (fn == u"COUNT" && accept_op(u"*")) {
      e.text = u"COUNT(*)";
      e.vfp_name = u"cnt";
    } else {
      const bool distinct = accept_kw(u"DISTINCT");
      const expr arg = value(expression(sc));
      if (arg.aggregate) fail("an aggregate inside " + narrow(fn) + "()");
      e.text = std::u16string(fn) + u"(" + (distinct ? u"DISTINCT " : u"") + arg.text + u")";
      e.kind = fn == u"MIN" || fn == u"MAX" ? arg.kind : kind_t::number;
      if (arg.column != nullptr)  // Visual FoxPro names SUM(x) sum_x, COUNT(x) cnt_x
        e.vfp_name = (fn == u"COUNT" ? std::u16string(u"cnt") : tk_to_lower(fn)) + u"_" +
                     tk_to_lower(arg.column->field);
    }
    expect_op(u")");
    e.aggregate = true;
    return e;
  }
  if (fn == u"ALLTRIM") {
    const std::vector<expr> a = values(1, 1);
    expr e = call(u"LTRIM", {call(u"RTRIM", a, kind_t::text)}, kind_t::text);
    return e;
  }
  if (fn == u"LTRIM") return call(u"LTRIM", values(1, 1), kind_t::text);
  if (fn == u"RTRIM" || fn == u"TRIM") return call(u"RTRIM", values(1, 1), kind_t::text);
  if (fn == u"UPPER" || fn == u"LOWER") return call(fn, values(1, 1), kind_t::text);
  if (fn == u"LEN") {
    note("LEN() counts trailing blanks in Visual FoxPro, not in T-SQL");
    return call(u"LEN", values(1, 1), kind_t::number);
  }
  if (fn == u"SUBSTR") {
    std::vector<expr> a = values(2, 3);
    if (a.size() == 2) {  // T-SQL wants a length: the rest
      a.emplace_back();
      a.back().text = u"2147483647";
    }
    return call(u"SUBSTRING", a, kind_t::text);
  }
  if (fn == u"LEFT" || fn == u"RIGHT") return call(fn, values(2, 2), kind_t::text);
  if (fn == u"STR") return call(u"STR", values(1, 3), kind_t::text);  // same width and rounding
  if (fn == u"YEAR" || fn == u"MONTH" || fn == u"DAY")
    return call(fn, values(1, 1), kind_t::number);
  if (fn == u"ROUND") return call(u"ROUND", values(2, 2), kind_t::number);
  // The server's clock, as Visual FoxPro's reads the machine's.
  if (fn == u"DATE" || fn == u"DATETIME") {
    expr e = call(fn, values(0, 0), kind_t::date);
    e.text = fn == u"DATE" ? u"CAST(GETDATE() AS date)" : u"GETDATE()";
    return e;
  }
  if (fn == u"ABS") return call(u"ABS", values(1, 1), kind_t::number);
  if (fn == u"DTOS") {
    const std::vector<expr> a = values(1, 1);
    expr e = call(fn, a, kind_t::text);
    e.text = u"CONVERT(char(8), " + a[0].text + u", 112)";  // yyyymmdd
    return e;
  }
  if (fn == u"INT") {
    // Truncation toward zero for every numeric type: a cast alone rounds money.
    const std::vector<expr> a = values(1, 1);
    expr e = call(u"INT", a, kind_t::number);
    e.text = u"CAST(ROUND(" + a[0].text + u", 0, 1) AS bigint)";
    return e;
  }
  if (fn == u"NVL") {
    const std::vector<expr> a = values(2, 2);
    expr e = call(u"ISNULL", a, a[0].kind != kind_t::unknown ? a[0].kind : a[1].kind);
    e.nvl = true;
    e.nvl_first = a[0].text;
    e.nvl_first_kind = a[0].kind;
    e.nvl_second_empty = a[1].empty;
    return e;
  }
  if (fn == u"ISNULL") {
    const std::vector<expr> a = values(1, 1);
    expr e = call(fn, a, kind_t::logical);
    e.text = u"(" + a[0].text + u" IS NULL)";
    e.pred = true;
    return e;
  }
  if (fn == u"BETWEEN") {
    const std::vector<expr> a = values(3, 3);
    expr e = call(fn, a, kind_t::logical);
    e.text = u"(" + a[0].text + u" BETWEEN " + a[1].text + u" AND " + a[2].text + u")";
    e.pred = true;
    return e;
  }
  if (fn == u"INLIST") {
    const std::vector<expr> a = values(2, 100000);
    expr e = call(fn, a, kind_t::logical);
    e.text = u"(" + a[0].text + u" IN (";
    for (std::size_t i = 1; i < a.size(); ++i) e.text += (i > 1 ? u", " : u"") + a[i].text;
    e.text += u"))";
    e.pred = true;
    return e;
  }
  if (fn == u"EMPTY") {
    const std::vector<expr> a = values(1, 1);
    // EMPTY(NVL(x, "")) is EMPTY(x) once NULL counts as empty; testing ISNULL(x, '') instead
    // would compare the replacement converted to x's type.
    expr e = a[0].nvl && a[0].nvl_second_empty == 1
                 ? empty_test(a[0].nvl_first, a[0].nvl_first_kind)
                 : empty_test(a[0].text, a[0].kind);
    e.aggregate = a[0].aggregate;
    return e;
  }
  if (fn == u"IIF") {
    std::vector<expr> a = arguments(sc, fn, 3, 3);
    const expr c = pred(std::move(a[0]));
    const expr yes = value(std::move(a[1]));
    const expr no = value(std::move(a[2]));
    expr e = call(fn, {c, yes, no},
                  yes.kind == no.kind || no.kind == kind_t::unknown ? yes.kind
                  : yes.kind == kind_t::unknown                     ? no.kind
                                                                    : kind_t::unknown);
    e.text = u"CASE WHEN " + c.text + u" THEN " + yes.text + u" ELSE " + no.text + u" END";
    return e;
  }
  fail("function " + narrow(name) + "() has no T-SQL translation");
}

}  // namespace mss_vfp_detail
