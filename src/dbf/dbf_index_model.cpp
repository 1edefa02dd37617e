// Index tags turned into udb indexes; see dbf_index_model.h.
#include "dbf/dbf_index_model.h"

#include <optional>

#include "dbf/dbf_xbase_expr.h"
#include "dbf/dbf_xbase_lexer.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

namespace {

// Field names of a table in a Visual FoxPro database container are stored cut to ten
// characters while its tags' expressions use the long names the container keeps.
constexpr std::size_t k_short_name = 10;

bool equal_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

const std::string* find_field(std::string_view name, const std::vector<std::string>& fields) {
  for (const std::string& field : fields)
    if (equal_nocase(field, name)) return &field;
  return nullptr;
}

udb_index_filter_term::op op_of(dbf_filter_term::op relation) {
  using in = dbf_filter_term::op;
  using out = udb_index_filter_term::op;
  switch (relation) {
    case in::eq:
      return out::eq;
    case in::ne:
      return out::ne;
    case in::lt:
      return out::lt;
    case in::le:
      return out::le;
    case in::gt:
      return out::gt;
    case in::ge:
      return out::ge;
    case in::not_empty:
      return out::not_empty;
    case in::is_true:
      return out::is_true;
    case in::is_false:
      return out::is_false;
  }
  return out::eq;
}

udb_index_filter_term::kind kind_of(dbf_constant::kind type) {
  using in = dbf_constant::kind;
  using out = udb_index_filter_term::kind;
  switch (type) {
    case in::number:
      return out::number;
    case in::string:
      return out::string;
    case in::date:
      return out::date;
    case in::datetime:
      return out::datetime;
    case in::logical:
      return out::logical;
    case in::null:
      return out::null;
  }
  return out::null;
}

udb_index_filter neutral_filter(const dbf_filter& filter, const dbf_text_decoder& decode) {
  udb_index_filter out;
  for (const dbf_filter_term& term : filter.terms) {
    udb_index_filter_term t;
    t.column = tk_from_utf8(term.field);
    t.relation = op_of(term.relation);
    t.value_kind = kind_of(term.value.type);
    t.text = term.value.type == dbf_constant::kind::string ? decode(term.value.text)
                                                           : tk_from_utf8(term.value.text);
    t.logical = term.value.logical;
    out.terms.push_back(std::move(t));
  }
  return out;
}

bool same_index(const udb_index& a, const udb_index& b) {
  if (a.fields.size() != b.fields.size() || a.b_unique != b.b_unique ||
      a.descending != b.descending || a.filter != b.filter) {
    return false;
  }
  for (std::size_t i = 0; i < a.fields.size(); ++i)
    if (!udb_names_equal_nocase(a.fields[i], b.fields[i])) return false;
  return true;
}

}  // namespace

std::string dbf_widen_short_names(std::string_view expr, const std::vector<std::string>& fields) {
  const std::optional<std::vector<dbf_xbase_token>> tokens = dbf_xbase_lex(expr);
  if (!tokens) return std::string(expr);
  std::string out;
  std::size_t done = 0;
  for (std::size_t i = 0; i < tokens->size(); ++i) {
    const dbf_xbase_token& token = (*tokens)[i];
    if (token.type != dbf_xbase_token::kind::name || token.text.size() <= k_short_name) continue;
    const bool call =
        i + 1 < tokens->size() && (*tokens)[i + 1].type == dbf_xbase_token::kind::open;
    if (call || find_field(token.text, fields) != nullptr) continue;
    const std::string* field = find_field(token.text.substr(0, k_short_name), fields);
    if (field == nullptr) continue;
    const auto at = static_cast<std::size_t>(token.text.data() - expr.data());
    out.append(expr.substr(done, at - done));
    out += *field;
    done = at + token.text.size();
  }
  out.append(expr.substr(done));
  return out;
}

udb_indexes dbf_indexes_of_tags(std::string_view table, const std::vector<dbf_index_tag>& tags,
                                const std::vector<std::string>& fields,
                                const dbf_text_decoder& decode) {
  udb_indexes out;
  std::vector<udb_index> kept;
  for (const dbf_index_tag& tag : tags) {
    const std::optional<std::vector<std::string>> key =
        dbf_translate_key(dbf_widen_short_names(tag.key, fields), fields);
    if (!key) {
      TK_LOG(3, "Table %s, tag %s: index key %s is not translated", table, tag.name, tag.key);
      continue;
    }
    udb_index index;
    index.name = tk_from_utf8_lossy(tag.name);
    index.b_unique = tag.candidate;
    index.descending = tag.descending;
    for (const std::string& field : *key) index.fields.push_back(tk_from_utf8(field));
    if (!tag.filter.empty()) {
      const std::optional<dbf_filter> filter =
          dbf_translate_filter(dbf_widen_short_names(tag.filter, fields), fields);
      if (!filter) {
        TK_LOG(3, "Table %s, tag %s: filter %s is not translated; the index holds every row", table,
               tag.name, tag.filter);
      } else {
        index.filter = neutral_filter(*filter, decode);
      }
    }
    bool repeated = false;
    for (const udb_index& earlier : kept) repeated = repeated || same_index(earlier, index);
    if (repeated) {
      TK_LOG(2, "Table %s, tag %s repeats an earlier index", table, tag.name);
      continue;
    }
    kept.push_back(index);
    out.push_back(index);
  }
  return out;
}
