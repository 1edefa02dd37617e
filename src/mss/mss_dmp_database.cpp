#include "mss/mss_dmp_database.h"

#include <cstdio>
#include <ctime>

#include "mss/mss_constraint.h"
#include "mss/mss_description.h"
#include "mss/mss_dmp_recordset.h"
#include "mss/mss_foreign_key.h"
#include "mss/mss_identity.h"
#include "mss/mss_index_sql.h"
#include "mss/mss_literal.h"
#include "mss/mss_names.h"
#include "mss/mss_refine_view.h"
#include "mss/mss_server_facts.h"
#include "mss/mss_statement.h"
#include "mss/mss_text_literal.h"
#include "mss/mss_validator.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "udb/udb_custom_conversion.h"
#include "udb/udb_name_compare.h"

namespace {

// SQL Server takes at most 16 key columns.
constexpr std::size_t k_max_index_fields = 16;
constexpr std::uint64_t k_max_index_bytes = 900;

// Text inside a /* */ block: a "*/" in a name would end the comment early.
std::string comment_text(std::u16string_view name) {
  std::string out;
  mss_append_utf8(out, name, false);
  for (std::size_t pos = out.find("*/"); pos != std::string::npos; pos = out.find("*/", pos)) {
    out.insert(pos + 1, 1, ' ');
  }
  return out;
}

std::string quote_doubled(std::string_view text) {
  std::string out;
  for (const char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string bracket_doubled(std::string_view text) {
  std::string out = "[";
  for (const char c : text) {
    out += c;
    if (c == ']') out += ']';
  }
  return out + "]";
}

// The script's base name: no folder, no extension.
std::u16string base_name(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u'/');
  if (slash != std::u16string_view::npos) path.remove_prefix(slash + 1);
  const std::size_t dot = path.find_last_of(u'.');
  if (dot != std::u16string_view::npos && dot > 0) path = path.substr(0, dot);
  return std::u16string(path);
}

std::u16string ascii(std::string_view text) {
  return std::u16string(text.begin(), text.end());
}

void append_bracketed_list(std::u16string& out, const std::vector<std::u16string>& names) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += u", ";
    out += mss_quote_name(names[i]);
  }
}

}  // namespace

mss_dmp_database::mss_dmp_database(const std::u16string& file_name, const mss_dump_options& options)
    : udb_database(file_name, 1, false),
      stream_(std::make_shared<mss_dmp_stream>(tk_to_utf8(file_name))),
      options_(options) {
  TK_WLOG(2, "mss_dmp_database::ctor(%s)", file_name);
  if (options_.b_comments) write_header();
  if (options_.b_create_db && options_.b_create_tab) {
    const std::string db =
        options_.db_name.empty() ? tk_to_utf8(base_name(file_name)) : options_.db_name;
    const std::string bracketed = bracket_doubled(db);
    std::string block = "USE master;\r\nGO\r\n\r\n";
    block += "if exists(select * from master.sys.databases where name='" + quote_doubled(db) +
             "') DROP DATABASE " + bracketed + ";\r\n";
    block += "CREATE DATABASE " + bracketed + ";\r\nGO\r\n";
    block += "USE " + bracketed + ";\r\nGO\r\n";
    write(block);
  }
  write("SET QUOTED_IDENTIFIER ON;\r\nGO\r\n");
}

mss_dmp_database::~mss_dmp_database() {
  TK_LOG(2, "mss_dmp_database::dtor");
}

void mss_dmp_database::write_header() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char date[48];
  std::snprintf(date, sizeof date, "%02d/%02d/%04d", local.tm_mon + 1, local.tm_mday,
                local.tm_year + 1900);
  std::string header = "/*\r\nFile name: " + comment_text(name()) + "\r\n";
  header += std::string("Creation date: ") + date + "\r\n";
  header += "Created by " + comment_text(tk_from_utf8_lossy(options_.creator)) + "\r\n";
  header += std::string(50, '-') + "\r\n*/\r\n";
  write(header);
}

void mss_dmp_database::write_utf8(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + 8);
  mss_append_utf8(bytes, text, false);
  write(bytes);
}

std::u16string mss_dmp_database::safe_name(std::u16string_view table) const {
  return mss_get_safe_tname(table, mss_server_facts::instance_ptr());
}

void mss_dmp_database::close() {
  stream_->close();
}

std::u16string mss_dmp_database::refine_view(std::u16string_view text) const {
  return names_map().do_global_replace1(::refine_view(text), u"", u"");
}

