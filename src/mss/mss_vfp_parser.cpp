// Visual FoxPro SELECT read token by token and written out as T-SQL. Each construct is either
// rewritten into a T-SQL form with the same meaning or refused with the reason: a view that
// silently computes something else is worse than one the user recreates by hand.

#include "mss/mss_vfp_parser.h"

#include <algorithm>
#include <array>
#include <optional>

#include "mss/mss_names.h"
#include "tk/tk_encoding.h"
#include "tk/tk_string.h"

namespace {

using kind_t = mss_view_kind;

[[noreturn]] void fail(const std::string& why) {
  throw mss_vfp_untranslatable(why);
}

std::string narrow(std::u16string_view s) {
  return tk_to_utf8_lossy(s);
}

char16_t upper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

// Keywords are ASCII: compared without ICU.
bool is_word(std::u16string_view text, std::u16string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (upper(text[i]) != word[i]) return false;
  return true;
}

// Words that end an expression or a name list, so never an alias.
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

  void run() {
    out_.sql = query();
    if (peek().kind != mss_vfp_tok::end) unexpected();
  }

  // A field or row rule of `table`: one condition on the row itself, its columns unqualified
  // as a CHECK constraint names them.
  void run_condition(const mss_view_source& table) {
    check_ = true;
    clause_ = clause::where;
    scope sc;
    sc.vars.push_back({&table, {}, {}});
    expr e = expression(sc);
    if (peek().kind != mss_vfp_tok::end) unexpected();
    if (e.aggregate) fail("an aggregate in a rule");
    out_.sql = pred(std::move(e)).text;
  }

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

  // ---- query ----

  std::u16string query() {
    std::optional<std::u16string> order;
    bool top = false;
    bool has_union = false;
    std::u16string sql = select(nullptr, true, &order, &top);
    while (kw(u"UNION")) {
      next();
      has_union = true;
      const bool all = accept_kw(u"ALL");
      if (order) unexpected("ORDER BY comes after the last SELECT");
      bool part_top = false;
      sql += all ? u" UNION ALL " : u" UNION ";
      sql += select(nullptr, false, &order, &part_top);
      if (part_top || top) fail("TOP with UNION: which rows it keeps differs in T-SQL");
    }
    if (top && !order) fail("TOP without ORDER BY");
    if (order) {
      if (top && !has_union)
        sql += u" ORDER BY " + *order;
      else
        note("ORDER BY dropped: T-SQL views take it only with TOP");
    }
    for (const char16_t* clause_word : {u"INTO", u"TO", u"NOFILTER", u"READWRITE", u"PREFERENCE",
                                        u"NOCONSOLE", u"PLAIN", u"NOWAIT", u"WITH"})
      if (kw(clause_word)) fail("clause " + narrow(peek().text) + " has no place in a T-SQL view");
    return sql;
  }

  // One SELECT. `outer` is the enclosing scope of a subquery; `top_level` marks the view's
  // own (first) SELECT, whose columns become the view's. `order`/`top` collect the ORDER BY
  // (only where it may stand) and whether TOP was given.
  std::u16string select(const scope* outer, bool top_level, std::optional<std::u16string>* order,
                        bool* top) {
    depth_guard guard(depth_);
    if (check_) fail("a subquery: a T-SQL check takes none");
    const clause saved = clause_;
    expect_kw(u"SELECT");
    std::u16string sql = u"SELECT ";
    if (accept_kw(u"DISTINCT"))
      sql += u"DISTINCT ";
    else
      accept_kw(u"ALL");
    std::u16string top_text;
    if (accept_kw(u"TOP")) {
      if (peek().kind != mss_vfp_tok::number) unexpected("expected the number of TOP");
      // Visual FoxPro's TOP keeps every row that ties with the last one.
      top_text = u"TOP (" + next().text + u")";
      if (accept_kw(u"PERCENT")) top_text += u" PERCENT";
      top_text += u" WITH TIES ";
      if (top == nullptr) fail("TOP in a subquery");
      *top = true;
    }
    // The select list names what FROM declares: read FROM first, then come back.
    const std::size_t list_start = p_;
    const std::size_t from = find_from();
    scope sc;
    sc.outer = outer;
    p_ = from + 1;
    clause_ = clause::from;
    const std::u16string from_sql = from_clause(sc);
    const std::size_t after_from = p_;
    p_ = list_start;
    clause_ = clause::select;
    std::vector<select_item> items;
    const std::u16string list = select_list(sc, items, top_level);
    if (p_ != from) unexpected();
    p_ = after_from;
    sc.items = &items;
    sql += top_text + list + u" FROM " + from_sql;
    if (accept_kw(u"WHERE")) {
      clause_ = clause::where;
      sql += u" WHERE " + condition(sc);
    }
    if (kw(u"GROUP")) {
      next();
      expect_kw(u"BY");
      clause_ = clause::group;
      sql += u" GROUP BY ";
      do {
        if (sql.back() != u' ') sql += u", ";
        sql += group_item(sc, items);
      } while (accept_op(u","));
    }
    if (accept_kw(u"HAVING")) {
      clause_ = clause::having;
      sql += u" HAVING " + condition(sc);
    }
    if (kw(u"ORDER")) {
      if (order == nullptr) fail("ORDER BY in a subquery");
      next();
      expect_kw(u"BY");
      clause_ = clause::order;
      std::u16string list_sql;
      do {
        if (!list_sql.empty()) list_sql += u", ";
        list_sql += order_item(sc, items);
      } while (accept_op(u","));
      *order = list_sql;
    }
    clause_ = saved;
    return sql;
  }

