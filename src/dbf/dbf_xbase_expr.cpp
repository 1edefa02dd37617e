#include "dbf/dbf_xbase_expr.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "dbf/dbf_xbase_parser.h"
#include "tk/tk_string.h"

// Each reader walks the tree of one expression and fails on the first node outside its
// subset. The tree's bounded height bounds their recursion.

namespace {

using node = dbf_xbase_node;
using nkind = dbf_xbase_node::kind;
using op = dbf_xbase_node::op;
using tkind = dbf_xbase_token::kind;
using relation = dbf_filter_term::op;

// Whole numbers of DATE(y, m, d) and DATETIME(...) parts: a year has four digits at most.
constexpr std::size_t k_max_part_digits = 4;

bool is_call(const node& n, std::string_view function) {
  return n.type == nkind::call && dbf_xbase_names_function(n.token.text, function);
}

// A literal, or a number literal behind one sign.
std::optional<dbf_constant> constant_of(const dbf_xbase_tree& tree, const node& n) {
  if (n.type == nkind::literal) return dbf_xbase_literal(n.token);
  if (n.type != nkind::unary || (n.oper != op::minus && n.oper != op::plus)) return std::nullopt;
  const node& operand = tree.child(n, 0);
  if (operand.type != nkind::literal || operand.token.type != tkind::number) return std::nullopt;
  const std::string sign = n.oper == op::minus ? "-" : "";
  return dbf_constant{dbf_constant::kind::number, sign + std::string(operand.token.text), false};
}

// The value of a number literal written with digits only.
std::optional<int> whole_number(const node& n, std::size_t max_digits) {
  if (n.type != nkind::literal || n.token.type != tkind::number) return std::nullopt;
  const std::string_view text = n.token.text;
  if (text.empty() || text.size() > max_digits) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A number literal equal to 1 ("1", "01", "1.00").
bool is_one(const node& n) {
  if (n.type != nkind::literal || n.token.type != tkind::number) return false;
  std::string_view text = n.token.text;
  text.remove_prefix(std::min(text.find_first_not_of('0'), text.size()));
  if (text.empty() || text[0] != '1') return false;
  text.remove_prefix(1);
  if (text.empty()) return true;
  return text[0] == '.' && text.find_first_not_of('0', 1) == std::string_view::npos;
}

// The spelling in `fields` of the field `n` names, ignoring its alias.
std::optional<std::string> field_of(const node& n, const std::vector<std::string>& fields) {
  if (n.type != nkind::field) return std::nullopt;
  for (const std::string& f : fields)
    if (tk_equal_nocase(std::string_view(f), n.token.text)) return f;
  return std::nullopt;
}

// A function that keeps the order of the key built on its first argument, closely enough for
// an index on the field itself: the arguments it takes, and what its further ones must be.
struct key_wrapper {
  enum class extra : std::uint8_t { constants, length, from_one };
  std::string_view name;
  std::size_t min_args;
  std::size_t max_args;
  extra rule;
};

// Names of four letters or more that start another one come after it, so that an
// abbreviation finds the full name of the list first. UPPER and LOWER fold case, and the index
// goes on the column itself: text columns are created case-sensitive (keys compare exactly, as
// DBF index keys do), so the index serves lookups of the values as stored; a column given a
// case-insensitive collation afterwards makes the same index serve case-blind lookups.
constexpr std::array<key_wrapper, 17> k_key_wrappers = {{
    {"UPPER", 1, 1, key_wrapper::extra::constants},
    {"LOWER", 1, 1, key_wrapper::extra::constants},
    {"ALLTRIM", 1, 8, key_wrapper::extra::constants},
    {"LTRIM", 1, 8, key_wrapper::extra::constants},
    {"RTRIM", 1, 8, key_wrapper::extra::constants},
    {"TRIM", 1, 8, key_wrapper::extra::constants},
    {"DTOS", 1, 1, key_wrapper::extra::constants},
    {"DTOC", 1, 2, key_wrapper::extra::constants},
    {"TTOC", 1, 2, key_wrapper::extra::constants},
    {"STR", 1, 3, key_wrapper::extra::constants},
    {"PADL", 2, 3, key_wrapper::extra::constants},
    {"PADR", 2, 3, key_wrapper::extra::constants},
    {"PADC", 2, 3, key_wrapper::extra::constants},
    {"BINTOC", 1, 2, key_wrapper::extra::constants},
    {"LEFT", 2, 2, key_wrapper::extra::length},
    {"SUBSTR", 2, 3, key_wrapper::extra::from_one},
    {"SUBSTRC", 2, 3, key_wrapper::extra::from_one},
}};

class key_reader {
 public:
  key_reader(const dbf_xbase_tree& tree, const std::vector<std::string>& fields)
      : tree_(tree), fields_(fields) {}

  bool read(const node& n) {
    if (n.type == nkind::binary && n.oper == op::add)
      return read(tree_.child(n, 0)) && read(tree_.child(n, 1));
    if (n.type == nkind::call) return wrapped(n);
    std::optional<std::string> field = field_of(n, fields_);
    if (!field || std::find(keys_.begin(), keys_.end(), *field) != keys_.end()) return false;
    keys_.push_back(std::move(*field));
    return true;
  }

  std::vector<std::string> keys() && { return std::move(keys_); }

 private:
  bool wrapped(const node& n) {
    const auto w = std::find_if(k_key_wrappers.begin(), k_key_wrappers.end(),
                                [&](const key_wrapper& k) { return is_call(n, k.name); });
    const std::size_t count = n.children.size();
    if (w == k_key_wrappers.end() || count < w->min_args || count > w->max_args) return false;
    for (std::size_t i = 1; i < count; ++i) {
      const node& arg = tree_.child(n, i);
      if (!constant_of(tree_, arg)) return false;
      const bool length = w->rule == key_wrapper::extra::length ||
                          (w->rule == key_wrapper::extra::from_one && i == 2);
      if (length && !whole_number(arg, k_max_part_digits)) return false;
      if (w->rule == key_wrapper::extra::from_one && i == 1 && !is_one(arg)) return false;
    }
    return read(tree_.child(n, 0));
  }

  const dbf_xbase_tree& tree_;
  const std::vector<std::string>& fields_;
  std::vector<std::string> keys_;
};

std::optional<relation> relation_of(op oper) {
  switch (oper) {
    case op::eq:
    case op::exact_eq:
      return relation::eq;
    case op::ne:
      return relation::ne;
    case op::lt:
      return relation::lt;
    case op::le:
      return relation::le;
    case op::gt:
      return relation::gt;
    case op::ge:
      return relation::ge;
    default:
      return std::nullopt;
  }
}

// The relation that holds exactly where `r` does not.
relation inverse(relation r) {
  switch (r) {
    case relation::eq:
      return relation::ne;
    case relation::ne:
      return relation::eq;
    case relation::lt:
      return relation::ge;
    case relation::le:
      return relation::gt;
    case relation::gt:
      return relation::le;
    case relation::ge:
      return relation::lt;
    case relation::is_true:
      return relation::is_false;
    case relation::is_false:
      return relation::is_true;
    case relation::not_empty:
      break;
  }
  return r;
}

// The relation with its sides swapped: 5 < a is a > 5.
relation mirrored(relation r) {
  switch (r) {
    case relation::lt:
      return relation::gt;
    case relation::le:
      return relation::ge;
    case relation::gt:
      return relation::lt;
    case relation::ge:
      return relation::le;
    default:
      return r;
  }
}

class filter_reader {
 public:
  filter_reader(const dbf_xbase_tree& tree, const std::vector<std::string>& fields)
      : tree_(tree), fields_(fields) {}

  // Reads `n`, under a NOT when `negated`.
  bool read(const node& n, bool negated) {
    if (n.type == nkind::unary && n.oper == op::not_) return read(tree_.child(n, 0), !negated);
    if (n.type == nkind::binary && n.oper == op::and_)
      return !negated && read(tree_.child(n, 0), false) && read(tree_.child(n, 1), false);
    if (n.type == nkind::binary) return comparison(n, negated);
    if (is_call(n, "DELETED") && n.children.empty()) {
      if (!negated) return false;
      not_deleted_ = true;
      return true;
    }
    if (is_call(n, "EMPTY") && n.children.size() == 1) {
      std::optional<std::string> field = field_of(tree_.child(n, 0), fields_);
      if (!negated || !field) return false;
      filter_.terms.push_back({std::move(*field), relation::not_empty, {}});
      return true;
    }
    std::optional<std::string> field = field_of(n, fields_);
    if (!field) return false;
    filter_.terms.push_back(
        {std::move(*field), negated ? relation::is_false : relation::is_true, {}});
    return true;
  }

  dbf_filter result() && {
    filter_.not_deleted_only = not_deleted_ && filter_.terms.empty();
    return std::move(filter_);
  }

 private:
  bool comparison(const node& n, bool negated) {
    std::optional<relation> r = relation_of(n.oper);
    if (!r) return false;
    const node& left = tree_.child(n, 0);
    const node& right = tree_.child(n, 1);
    std::optional<std::string> field = field_of(left, fields_);
    std::optional<dbf_constant> value = constant_of(tree_, right);
    if (!field) {
      field = field_of(right, fields_);
      value = constant_of(tree_, left);
      r = mirrored(*r);
    }
    if (!field || !value) return false;
    filter_.terms.push_back({std::move(*field), negated ? inverse(*r) : *r, std::move(*value)});
    return true;
  }

  const dbf_xbase_tree& tree_;
  const std::vector<std::string>& fields_;
  dbf_filter filter_;
  bool not_deleted_ = false;
};

// DATE(y, m, d) or DATETIME(y, m, d[, h[, mi[, s]]]) with whole numbers.
std::optional<dbf_constant> dated_call(const dbf_xbase_tree& tree, const node& n, bool datetime) {
  const std::size_t count = n.children.size();
  if (count < 3 || count > (datetime ? 6u : 3u)) return std::nullopt;
  std::array<int, 6> parts{};
  for (std::size_t i = 0; i < count; ++i) {
    const std::optional<int> part = whole_number(tree.child(n, i), k_max_part_digits);
    if (!part) return std::nullopt;
    parts[i] = *part;
  }
  const std::optional<std::string> iso =
      datetime ? dbf_xbase_iso_datetime(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5])
               : dbf_xbase_iso_date(parts[0], parts[1], parts[2]);
  if (!iso) return std::nullopt;
  return dbf_constant{datetime ? dbf_constant::kind::datetime : dbf_constant::kind::date, *iso,
                      false};
}

}  // namespace

