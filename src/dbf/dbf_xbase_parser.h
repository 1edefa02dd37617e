#pragma once

// The syntax tree of an xBase expression, read by recursive descent with the operator
// precedence of FoxPro: OR < AND < NOT < comparisons < + - < * / % < ^ ** < unary sign.
// Parentheses leave no node. The tree lives in one vector, so that neither building nor
// destroying it recurses, and its height is bounded so that walking it cannot exhaust the stack.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "dbf/dbf_xbase_lexer.h"

struct dbf_xbase_node {
  enum class kind : std::uint8_t { literal, field, call, unary, binary };
  enum class op : std::uint8_t {
    none,
    not_,
    minus,
    plus,
    and_,
    or_,
    eq,        // =
    exact_eq,  // ==
    ne,        // # != <>
    lt,
    le,  // <= =<
    gt,
    ge,  // >= =>
    contains,
    add,
    sub,
    mul,
    div,
    mod,
    pow,
  };
  kind type;
  op oper = op::none;
  dbf_xbase_token token{};            // a literal's token, a field's or function's name
  std::string_view qualifier;         // the alias of alias.field and alias->field
  std::vector<std::size_t> children;  // a call's arguments, an operator's operands
  int height = 1;
};

class dbf_xbase_tree {
 public:
  // A chain of operators longer than this makes an expression unreadable, so that walking
  // the tree recurses a bounded number of times; keys of the formats are at most 240
  // characters, which joins about 120 fields.
  static constexpr int k_max_height = 256;
  // Nesting of parentheses, calls and prefix operators deeper than this makes an expression
  // unreadable, so that the parse itself stays shallow on the stack.
  static constexpr int k_max_nesting = 64;

  const dbf_xbase_node& root() const { return nodes_.at(root_); }
  const dbf_xbase_node& child(const dbf_xbase_node& node, std::size_t i) const {
    return nodes_.at(node.children.at(i));
  }

 private:
  friend class dbf_xbase_parser;
  std::vector<dbf_xbase_node> nodes_;
  std::size_t root_ = 0;
};

// The tree of `expr`; none when it is not one whole expression or nests deeper or chains
// longer than the tree allows. Nodes hold views into `expr`.
std::optional<dbf_xbase_tree> dbf_xbase_parse(std::string_view expr);