  std::size_t find_from() const {
    int depth = 0;
    for (std::size_t i = p_; i < t_.size(); ++i) {
      const mss_vfp_token& tok = t_[i];
      if (tok.kind == mss_vfp_tok::end) break;
      if (tok.kind == mss_vfp_tok::op && tok.text == u"(") ++depth;
      if (tok.kind == mss_vfp_tok::op && tok.text == u")" && --depth < 0) break;
      if (depth == 0 && tok.kind == mss_vfp_tok::name && is_word(tok.text, u"FROM")) return i;
    }
    fail("SELECT without FROM");
  }

  // ---- select list ----

  std::u16string select_list(const scope& sc, std::vector<select_item>& items, bool top_level) {
    std::u16string sql;
    do {
      if (!sql.empty()) sql += u", ";
      select_item item;
      std::u16string text;
      if (accept_op(u"*")) {
        item.star = true;
        text = u"*";
        if (top_level)
          for (const range_var& v : sc.vars) add_columns(v);
      } else if (peek().kind == mss_vfp_tok::name && op(u".", 1) && op(u"*", 2)) {
        const range_var& v = qualifier(sc, next().text);
        next();
        next();
        item.star = true;
        text = v.qualifier + u".*";
        if (top_level) add_columns(v);
      } else {
        item.value = value(expression(sc));
        text = item.value.text;
        if (accept_kw(u"AS"))
          item.alias = name_token("a column name after AS");
        else if (peek().kind == mss_vfp_tok::name && !is_reserved(peek().text))
          item.alias = next().text;
        if (!item.alias.empty()) {
          text += u" AS " + mss_quote_name(item.alias);
          if (top_level) add_column({item.alias, item.alias, item.value.kind});
        } else if (item.value.column != nullptr) {
          if (top_level)
            add_column({item.value.column->field, item.value.column->column, item.value.kind});
        } else if (top_level) {
          // A view's columns all need names; these are the ones Visual FoxPro gives them.
          std::u16string name = item.value.vfp_name;
          if (name.empty()) name = u"exp_" + tk_from_utf8(std::to_string(items.size() + 1));
          text += u" AS " + mss_quote_name(name);
          note("column " + std::to_string(items.size() + 1) + " named " + narrow(name) +
               " as Visual FoxPro names it");
          add_column({name, name, item.value.kind});
        }
      }
      items.push_back(std::move(item));
      sql += text;
    } while (accept_op(u","));
    return sql;
  }

  void add_columns(const range_var& v) {
    for (const mss_view_column& c : v.source->columns) add_column(c);
  }
  void add_column(mss_view_column c) {
    for (const mss_view_column& other : out_.columns)
      if (tk_equal_nocase(other.column, c.column))
        fail("two result columns named " + narrow(c.column) +
             ": a T-SQL view needs distinct names (give them aliases)");
    out_.columns.push_back(std::move(c));
  }

  // ---- FROM ----

  std::u16string from_clause(scope& sc) {
    std::u16string sql = table_expression(sc);
    while (accept_op(u",")) sql += u", " + table_expression(sc);
    return sql;
  }

