#pragma once

// The parser class the view translator's files share: the translated expression (`expr`),
// the names a SELECT can see (`scope`), token handling, and one member per construct. Its
// members are defined by concept in mss_vfp_select.cpp (statements and names),
// mss_vfp_expression.cpp (operators and literals) and mss_vfp_functions.cpp (function calls).

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mss/mss_vfp_lexer.h"
#include "mss/mss_vfp_view.h"
#include "tk/tk_string.h"

namespace mss_vfp_detail {

using kind_t = mss_view_kind;

[[noreturn]] void fail(const std::string& why);
std::string narrow(std::u16string_view s);
char16_t upper(char16_t c);
// Keywords are ASCII: compared without ICU.
bool is_word(std::u16string_view text, std::u16string_view word);
// Words that end an expression or a name list, so never an alias.
bool is_reserved(std::u16string_view w);

// One translated expression and what later rewriting needs to know of it.
struct expr {
  std::u16string text;
  bool pred = false;  // a T-SQL condition, not a value
  kind_t kind = kind_t::unknown;
  const mss_view_column* column = nullptr;  // a bare column reference
  bool aggregate = false;
  int empty = -1;  // a literal: 1 when it is an empty value ("", 0, .F.), 0 when not; else -1
  bool int_literal = false;
  std::u16string vfp_name;  // the name Visual FoxPro gives it as an unnamed result column
  // NVL(a, b): a's text and kind, and b's emptiness, for EMPTY(NVL(a, b)).
  bool nvl = false;
  std::u16string nvl_first;
  kind_t nvl_first_kind = kind_t::unknown;
  int nvl_second_empty = -1;
};

struct range_var {
  const mss_view_source* source = nullptr;
  std::u16string alias;      // as written; empty when none
  std::u16string qualifier;  // how T-SQL names it: the bracketed alias or target
};

struct select_item {
  expr value;
  bool star = false;
  std::u16string alias;  // as written
};

struct scope {
  std::vector<range_var> vars;
  const scope* outer = nullptr;
  const std::vector<select_item>* items = nullptr;  // for GROUP BY and HAVING aliases
};

enum class clause { select, from, where, group, having, order };

constexpr int max_depth = 200;

class parser {
 public:
  parser(const std::vector<mss_vfp_token>& tokens, const mss_view_names& names,
         mss_view_translation& out)
      : t_(tokens), names_(names), out_(out) {}

  void run();
  // A field or row rule of `table`: one condition on the row itself, its columns unqualified
  // as a CHECK constraint names them.
  void run_condition(const mss_view_source& table);

 private:
  const std::vector<mss_vfp_token>& t_;
  const mss_view_names& names_;
  mss_view_translation& out_;
  std::size_t p_ = 0;
  int depth_ = 0;
  clause clause_ = clause::select;
  bool check_ = false;  // a rule: no subqueries, columns of the one table unqualified

  // ---- tokens ----

  const mss_vfp_token& peek(std::size_t ahead = 0) const {
    return t_[std::min(p_ + ahead, t_.size() - 1)];
  }
  const mss_vfp_token& next() {
    const mss_vfp_token& tok = peek();
    if (p_ < t_.size() - 1) ++p_;
    return tok;
  }
  bool kw(std::u16string_view word, std::size_t ahead = 0) const {
    return peek(ahead).kind == mss_vfp_tok::name && is_word(peek(ahead).text, word);
  }
  bool op(std::u16string_view o, std::size_t ahead = 0) const {
    return peek(ahead).kind == mss_vfp_tok::op && peek(ahead).text == o;
  }
  bool dotted(std::u16string_view word) const {
    return peek().kind == mss_vfp_tok::dotted && peek().text == word;
  }
  bool accept_kw(std::u16string_view word) {
    if (!kw(word)) return false;
    next();
    return true;
  }
  bool accept_op(std::u16string_view o) {
    if (!op(o)) return false;
    next();
    return true;
  }
  void expect_kw(std::u16string_view word) {
    if (!accept_kw(word)) unexpected("expected " + narrow(word));
  }
  void expect_op(std::u16string_view o) {
    if (!accept_op(o)) unexpected("expected '" + narrow(o) + "'");
  }
  static std::string describe(const mss_vfp_token& tok) {
    if (tok.kind == mss_vfp_tok::end) return "end of the text";
    return "'" + narrow(tok.text) + "' at offset " + std::to_string(tok.pos);
  }
  [[noreturn]] void unexpected(const std::string& wanted = "") const {
    fail("unexpected " + describe(peek()) + (wanted.empty() ? "" : " (" + wanted + ")"));
  }
  std::u16string name_token(const char* what) {
    if (peek().kind != mss_vfp_tok::name || is_reserved(peek().text))
      unexpected(std::string("expected ") + what);
    return next().text;
  }