void mss_dmp_database::create_schema(const std::u16string& schema_name) {
  if (schema_name == u"dbo") {
    TK_LOG(2, "Skip 'dbo' schema");
    return;
  }
  write_utf8(u"CREATE SCHEMA " + mss_quote_name(schema_name) + u";\r\nGO\r\n");
}

bool mss_dmp_database::delete_tab(const std::u16string& name) {
  const std::u16string t = safe_name(name);
  std::string text = "IF OBJECT_ID ('";
  mss_append_utf8(text, t, true);
  text += "', 'U') IS NOT NULL\r\nDROP TABLE ";
  mss_append_utf8(text, t, false);
  text += ";\r\nGO\r\n";
  write(text);
  return udb_database::delete_tab(name);
}

std::unique_ptr<udb_recordset> mss_dmp_database::create_table(const std::u16string& name,
                                                              const udb_schema& schema,
                                                              const udb_indexes& indexes) {
  TK_WLOG(2, "mss_dmp_database::create_table(%s)", name);
  if (is_table_exist(name)) throw tk_exception("The specified table already exists", 0);
  if (options_.b_create_tab) {
    if (options_.b_comments) {
      write("\r\n/*\r\nTable structure for table '" + comment_text(name) + "'\r\n*/\r\n\r\n");
    }
    delete_tab(name);
    const std::u16string t = safe_name(name);
    std::u16string statement = u"CREATE TABLE " + t + u" (\r\n";
    for (std::size_t i = 0; i < schema.size(); ++i) {
      const t_ftd& column = schema[i];
      if (i > 0) statement += u",\r\n";
      statement += u"\t" + mss_quote_name(column.name) + u" " + get_native_type(column);
      if (column.b_not_null || column.b_auto_num || indexes.is_idx_field(column.name, true)) {
        statement += u" NOT NULL";
      }
      mss_append_default(statement, column);
    }
    udb_database::tables_.push_back(name);
    bool has_primary_key = false;
    for (std::size_t i = 0; i < indexes.size(); ++i) {
      const udb_index& index = indexes[i];
      if (index.fields.size() > k_max_index_fields) {
        TK_LOG(3, "Cannot create index '%d' because it has more that 16 columns",
               static_cast<int>(i));
      } else if (index.b_primary && !has_primary_key && !index.fields.empty()) {
        // A table has one primary key; a second would make the whole CREATE TABLE fail.
        statement += u",\r\n\t PRIMARY KEY (";
        append_bracketed_list(statement, index.fields);
        statement += u")";
        has_primary_key = true;
      } else {
        TK_LOG(2, "Index '%d' is not primary or unique - LATER", static_cast<int>(i));
      }
    }
    statement += u"\r\n)";
    write_utf8(statement);
    write("\nGO\n");
    // Other indexes follow the table's rows (create_indexes).
    if (!has_primary_key) create_clustered_index(name, schema);
  }
  if (options_.b_comments) {
    write("\r\n/*\r\nDumping data for table '" + comment_text(name) + "'\r\n*/\r\n\r\n");
  }
  return std::make_unique<mss_dmp_recordset>(*this, name, schema);
}

void mss_dmp_database::create_clustered_index(const std::u16string& table,
                                              const udb_schema& schema) {
  TK_LOG(2, "mss_dmp_database::create_clustered_index");
  const t_ftd* key = nullptr;
  for (const t_ftd& column : schema) {
    // Only columns of a bounded type can be an index key: NVARCHAR(n) below 4000
    // characters, VARBINARY(n) below 8000 bytes.
    bool suitable = true;
    if (column.vartype == VT_BSTR) {
      suitable = column.size >= 1 && column.size <= 3999;
    } else if (ole_is_binary(column.vartype)) {
      suitable = column.size >= 1 && column.size <= 7999;
    }
    if (suitable) {
      key = &column;
      break;
    }
    TK_WLOG(2, "Field '%s' is not suitable for building index", column.name);
  }
  if (key == nullptr) {
    TK_LOG(1, "Failed to find a field for building clustered index");
    return;
  }
  const std::u16string sql = u"CREATE CLUSTERED INDEX " +
                             mss_quote_name(key->name + u"_clust_idx") + u" ON " +
                             mss_quote_name(table) + u"(" + mss_quote_name(key->name) + u")";
  TK_WLOG(2, "CLUSTERED-index-query: %s", sql);
  query(sql);
  write("GO\n");
}