  std::u16string table_expression(scope& sc) {
    depth_guard guard(depth_);
    std::u16string sql = table_primary(sc);
    for (;;) {
      std::u16string join;
      if (kw(u"JOIN")) {
        join = u"INNER JOIN";
      } else if (kw(u"INNER") && kw(u"JOIN", 1)) {
        next();
        join = u"INNER JOIN";
      } else if (kw(u"LEFT") || kw(u"RIGHT") || kw(u"FULL")) {
        join = std::u16string(next().text);
        for (char16_t& c : join) c = upper(c);
        accept_kw(u"OUTER");
        join += u" OUTER JOIN";
        if (!kw(u"JOIN")) unexpected("expected JOIN");
      } else {
        return sql;
      }
      next();
      sql += u" " + join + u" " + table_expression(sc);
      expect_kw(u"ON");
      const clause saved = clause_;
      clause_ = clause::where;
      sql += u" ON " + condition(sc);
      clause_ = saved;
    }
  }

  std::u16string table_primary(scope& sc) {
    if (accept_op(u"(")) {
      if (kw(u"SELECT")) fail("a subquery in FROM");
      std::u16string sql = u"(" + table_expression(sc);
      expect_op(u")");
      return sql + u")";
    }
    std::u16string name = name_token("a table name");
    if (accept_op(u"!")) name = name_token("a table name after '!'");  // database!table
    if (op(u".")) fail("a table qualified with '.' (" + narrow(name) + ".): not a local table");
    const mss_view_source* source = names_.find(name);
    if (source == nullptr) fail("unknown table " + narrow(name));
    use(*source);
    range_var v;
    v.source = source;
    if (accept_kw(u"AS"))
      v.alias = name_token("an alias after AS");
    else if (peek().kind == mss_vfp_tok::name && !is_reserved(peek().text))
      v.alias = next().text;
    std::u16string sql = mss_quote_name(source->target);
    if (!v.alias.empty()) {
      v.qualifier = mss_quote_name(v.alias);
      sql += u" AS " + v.qualifier;
    } else {
      v.qualifier = mss_quote_name(source->target);
    }
    for (const range_var& other : sc.vars)
      if (tk_equal_nocase(other.alias.empty() ? other.source->name : other.alias,
                          v.alias.empty() ? v.source->name : v.alias))
        fail("table " + narrow(name) + " appears twice in FROM without distinct aliases");
    sc.vars.push_back(std::move(v));
    return sql;
  }

  // ---- names ----

  const range_var& qualifier(const scope& sc, std::u16string_view q) const {
    for (const scope* s = &sc; s != nullptr; s = s->outer)
      for (const range_var& v : s->vars)
        if (tk_equal_nocase(v.alias.empty() ? v.source->name : v.alias, q)) return v;
    fail("unknown table or alias " + narrow(q));
  }

  static expr column_expr(const range_var* v, const mss_view_column& c) {
    expr e;
    e.text = (v != nullptr ? v->qualifier + u"." : u"") + mss_quote_name(c.column);
    e.kind = c.kind;
    e.column = &c;
    return e;
  }

  expr qualified_column(const scope& sc, std::u16string_view q, std::u16string_view field) const {
    const range_var& v = qualifier(sc, q);
    const mss_view_column* c = v.source->find(field);
    if (c == nullptr) fail("table " + narrow(v.source->name) + " has no field " + narrow(field));
    return column_expr(check_ ? nullptr : &v, *c);
  }

  // An unqualified field: the innermost SELECT whose tables have it, exactly one of them.
  std::optional<expr> field(const scope& sc, std::u16string_view name) const {
    for (const scope* s = &sc; s != nullptr; s = s->outer) {
      const mss_view_column* found = nullptr;
      for (const range_var& v : s->vars)
        if (const mss_view_column* c = v.source->find(name)) {
          if (found != nullptr) fail("field " + narrow(name) + " is in more than one table");
          found = c;
        }
      if (found != nullptr) return column_expr(nullptr, *found);
    }
    return std::nullopt;
  }

  const select_item* alias_item(const scope& sc, std::u16string_view name) const {
    if (sc.items == nullptr) return nullptr;
    for (const select_item& item : *sc.items)
      if (!item.alias.empty() && tk_equal_nocase(item.alias, name)) return &item;
    return nullptr;
  }

  // ---- GROUP BY, ORDER BY ----

