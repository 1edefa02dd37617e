// T-SQL of indexes shared by the server and the script writer; see mss_index_sql.h.
#include "mss/mss_index_sql.h"

#include "mss/mss_literal.h"
#include "mss/mss_names.h"

namespace {

using term = udb_index_filter_term;

std::u16string_view op_text(term::op relation) {
  switch (relation) {
    case term::op::eq:
      return u" = ";
    case term::op::ne:
      return u" <> ";
    case term::op::lt:
      return u" < ";
    case term::op::le:
      return u" <= ";
    case term::op::gt:
      return u" > ";
    case term::op::ge:
      return u" >= ";
    default:
      return u"";
  }
}

bool is_number(std::u16string_view text) {
  std::size_t i = !text.empty() && (text[0] == u'-' || text[0] == u'+') ? 1 : 0;
  bool digits = false;
  bool point = false;
  for (; i < text.size(); ++i) {
    if (text[i] >= u'0' && text[i] <= u'9') {
      digits = true;
    } else if (text[i] == u'.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

// The constant of a comparison, none when T-SQL has no comparable literal for it.
std::optional<std::u16string> literal(const term& t) {
  switch (t.value_kind) {
    case term::kind::number:
      if (!is_number(t.text)) return std::nullopt;
      return t.text;
    case term::kind::string:
      return to_mssql_str(t.text, VT_BSTR);
    case term::kind::date:
    case term::kind::datetime:
      // ISO forms read the same whatever the session's date format.
      return u"'" + t.text + u"'";
    case term::kind::logical:
      return std::u16string(t.logical ? u"1" : u"0");
    case term::kind::null:
      return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::u16string> condition(const term& t, const udb_schema& schema,
                                        const mss_column_namer& namer) {
  const std::u16string column = namer(t.column);
  const std::u16string quoted = mss_quote_name(column);
  switch (t.relation) {
    case term::op::not_empty:
      return quoted + (schema.get_field_type(column) == VT_BSTR ? u" <> N''" : u" IS NOT NULL");
    case term::op::is_true:
      return quoted + u" = 1";
    case term::op::is_false:
      return quoted + u" = 0";
    default:
      break;
  }
  const bool blank_date =
      (t.value_kind == term::kind::date || t.value_kind == term::kind::datetime) && t.text.empty();
  if (blank_date) {
    // A blank date arrives as NULL.
    if (t.relation == term::op::eq) return quoted + u" IS NULL";
    if (t.relation == term::op::ne) return quoted + u" IS NOT NULL";
    return std::nullopt;
  }
  const std::optional<std::u16string> value = literal(t);
  if (!value) return std::nullopt;
  return quoted + std::u16string(op_text(t.relation)) + *value;
}

}  // namespace

bool mss_is_nullable(const udb_schema& schema, const std::u16string& column) {
  const std::int32_t at = schema.get_field_idx(column);
  return at < 0 || !schema[static_cast<std::size_t>(at)].b_not_null;
}

std::u16string mss_index_key_list(const std::vector<std::u16string>& columns, bool descending) {
  std::u16string out;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) out += u", ";
    out += mss_quote_name(columns[i]);
    if (descending) out += u" DESC";
  }
  return out;
}

std::optional<std::u16string> mss_index_filter_sql(const udb_index_filter& filter,
                                                   const udb_schema& schema,
                                                   const mss_column_namer& namer) {
  std::u16string out;
  for (const term& t : filter.terms) {
    const std::optional<std::u16string> text = condition(t, schema, namer);
    if (!text) return std::nullopt;
    if (!out.empty()) out += u" AND ";
    out += *text;
  }
  return out;
}

std::u16string mss_index_statement(const std::u16string& name, std::u16string_view table,
                                   std::u16string_view keys, bool unique,
                                   std::u16string_view conditions) {
  std::u16string sql = unique ? u"CREATE UNIQUE INDEX " : u"CREATE INDEX ";
  sql +=
      mss_quote_name(name) + u" ON " + std::u16string(table) + u"(" + std::u16string(keys) + u")";
  if (!conditions.empty()) sql += u" WHERE " + std::u16string(conditions);
  return sql;
}

std::u16string mss_duplicate_keys_query(std::u16string_view select, std::u16string_view table,
                                        std::u16string_view columns,
                                        std::u16string_view conditions) {
  std::u16string sql = u"SELECT " + std::u16string(select) + u" FROM " + std::u16string(table);
  if (!conditions.empty()) sql += u" WHERE " + std::u16string(conditions);
  return sql + u" GROUP BY " + std::u16string(columns) + u" HAVING COUNT(*) > 1";
}