void mss_dmp_database::create_index(const std::u16string& table, const udb_schema& schema,
                                    const udb_index& index) {
  TK_LOG(2, "mss_dmp_database::create_index");
  if (!options_.b_create_tab || index.b_primary) return;
  if (index.fields.empty()) {
    TK_WLOG(3, "Index '%s': no fields, cannot build index", mss_quote_name(index.name));
    return;
  }
  if (index.fields.size() > k_max_index_fields) {
    TK_WLOG(3, "Index '%s' has been skipped", mss_quote_name(index.name));
    return;
  }
  std::u16string not_null;  // a unique index leaves rows with NULL keys out
  std::uint64_t total = 0;
  for (const std::u16string& field : index.fields) {
    const std::uint64_t size = schema.get_field_size(field);
    const std::uint16_t type = schema.get_field_type(field);
    total += type == VT_BSTR ? 2 * size : size;
    TK_WLOG(1, "Index field '%s' has vt=%08X, size=%d", field, static_cast<unsigned>(type),
            static_cast<int>(size));
    TK_LOG(1, "Total index size=%d", static_cast<int>(total));
    if (total > k_max_index_bytes || type == VT_BOOL || size == 0 || size > 8000) {
      TK_WLOG(3, "Index '%s' has been skipped", mss_quote_name(index.name));
      return;
    }
    // A column that holds no NULL needs no filter; one would keep a foreign key from
    // referencing the index.
    if (index.b_unique && mss_is_nullable(schema, field)) {
      if (!not_null.empty()) not_null += u" AND ";
      not_null += mss_quote_name(field) + u" IS NOT NULL";
    }
  }
  std::u16string conditions;
  if (!index.filter.empty()) {
    const std::optional<std::u16string> where = mss_index_filter_sql(
        index.filter, schema, [](const std::u16string& field) { return field; });
    if (where) {
      conditions = *where;
    } else {
      TK_WLOG(3, "Table %s, index %s: its filter has no form here; the index holds every row",
              table, index.name);
    }
  }
  const std::u16string t = safe_name(table);
  const std::u16string keys = mss_index_key_list(index.fields, index.descending);
  if (!index.b_unique) {
    write_utf8(mss_index_statement(index.name, t, keys, false, conditions));
    write("\nGO\n");
    return;
  }
  std::u16string unique_conditions = not_null;
  if (!conditions.empty())
    unique_conditions = not_null.empty() ? conditions : conditions + u" AND " + not_null;
  // Whether the rows allow a unique index is known only where the script runs: there a key
  // held twice gives a plain index and a message naming the index.
  const std::u16string plain_keys = mss_index_key_list(index.fields, false);
  std::u16string sql;
  // A key holding NULL at most once is indexed as it stands (see the server writer).
  if (!not_null.empty() && conditions.empty()) {
    sql = u"IF NOT EXISTS (" + mss_duplicate_keys_query(u"1", t, plain_keys, u"") + u")\n\t" +
          mss_index_statement(index.name, t, keys, true, u"") + u"\nELSE ";
  }
  sql += u"IF NOT EXISTS (" + mss_duplicate_keys_query(u"1", t, plain_keys, unique_conditions) +
         u")\n\t" + mss_index_statement(index.name, t, keys, true, unique_conditions);
  std::u16string message = u"Table " + table + u", index " + index.name +
                           u": the key occurs more than once; a plain index is created instead";
  sql += u"\nELSE BEGIN\n\tPRINT " + to_mssql_str(message, VT_BSTR) + u";\n\t" +
         mss_index_statement(index.name, t, keys, false, conditions) + u";\nEND";
  write_utf8(sql);
  write("\nGO\n");
}

void mss_dmp_database::create_relationships(const udb_relationships& relationships) {
  TK_LOG(2, "mss_dmp_database::create_relationships");
  if (!relationships.empty() && options_.b_comments) {
    write("\r\n/*\r\nCreate foreign key constraints\r\n*/\r\n\r\n");
  }
  for (const udb_relationship& fk : relationships) {
    TK_WLOG(2, "Processing FK '%s'", fk.name);
    write_constraint(
        u"Foreign key " + fk.name, u"rows without a parent row",
        mss_foreign_key(
            names_map(), fk, safe_name(names_map().get_tn_mapped_name(fk.fk_table, false)),
            safe_name(names_map().get_tn_mapped_name(fk.pk_table, false)),
            fk.action_text.empty() ? u"ON DELETE CASCADE ON UPDATE CASCADE" : fk.action_text));
  }
}

