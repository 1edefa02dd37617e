// Visual FoxPro SELECT read token by token and written out as T-SQL: the translator's entry
// points and the keyword helpers its files share. Each construct is either rewritten into a
// T-SQL form with the same meaning or refused with the reason: a view that silently computes
// something else is worse than one the user recreates by hand.

#include "mss/mss_vfp_parser.h"

#include <array>

#include "mss/mss_vfp_parser_impl.h"
#include "tk/tk_encoding.h"

namespace mss_vfp_detail {

void fail(const std::string& why) {
  throw mss_vfp_untranslatable(why);
}

std::string narrow(std::u16string_view s) {
  return tk_to_utf8_lossy(s);
}

char16_t upper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

bool is_word(std::u16string_view text, std::u16string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (upper(text[i]) != word[i]) return false;
  return true;
}

bool is_reserved(std::u16string_view w) {
  static constexpr std::array<std::u16string_view, 39> words = {
      u"SELECT", u"FROM",     u"WHERE",   u"GROUP",   u"BY",       u"HAVING",    u"ORDER", u"UNION",
      u"ALL",    u"DISTINCT", u"TOP",     u"PERCENT", u"AS",       u"ON",        u"JOIN",  u"INNER",
      u"LEFT",   u"RIGHT",    u"FULL",    u"OUTER",   u"CROSS",    u"AND",       u"OR",    u"NOT",
      u"IN",     u"LIKE",     u"BETWEEN", u"IS",      u"NULL",     u"EXISTS",    u"ASC",   u"DESC",
      u"INTO",   u"ESCAPE",   u"ANY",     u"SOME",    u"NOFILTER", u"READWRITE", u"TO"};
  return std::any_of(words.begin(), words.end(),
                     [&](std::u16string_view k) { return is_word(w, k); });
}

void parser::run() {
  out_.sql = query();
  if (peek().kind != mss_vfp_tok::end) unexpected();
}

void parser::run_condition(const mss_view_source& table) {
  check_ = true;
  clause_ = clause::where;
  scope sc;
  sc.vars.push_back({&table, {}, {}});
  expr e = expression(sc);
  if (peek().kind != mss_vfp_tok::end) unexpected();
  if (e.aggregate) fail("an aggregate in a rule");
  out_.sql = pred(std::move(e)).text;
}

}  // namespace mss_vfp_detail

void mss_vfp_translate(const std::vector<mss_vfp_token>& tokens, const mss_view_names& names,
                       mss_view_translation& out) {
  mss_vfp_detail::parser(tokens, names, out).run();
}

void mss_vfp_translate_condition(const std::vector<mss_vfp_token>& tokens,
                                 const mss_view_source& table, mss_view_translation& out) {
  const mss_view_names none;
  mss_vfp_detail::parser(tokens, none, out).run_condition(table);
}
