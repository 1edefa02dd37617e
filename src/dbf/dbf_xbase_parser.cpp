#include "dbf/dbf_xbase_parser.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

using token = dbf_xbase_token;
using tkind = dbf_xbase_token::kind;
using node = dbf_xbase_node;
using op = dbf_xbase_node::op;

struct spelling {
  std::string_view text;
  op oper;
};

constexpr std::array<spelling, 12> k_relations = {{
    {"=", op::eq},
    {"==", op::exact_eq},
    {"#", op::ne},
    {"!=", op::ne},
    {"<>", op::ne},
    {"<", op::lt},
    {"<=", op::le},
    {"=<", op::le},
    {">", op::gt},
    {">=", op::ge},
    {"=>", op::ge},
    {"$", op::contains},
}};
constexpr std::array<spelling, 2> k_additive = {{{"+", op::add}, {"-", op::sub}}};
constexpr std::array<spelling, 3> k_multiplicative = {
    {{"*", op::mul}, {"/", op::div}, {"%", op::mod}}};
constexpr std::array<spelling, 2> k_power = {{{"^", op::pow}, {"**", op::pow}}};

}  // namespace

// One parse: the tokens, the position in them and the tree under construction. Every parse
// function answers the index of the node it built, or none when the text does not parse.
class dbf_xbase_parser {
 public:
  explicit dbf_xbase_parser(std::vector<token> tokens) : tokens_(std::move(tokens)) {}

  std::optional<dbf_xbase_tree> run() {
    const std::optional<std::size_t> root = disjunction();
    if (!root || peek().type != tkind::end) return std::nullopt;
    tree_.root_ = *root;
    return std::move(tree_);
  }

 private:
  using result = std::optional<std::size_t>;

  // Counts the parse functions active on the stack; a level past the tree's bound fails.
  class nesting {
   public:
    explicit nesting(int& depth) : depth_(depth) { ++depth_; }
    ~nesting() { --depth_; }
    nesting(const nesting&) = delete;
    nesting& operator=(const nesting&) = delete;
    bool too_deep() const { return depth_ > dbf_xbase_tree::k_max_nesting; }

   private:
    int& depth_;
  };

  const token& peek() const { return tokens_[std::min(pos_, tokens_.size() - 1)]; }
  const token& advance() {
    const token& t = peek();
    if (pos_ < tokens_.size() - 1) ++pos_;
    return t;
  }

  result add(node n) {
    int height = 0;
    for (const std::size_t c : n.children) height = std::max(height, tree_.nodes_[c].height);
    n.height = height + 1;
    if (n.height > dbf_xbase_tree::k_max_height) return std::nullopt;
    tree_.nodes_.push_back(std::move(n));
    return tree_.nodes_.size() - 1;
  }

  result unary(op oper, std::size_t operand) {
    return add(node{node::kind::unary, oper, {}, {}, {operand}});
  }

  result binary(op oper, std::size_t left, std::size_t right) {
    return add(node{node::kind::binary, oper, {}, {}, {left, right}});
  }

  // The operator among `table` that the next token spells, if any.
  template <std::size_t n>
  std::optional<op> spelt(const std::array<spelling, n>& table) const {
    if (peek().type != tkind::op) return std::nullopt;
    for (const spelling& s : table)
      if (s.text == peek().text) return s.oper;
    return std::nullopt;
  }

  // A left-associative run of `operand` joined by the operators of `table`.
  template <std::size_t n>
  result chain(const std::array<spelling, n>& table, result (dbf_xbase_parser::*operand)()) {
    result left = (this->*operand)();
    while (left) {
      const std::optional<op> oper = spelt(table);
      if (!oper) break;
      advance();
      const result right = (this->*operand)();
      if (!right) return std::nullopt;
      left = binary(*oper, *left, *right);
    }
    return left;
  }

  // A left-associative run joined by the keyword operator `joiner`.
  result keyword_chain(tkind joiner, op oper, result (dbf_xbase_parser::*operand)()) {
    result left = (this->*operand)();
    while (left && peek().type == joiner) {
      advance();
      const result right = (this->*operand)();
      if (!right) return std::nullopt;
      left = binary(oper, *left, *right);
    }
    return left;
  }

  result disjunction() {
    const nesting guard(depth_);
    if (guard.too_deep()) return std::nullopt;
    return keyword_chain(tkind::op_or, op::or_, &dbf_xbase_parser::conjunction);
  }

  result conjunction() {
    return keyword_chain(tkind::op_and, op::and_, &dbf_xbase_parser::negation);
  }

  result negation() {
    if (peek().type != tkind::op_not) return comparison();
    const nesting guard(depth_);
    if (guard.too_deep()) return std::nullopt;
    advance();
    const result operand = negation();
    return operand ? unary(op::not_, *operand) : std::nullopt;
  }

  result comparison() { return chain(k_relations, &dbf_xbase_parser::sum); }
  result sum() { return chain(k_additive, &dbf_xbase_parser::product); }
  result product() { return chain(k_multiplicative, &dbf_xbase_parser::power); }
  result power() { return chain(k_power, &dbf_xbase_parser::sign); }

  result sign() {
    const bool minus = peek().type == tkind::op && peek().text == "-";
    const bool plus = peek().type == tkind::op && peek().text == "+";
    if (!minus && !plus) return primary();
    const nesting guard(depth_);
    if (guard.too_deep()) return std::nullopt;
    advance();
    const result operand = sign();
    return operand ? unary(minus ? op::minus : op::plus, *operand) : std::nullopt;
  }

  result primary() {
    const token& t = peek();
    switch (t.type) {
      case tkind::number:
      case tkind::string:
      case tkind::braces:
      case tkind::logical:
      case tkind::null:
        return add(node{node::kind::literal, op::none, advance(), {}, {}});
      case tkind::open: {
        advance();
        const result inner = disjunction();
        if (!inner || advance().type != tkind::close) return std::nullopt;
        return inner;
      }
      case tkind::name:
        return named();
      default:
        return std::nullopt;
    }
  }

  // A function call, a field, or a field qualified by its alias.
  result named() {
    const token name = advance();
    if (peek().type == tkind::open) return call(name);
    if (peek().type != tkind::dot && peek().type != tkind::arrow)
      return add(node{node::kind::field, op::none, name, {}, {}});
    advance();
    if (peek().type != tkind::name) return std::nullopt;
    return add(node{node::kind::field, op::none, advance(), name.text, {}});
  }

  result call(const token& name) {
    advance();
    node n{node::kind::call, op::none, name, {}, {}};
    if (peek().type == tkind::close) {
      advance();
      return add(std::move(n));
    }
    while (true) {
      const result arg = disjunction();
      if (!arg) return std::nullopt;
      n.children.push_back(*arg);
      const tkind next = advance().type;
      if (next == tkind::close) return add(std::move(n));
      if (next != tkind::comma) return std::nullopt;
    }
  }

  std::vector<token> tokens_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  dbf_xbase_tree tree_;
};

std::optional<dbf_xbase_tree> dbf_xbase_parse(std::string_view expr) {
  std::optional<std::vector<token>> tokens = dbf_xbase_lex(expr);
  if (!tokens) return std::nullopt;
  return dbf_xbase_parser(std::move(*tokens)).run();
}