void mss_dmp_database::create_check(const std::u16string& table, const std::u16string& name,
                                    const std::u16string& condition) {
  TK_WLOG(2, "mss_dmp_database::create_check(%s, %s)", table, name);
  if (!options_.b_create_tab) return;
  write_constraint(u"Table " + table + u", check " + name, u"rows that break it",
                   mss_check_constraint(safe_name(table), name, condition));
}

void mss_dmp_database::write_constraint(const std::u16string& what, const std::u16string& broken,
                                        const mss_constraint_sql& sql) {
  // The script decides where it runs: rows that break the constraint keep it from checking
  // them, and one the server refuses (a parent key it does not take as unique; Babelfish,
  // which has no WITH NOCHECK and does not let its refusal reach CATCH) is reported by the
  // script and never stops it.
  const auto attempt = [&](const std::u16string& statement) {
    return u"BEGIN TRY\r\n\tEXEC (" + mss_quote_literal(statement) +
           u");\r\nEND TRY\r\nBEGIN CATCH\r\n\tPRINT " +
           mss_quote_literal(what + u" is not created: ") + u" + ERROR_MESSAGE();\r\nEND CATCH\r\n";
  };
  write_utf8(u"IF EXISTS (" + sql.violation_query + u")\r\nBEGIN\r\nPRINT " +
             mss_quote_literal(what + u": " + broken + u"; created WITH NOCHECK") +
             u";\r\nIF CAST(SERVERPROPERTY('babelfish') AS int) = 1\r\n\tPRINT " +
             mss_quote_literal(what + u" is not created: this server takes no WITH NOCHECK") +
             u";\r\nELSE\r\n" + attempt(sql.unchecked) + u"END\r\nELSE\r\nBEGIN\r\n" +
             attempt(sql.checked) + u"END\r\nGO\r\n");
}

void mss_dmp_database::create_views(const query_list& queries) {
  TK_LOG(2, "mss_dmp_database::create_views");
  std::vector<std::u16string> names;
  for (const auto& entry : queries) names.push_back(entry.first);
  mss_tn_validator validator(names, {});
  for (const auto& [name, text] : queries) {
    TK_WLOG(1, "Processing '%s'", name);
    TK_WLOG(1, "\t'%s'", text);
    if (text.size() < 6 ||
        !udb_names_equal_nocase(std::u16string_view(text).substr(0, 6), u"select")) {
      TK_LOG(2, "Skip non-select query");
      continue;
    }
    std::u16string view = name;
    if (!validator.is_acceptable(view)) {
      view = validator.get_safe_name(view);
      names_map().add_tn_mapping(name, view);
      validator.add_existing_name(view);
      TK_WLOG(2, "Store generated column name '%s'", view);
    }
    std::string out = "IF OBJECT_ID('";
    mss_append_utf8(out, view, true);
    out += "') IS NOT NULL DROP VIEW ";
    mss_append_utf8(out, mss_quote_name(view), false);
    out += "\r\nGO\r\nCREATE VIEW ";
    mss_append_utf8(out, mss_quote_name(view), false);
    out += " AS ";
    mss_append_utf8(out, refine_view(text), false);
    out += "\r\nGO\r\n";
    write(out);
  }
}

void mss_dmp_database::delete_fk(const udb_relationship& relationship) {
  const std::u16string child = names_map().get_tn_mapped_name(relationship.fk_table, false);
  write_utf8(u"ALTER TABLE " + safe_name(child) + u" DROP CONSTRAINT " +
             mss_quote_name(relationship.name) + u";\r\nGO\r\n");
}

void mss_dmp_database::delete_idx(const std::u16string& table, const udb_index& index) {
  const std::u16string t = safe_name(table);
  std::u16string sql;
  if (index.b_primary) {
    sql = u"ALTER TABLE " + t + u" DROP CONSTRAINT " + mss_quote_name(index.name) + u";";
  } else {
    std::u16string name_literal;
    for (const char16_t c : index.name) {
      name_literal += c;
      if (c == u'\'') name_literal += u'\'';
    }
    std::u16string table_literal;
    for (const char16_t c : t) {
      table_literal += c;
      if (c == u'\'') table_literal += u'\'';
    }
    sql = u"IF EXISTS (SELECT * FROM sys.indexes WHERE name = N'" + name_literal +
          u"' AND object_id = OBJECT_ID(N'" + table_literal + u"')) DROP INDEX " +
          mss_quote_name(index.name) + u" ON " + t + u";";
  }
  write_utf8(sql + u"\r\nGO\r\n");
}