  std::u16string group_item(const scope& sc, const std::vector<select_item>& items) {
    if (peek().kind == mss_vfp_tok::number) return position(items).value.text;
    if (peek().kind == mss_vfp_tok::name && !op(u".", 1) && !op(u"(", 1) && !op(u"!", 1)) {
      const std::u16string name = peek().text;
      const std::optional<expr> f = field(sc, name);
      const select_item* item = alias_item(sc, name);
      if (item != nullptr) {
        if (f && f->text != item->value.text)
          fail("GROUP BY " + narrow(name) + " names both a field and a result column");
        if (item->value.aggregate) fail("GROUP BY " + narrow(name) + " names an aggregate");
        next();
        return item->value.text;  // T-SQL groups by expressions, not by result names
      }
    }
    const expr e = value(expression(sc));
    return e.text;
  }

  const select_item& position(const std::vector<select_item>& items) {
    const std::u16string n = next().text;
    std::size_t i = 0;
    for (const char16_t c : n) {
      if (c < u'0' || c > u'9' || i > items.size())
        fail("column number " + narrow(n) + " out of range");
      i = i * 10 + (c - u'0');
    }
    if (i == 0 || i > items.size()) fail("column number " + narrow(n) + " out of range");
    if (items[i - 1].star) fail("column number " + narrow(n) + " falls on a '*'");
    return items[i - 1];
  }

  std::u16string order_item(const scope& sc, const std::vector<select_item>& items) {
    std::u16string sql;
    if (peek().kind == mss_vfp_tok::number) {
      sql = peek().text;
      position(items);
    } else if (peek().kind == mss_vfp_tok::name && !op(u".", 1) && !op(u"(", 1) &&
               alias_item(sc, peek().text) != nullptr) {
      sql = mss_quote_name(next().text);
    } else {
      sql = value(expression(sc)).text;
    }
    if (accept_kw(u"DESC"))
      sql += u" DESC";
    else
      accept_kw(u"ASC");
    return sql;
  }

  // ---- conditions and values ----

  std::u16string condition(const scope& sc) { return pred(expression(sc)).text; }

  // A value where T-SQL wants a condition: only a logical value may stand there.
  static expr pred(expr e) {
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
  static expr value(expr e) {
    if (!e.pred) return e;
    e.text = u"CAST(CASE WHEN " + e.text + u" THEN 1 ELSE 0 END AS bit)";
    e.pred = false;
    e.kind = kind_t::logical;
    return e;
  }

  expr expression(const scope& sc) {
    depth_guard guard(depth_);
    expr left = and_expr(sc);
    while (kw(u"OR") || dotted(u"OR")) {
      next();
      const expr right = and_expr(sc);
      left = combine(pred(std::move(left)), u" OR ", pred(right));
    }
    return left;
  }

  expr and_expr(const scope& sc) {
    expr left = not_expr(sc);
    while (kw(u"AND") || dotted(u"AND")) {
      next();
      const expr right = not_expr(sc);
      left = combine(pred(std::move(left)), u" AND ", pred(right));
    }
    return left;
  }

  static expr combine(expr left, std::u16string_view op_text, const expr& right) {
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

  expr not_expr(const scope& sc) {
    depth_guard guard(depth_);
    if (kw(u"NOT") || dotted(u"NOT") || op(u"!")) {
      next();
      expr e = pred(not_expr(sc));
      e.text = u"NOT " + e.text;
      return e;
    }
    return comparison(sc);
  }

  expr comparison(const scope& sc) {
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

  expr in_list(const scope& sc) {
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

  static kind_t sum_kind(kind_t a, kind_t b, bool minus) {
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

  expr additive(const scope& sc) {
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

  expr multiplicative(const scope& sc) {
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

  expr unary(const scope& sc) {
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

  static expr string_literal(std::u16string_view s) {
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

  expr primary(const scope& sc) {
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

  // ---- functions ----

  // The Visual FoxPro function `name` names, allowing its abbreviation to four letters or
  // more; empty when it is none this translation knows.
  static std::u16string_view known_function(std::u16string_view name) {
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

  std::vector<expr> arguments(const scope& sc, std::u16string_view fn, std::size_t min,
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

  static expr call(std::u16string_view fn, const std::vector<expr>& args, kind_t kind) {
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

  static expr empty_test(const std::u16string& text, kind_t kind) {
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

  expr function(const scope& sc, const std::u16string& name) {
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
};

}  // namespace

void mss_vfp_translate(const std::vector<mss_vfp_token>& tokens, const mss_view_names& names,
                       mss_view_translation& out) {
  parser(tokens, names, out).run();
}

void mss_vfp_translate_condition(const std::vector<mss_vfp_token>& tokens,
                                 const mss_view_source& table, mss_view_translation& out) {
  const mss_view_names none;
  parser(tokens, none, out).run_condition(table);
}
