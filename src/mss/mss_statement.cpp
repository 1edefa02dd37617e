// Statement pieces both writers build alike: INSERT heads, foreign keys, DEFAULT clauses.

#include "mss/mss_statement.h"

#include "mss/mss_literal.h"
#include "mss/mss_names.h"
#include "mss/mss_safe_value.h"
#include "mss/mss_text_literal.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"
#include "udb/t_ftd.h"
#include "udb/udb_name_compare.h"
#include "udb/udb_names_map.h"
#include "udb/udb_relationships.h"
#include "udb/udb_schema.h"

void mss_append_default(std::u16string& out, const t_ftd& column) {
  const ole_variant& value = column.def_value;
  if (value.vt() == VT_BOOL) {
    out += u" DEFAULT " + mss_bool_literal(value);
    return;
  }
  const std::u16string def = value.vt() == VT_BSTR ? value.text() : value.to_wstring();
  TK_WLOG(2, "Got safe default value: %s", def);
  if (def.empty()) return;
  if (column.vartype == VT_DATE && udb_names_equal_nocase(def, u"getdate()")) {
    // The server's clock, as xBase's DATE() and DATETIME() defaults read the machine's.
    out += column.reserved == 2 ? u" DEFAULT CAST(GETDATE() AS date)" : u" DEFAULT GETDATE()";
  } else if (column.vartype == VT_BSTR && column.reserved == 1) {
    if (udb_names_equal_nocase(def, u"newid()") ||
        udb_names_equal_nocase(def, u"uuid_generate_v4()")) {
      out += u" DEFAULT newid()";
    }
  } else if (const ole_variant date = mss_date_default(column);
             date.vt() == VT_DATE && mss_date_form_of(column) != mss_date_form::other) {
    std::string literal;
    mss_append_date_literal(literal, date.systemtime(), mss_date_form_of(column));
    out += u" DEFAULT " + tk_from_utf8(literal);
  } else if (column.vartype == VT_BSTR || column.vartype == VT_DATE) {
    out += u" DEFAULT '";
    for (const char16_t c : def) {
      out += c;
      if (c == u'\'') out += u'\'';
    }
    out += u'\'';
  } else {
    out += u" DEFAULT " + def;
  }
}

std::string mss_insert_prefix(std::string_view safe_table_utf8, const udb_schema& columns) {
  std::string out = "INSERT INTO ";
  out += safe_table_utf8;
  out += " (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) out += ", ";
    std::u16string bracketed;
    mss_append_bracketed(bracketed, columns[i].name);
    mss_append_utf8(out, bracketed, false);
  }
  return out + ") VALUES (";
}

std::u16string mss_fk_statement(const udb_names_map& names, const udb_relationship& fk,
                                const std::u16string& child_safe, const std::u16string& parent_safe,
                                std::u16string_view foreign_key) {
  const std::u16string child = names.get_tn_mapped_name(fk.fk_table, false);
  const std::u16string parent = names.get_tn_mapped_name(fk.pk_table, false);
  auto fields = [&](const std::u16string& table, const std::vector<std::u16string>& list) {
    std::u16string out;
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (i > 0) out += u", ";
      out += mss_quote_name(names.get_fn_mapped_name(table, list[i], true));
    }
    return out;
  };
  return u"ALTER TABLE " + child_safe + u" ADD CONSTRAINT " + mss_quote_name(fk.name) + u" " +
         std::u16string(foreign_key) + fields(child, fk.child_fields) + u") REFERENCES " +
         parent_safe + u"(" + fields(parent, fk.parent_fields) + u")";
}