std::string mss_dmp_database::create_view(const std::u16string& name,
                                          const std::u16string& select) {
  TK_WLOG(2, "mss_dmp_database::create_view(%s)", name);
  const std::u16string view = safe_name(name);
  write_utf8(u"IF OBJECT_ID(" + mss_quote_literal(view) + u", 'V') IS NOT NULL DROP VIEW " + view +
             u";\r\nGO\r\nCREATE VIEW " + view + u" AS\r\n" + select + u"\r\nGO\r\n");
  return {};
}

std::string mss_dmp_database::describe(const std::u16string& table, const std::u16string& column,
                                       const std::u16string& text) {
  write_utf8(mss_description_statement(safe_name(table), table, column, text) + u"\r\nGO\r\n");
  return {};
}

bool mss_dmp_database::get_query(const std::u16string& /*name*/, std::u16string& /*text*/) {
  return false;
}

std::unique_ptr<udb_recordset> mss_dmp_database::get_table(const std::u16string& /*name*/) {
  throw tk_mail_assertion(__FILE__, __LINE__);
}

int mss_dmp_database::query(const std::u16string& sql) {
  write_utf8(sql);
  write("\n");
  return 0;
}

bool mss_dmp_database::test_query(const std::u16string& /*sql*/) {
  return false;
}

std::u16string mss_dmp_database::get_native_type(const t_ftd& column) const {
  TK_WLOG(2, "mss_dmp_database::get_native_type(%s)", column.name);
  if (!column.native_type.empty()) {
    TK_LOG(2, "Field has custom type mapping defined");
    return column.native_type;
  }
  if (udb_custom_conversion::is_acceptable1(column)) {
    std::u16string type = udb_custom_conversion::handle1(column);
    if (!type.empty()) return type;
  }
  const bool unicode = mss_current_unicode();
  const std::uint32_t size = column.size;
  const std::uint32_t precision = column.get_precision();
  const std::uint32_t scale = column.get_scale();
  const std::u16string identity = column.b_auto_num ? mss_identity_clause(column) : u"";
  char buf[48];
  std::u16string type;
  switch (column.vartype) {
    case VT_I2:
    case VT_I4:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
      type = u"INT" + identity;
      break;
    case VT_R4:
      type = u"REAL";
      break;
    case VT_R8:
      type = u"FLOAT";
      break;
    case VT_CY:
    case VT_DECIMAL:
      TK_LOG(1, "Processing VT_DECIMAL with precision=%d", static_cast<int>(precision));
      if (precision == 0) {
        // No precision given: money holds every currency value; NUMERIC(38,9) every integer
        // part a decimal can have, with nine decimals.
        type = column.vartype == VT_CY ? u"MONEY" : u"NUMERIC(38,9)";
      } else if (precision < 39) {
        std::snprintf(buf, sizeof buf, "NUMERIC(%u,%u)", precision, scale);
        type = ascii(buf);
      } else {
        type = u"FLOAT";
      }
      break;
    case VT_DATE:
      switch (column.reserved & 3) {
        case 2:
          type = u"DATE";
          break;
        case 3:
          type = u"TIME";
          break;
        default:
          type = u"DATETIME";
      }
      break;
    case VT_BOOL:
      type = u"BIT";
      break;
    case VT_I8:
    case VT_UI8:
      type = u"BIGINT" + identity;
      break;
    case VT_BLOB:
    case VT_BLOB_OBJECT:
    case VT_BINARY:
      if (size >= 1 && size <= 7999) {
        std::snprintf(buf, sizeof buf, "VARBINARY(%u) ", size);
        type = ascii(buf);
      } else {
        type = u"VARBINARY(MAX)";
      }
      break;
    default:
      TK_LOG(1, "mss_engine::get_native_type - process as VT_BSTR(dw_reserved=%d)",
             static_cast<int>(column.reserved));
      if (column.reserved == 1) {
        type = u" uniqueidentifier";
      } else if (size >= 1 && size <= 3999) {
        std::snprintf(buf, sizeof buf, unicode ? "NVARCHAR(%u) " : "VARCHAR(%u) ", size);
        type = ascii(buf);
      } else {
        type = unicode ? u"NVARCHAR(MAX)" : u"VARCHAR(MAX)";
      }
  }
  TK_WLOG(1, "t_ftd.name=%s, t_ftd.type=%d, t_ftd.size=%d, t_ftd.native_type=%s", column.name,
          static_cast<int>(column.vartype), static_cast<int>(size), type);
  return type;
}