std::optional<std::vector<std::string>> dbf_translate_key(std::string_view expr,
                                                          const std::vector<std::string>& fields) {
  const std::optional<dbf_xbase_tree> tree = dbf_xbase_parse(expr);
  if (!tree) return std::nullopt;
  key_reader reader(*tree, fields);
  if (!reader.read(tree->root())) return std::nullopt;
  return std::move(reader).keys();
}

std::optional<dbf_filter> dbf_translate_filter(std::string_view expr,
                                               const std::vector<std::string>& fields) {
  const std::optional<dbf_xbase_tree> tree = dbf_xbase_parse(expr);
  if (!tree) return std::nullopt;
  filter_reader reader(*tree, fields);
  if (!reader.read(tree->root(), false)) return std::nullopt;
  return std::move(reader).result();
}

std::optional<dbf_default> dbf_translate_default(std::string_view expr) {
  const std::optional<dbf_xbase_tree> tree = dbf_xbase_parse(expr);
  if (!tree) return std::nullopt;
  const node& root = tree->root();
  if (std::optional<dbf_constant> value = constant_of(*tree, root))
    return dbf_default{dbf_default::kind::constant, std::move(*value)};
  if (root.type != nkind::call) return std::nullopt;
  // DATE is also the first four letters of DATETIME: written out, it is the function DATE.
  const bool date = dbf_xbase_names_function(root.token.text, "DATE");
  const bool datetime = !date && dbf_xbase_names_function(root.token.text, "DATETIME");
  if (!date && !datetime) return std::nullopt;
  if (root.children.empty())
    return dbf_default{date ? dbf_default::kind::today : dbf_default::kind::now, {}};
  std::optional<dbf_constant> value = dated_call(*tree, root, datetime);
  if (!value) return std::nullopt;
  return dbf_default{dbf_default::kind::constant, std::move(*value)};
}