  struct depth_guard {
    explicit depth_guard(int& d) : d_(d) {
      if (++d_ > max_depth) fail("expression nested too deeply");
    }
    ~depth_guard() { --d_; }
    depth_guard(const depth_guard&) = delete;
    depth_guard& operator=(const depth_guard&) = delete;
    int& d_;
  };

  void note(std::string text) {
    if (std::find(out_.notes.begin(), out_.notes.end(), text) == out_.notes.end())
      out_.notes.push_back(std::move(text));
  }
  void use(const mss_view_source& s) {
    const auto same = [&](const std::u16string& u) { return tk_equal_nocase(u, s.target); };
    if (std::none_of(out_.uses.begin(), out_.uses.end(), same)) out_.uses.push_back(s.target);
  }

  // ---- query (mss_vfp_select.cpp) ----
  std::u16string query();
  std::u16string select(const scope* outer, bool top_level, std::optional<std::u16string>* order,
                        bool* top);
  std::size_t find_from() const;

  // ---- select list (mss_vfp_select.cpp) ----
  std::u16string select_list(const scope& sc, std::vector<select_item>& items, bool top_level);
  void add_columns(const range_var& v);
  void add_column(mss_view_column c);

  // ---- FROM (mss_vfp_select.cpp) ----
  std::u16string from_clause(scope& sc);
  std::u16string table_expression(scope& sc);
  std::u16string table_primary(scope& sc);

  // ---- names (mss_vfp_select.cpp) ----
  const range_var& qualifier(const scope& sc, std::u16string_view q) const;
  static expr column_expr(const range_var* v, const mss_view_column& c);
  expr qualified_column(const scope& sc, std::u16string_view q, std::u16string_view field) const;
  std::optional<expr> field(const scope& sc, std::u16string_view name) const;
  const select_item* alias_item(const scope& sc, std::u16string_view name) const;

  // ---- GROUP BY, ORDER BY (mss_vfp_select.cpp) ----
  std::u16string group_item(const scope& sc, const std::vector<select_item>& items);
  const select_item& position(const std::vector<select_item>& items);
  std::u16string order_item(const scope& sc, const std::vector<select_item>& items);

  // ---- conditions and values (mss_vfp_expression.cpp) ----
  std::u16string condition(const scope& sc);
  static expr pred(expr e);
  static expr value(expr e);
  expr expression(const scope& sc);
  expr and_expr(const scope& sc);
  static expr combine(expr left, std::u16string_view op_text, const expr& right);
  expr not_expr(const scope& sc);
  expr comparison(const scope& sc);
  expr in_list(const scope& sc);
  static kind_t sum_kind(kind_t a, kind_t b, bool minus);
  expr additive(const scope& sc);
  expr multiplicative(const scope& sc);
  expr unary(const scope& sc);
  static expr string_literal(std::u16string_view s);
  expr primary(const scope& sc);

  // ---- functions (mss_vfp_functions.cpp) ----
  static std::u16string_view known_function(std::u16string_view name);
  std::vector<expr> arguments(const scope& sc, std::u16string_view fn, std::size_t min,
                              std::size_t max);
  static expr call(std::u16string_view fn, const std::vector<expr>& args, kind_t kind);
  static expr empty_test(const std::u16string& text, kind_t kind);
  expr function(const scope& sc, const std::u16string& name);
};

}  // namespace mss_vfp_detail
