// The statement side of the view translator: a whole query with its UNIONs, each SELECT's
// list, FROM with its joins, how names resolve against the tables in scope, and GROUP BY and
// ORDER BY.

#include "mss/mss_names.h"
#include "mss/mss_vfp_parser_impl.h"
#include "tk/tk_encoding.h"

namespace mss_vfp_detail {

std::u16string parser::query() {
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
std::u16string parser::select(const scope* outer, bool top_level,
                              std::optional<std::u16string>* order, bool* top) {
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

std::size_t parser::find_from() const {
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

std::u16string parser::select_list(const scope& sc, std::vector<select_item>& items,
                                   bool top_level) {
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

void parser::add_columns(const range_var& v) {
  for (const mss_view_column& c : v.source->columns) add_column(c);
}

void parser::add_column(mss_view_column c) {
  for (const mss_view_column& other : out_.columns)
    if (tk_equal_nocase(other.column, c.column))
      fail("two result columns named " + narrow(c.column) +
           ": a T-SQL view needs distinct names (give them aliases)");
  out_.columns.push_back(std::move(c));
}

std::u16string parser::from_clause(scope& sc) {
  std::u16string sql = table_expression(sc);
  while (accept_op(u",")) sql += u", " + table_expression(sc);
  return sql;
}

std::u16string parser::table_expression(scope& sc) {
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

std::u16string parser::table_primary(scope& sc) {
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

const range_var& parser::qualifier(const scope& sc, std::u16string_view q) const {
  for (const scope* s = &sc; s != nullptr; s = s->outer)
    for (const range_var& v : s->vars)
      if (tk_equal_nocase(v.alias.empty() ? v.source->name : v.alias, q)) return v;
  fail("unknown table or alias " + narrow(q));
}

expr parser::column_expr(const range_var* v, const mss_view_column& c) {
  expr e;
  e.text = (v != nullptr ? v->qualifier + u"." : u"") + mss_quote_name(c.column);
  e.kind = c.kind;
  e.column = &c;
  return e;
}

expr parser::qualified_column(const scope& sc, std::u16string_view q,
                              std::u16string_view field) const {
  const range_var& v = qualifier(sc, q);
  const mss_view_column* c = v.source->find(field);
  if (c == nullptr) fail("table " + narrow(v.source->name) + " has no field " + narrow(field));
  return column_expr(check_ ? nullptr : &v, *c);
}

// An unqualified field: the innermost SELECT whose tables have it, exactly one of them.
std::optional<expr> parser::field(const scope& sc, std::u16string_view name) const {
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

const select_item* parser::alias_item(const scope& sc, std::u16string_view name) const {
  if (sc.items == nullptr) return nullptr;
  for (const select_item& item : *sc.items)
    if (!item.alias.empty() && tk_equal_nocase(item.alias, name)) return &item;
  return nullptr;
}

std::u16string parser::group_item(const scope& sc, const std::vector<select_item>& items) {
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

const select_item& parser::position(const std::vector<select_item>& items) {
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

std::u16string parser::order_item(const scope& sc, const std::vector<select_item>& items) {
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

}  // namespace mss_vfp_detail
