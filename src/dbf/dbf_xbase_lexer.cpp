#include "dbf/dbf_xbase_lexer.h"

#include <array>

namespace {

using token = dbf_xbase_token;
using kind = dbf_xbase_token::kind;

constexpr std::size_t k_min_abbreviation = 4;

char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equal_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Bytes above 0x7F belong to names: long field names may be written in the table's code page or
// in UTF-8.
bool starts_name(char c) {
  return is_letter(c) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool continues_name(char c) {
  return starts_name(c) || is_digit(c);
}

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct dotted_word {
  std::string_view word;
  kind type;
  bool truth;
};

// The words xBase writes between dots.
constexpr std::array<dotted_word, 8> k_dotted = {{
    {"T", kind::logical, true},
    {"F", kind::logical, false},
    {"Y", kind::logical, true},
    {"N", kind::logical, false},
    {"AND", kind::op_and, false},
    {"OR", kind::op_or, false},
    {"NOT", kind::op_not, false},
    {"NULL", kind::null, false},
}};

// Operators of two characters first, so that "<=" is not read as "<" and "=".
constexpr std::array<std::string_view, 8> k_double_ops = {
    "==", "!=", "<>", "<=", "=<", ">=", "=>", "**"};
constexpr std::string_view k_single_ops = "=#<>+-*/%^$";

class lexer {
 public:
  explicit lexer(std::string_view expr) : s_(expr) {}

  std::optional<std::vector<token>> run() {
    std::vector<token> out;
    while (true) {
      while (pos_ < s_.size() && is_blank(s_[pos_])) ++pos_;
      if (pos_ >= s_.size()) break;
      const std::optional<token> t = next();
      if (!t) return std::nullopt;
      out.push_back(*t);
    }
    out.push_back(token{kind::end, s_.substr(s_.size()), false});
    return out;
  }

 private:
  char at(std::size_t i) const { return i < s_.size() ? s_[i] : '\0'; }

  token take(kind type, std::size_t length) {
    const token t{type, s_.substr(pos_, length), false};
    pos_ += length;
    return t;
  }

  std::optional<token> next() {
    const char c = s_[pos_];
    if (c == '.') return dot();
    if (is_digit(c)) return number();
    if (starts_name(c)) return name();
    if (c == '\'' || c == '"') return delimited(c, kind::string);
    if (c == '[') return delimited(']', kind::string);
    if (c == '{') return delimited('}', kind::braces);
    if (c == '(') return take(kind::open, 1);
    if (c == ')') return take(kind::close, 1);
    if (c == ',') return take(kind::comma, 1);
    if (c == '-' && at(pos_ + 1) == '>') return take(kind::arrow, 2);
    for (const std::string_view op : k_double_ops)
      if (s_.substr(pos_, 2) == op) return take(kind::op, 2);
    if (c == '!') return take(kind::op_not, 1);
    if (k_single_ops.find(c) != std::string_view::npos) return take(kind::op, 1);
    return std::nullopt;
  }

  std::optional<token> dot() {
    if (is_digit(at(pos_ + 1))) return number();
    std::size_t end = pos_ + 1;
    while (end < s_.size() && is_letter(s_[end])) ++end;
    if (end > pos_ + 1 && at(end) == '.') {
      const std::string_view word = s_.substr(pos_ + 1, end - pos_ - 1);
      for (const dotted_word& d : k_dotted) {
        if (!equal_nocase(word, d.word)) continue;
        token t = take(d.type, end + 1 - pos_);
        t.truth = d.truth;
        return t;
      }
    }
    return take(kind::dot, 1);
  }

  // A fraction needs a digit after the dot: "0.AND." is the number 0 followed by .AND.
  token number() {
    std::size_t end = pos_;
    while (is_digit(at(end))) ++end;
    if (at(end) == '.' && is_digit(at(end + 1))) {
      ++end;
      while (is_digit(at(end))) ++end;
    }
    if (at(end) == 'e' || at(end) == 'E') {
      std::size_t exp = end + 1;
      if (at(exp) == '+' || at(exp) == '-') ++exp;
      if (is_digit(at(exp))) {
        while (is_digit(at(exp))) ++exp;
        end = exp;
      }
    }
    return take(kind::number, end - pos_);
  }

  token name() {
    std::size_t end = pos_;
    while (end < s_.size() && continues_name(s_[end])) ++end;
    const std::string_view word = s_.substr(pos_, end - pos_);
    kind type = kind::name;
    if (equal_nocase(word, "AND")) type = kind::op_and;
    if (equal_nocase(word, "OR")) type = kind::op_or;
    if (equal_nocase(word, "NOT")) type = kind::op_not;
    return take(type, end - pos_);
  }

  std::optional<token> delimited(char closing, kind type) {
    const std::size_t end = s_.find(closing, pos_ + 1);
    if (end == std::string_view::npos) return std::nullopt;
    const token t{type, s_.substr(pos_ + 1, end - pos_ - 1), false};
    pos_ = end + 1;
    return t;
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<std::vector<dbf_xbase_token>> dbf_xbase_lex(std::string_view expr) {
  return lexer(expr).run();
}

bool dbf_xbase_names_function(std::string_view written, std::string_view full) {
  if (equal_nocase(written, full)) return true;
  return written.size() >= k_min_abbreviation && written.size() < full.size() &&
         equal_nocase(written, full.substr(0, written.size()));
}
