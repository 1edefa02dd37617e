// Catalog readers: one query per question over the sys. catalog views, the rows grouped into
// tables, columns, indexes, foreign keys and views; and the mapping of a server column type
// onto a variant type.
#include "odb/odb_meta_data.h"

#include <initializer_list>
#include <memory>

#include "odb/odb_connection.h"
#include "odb/odb_recordset.h"
#include "tk/tk_log.h"

namespace {

// A text literal with its quotes doubled, as N'...' so any name survives.
std::u16string literal(std::u16string_view text) {
  std::u16string out = u"N'";
  for (const char16_t c : text) {
    out += c;
    if (c == u'\'') out += u'\'';
  }
  out += u'\'';
  return out;
}

// A name column as nvarchar, the type sysname stands for, whatever the server reports.
std::u16string name_of(std::u16string_view column) {
  return u"CAST(" + std::u16string(column) + u" AS nvarchar(128))";
}

// " AND <column> = N'value'" when the value is given, nothing otherwise.
std::u16string filter(std::u16string_view column, std::u16string_view value) {
  if (value.empty()) return {};
  return u" AND " + std::u16string(column) + u" = " + literal(value);
}

std::u16string text_of(const udb_field& f) {
  if (f.is_null() || f.is_empty()) return {};
  return f.vt() == VT_BSTR ? f.text() : f.to_wstring();
}

int int_of(const udb_field& f) {
  if (f.is_null() || f.is_empty()) return 0;
  return static_cast<int>(f.to_long());
}

bool bool_of(const udb_field& f) {
  return int_of(f) != 0;
}

std::u16string ascii_lower(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

bool is_one_of(std::u16string_view name, std::initializer_list<std::u16string_view> names) {
  for (const std::u16string_view n : names) {
    if (name == n) return true;
  }
  return false;
}

bool is_unicode_text(std::u16string_view type) {
  return is_one_of(type, {u"nchar", u"nvarchar", u"sysname"});
}

bool is_sized(std::u16string_view type) {
  return is_unicode_text(type) || is_one_of(type, {u"char", u"varchar", u"binary", u"varbinary",
                                                   u"timestamp", u"rowversion"});
}

bool is_unbounded(std::u16string_view type) {
  return is_one_of(type, {u"text", u"ntext", u"image", u"xml"});
}

// The catalog's byte length as the length a column is declared with.
int declared_length(std::u16string_view type, int bytes) {
  if (bytes == -1 || is_unbounded(type)) return -1;
  if (!is_sized(type)) return 0;
  return is_unicode_text(type) ? bytes / 2 : bytes;
}

}  // namespace

std::vector<odb_table_meta> odb_read_tables(odb_connection& c, std::u16string_view schema) {
  TK_WLOG(2, "odb_read_tables(%s)", std::u16string(schema));
  const std::unique_ptr<odb_recordset> rows =
      c.query(u"SELECT " + name_of(u"TABLE_SCHEMA") + u", " + name_of(u"TABLE_NAME") +
              u" FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_TYPE = 'BASE TABLE'" +
              filter(u"TABLE_SCHEMA", schema) + u" ORDER BY TABLE_SCHEMA, TABLE_NAME");
  std::vector<odb_table_meta> out;
  out.reserve(rows->size());
  for (std::size_t i = 0; i < rows->size(); ++i) {
    const udb_record& r = rows->row(i);
    out.push_back({text_of(r[0]), text_of(r[1])});
  }
  return out;
}

std::vector<odb_column_meta> odb_read_columns(odb_connection& c, std::u16string_view schema,
                                              std::u16string_view table) {
  TK_WLOG(2, "odb_read_columns(%s,%s)", std::u16string(schema), std::u16string(table));
  // Names come from the standard view, types, lengths and flags from the catalog, matched by
  // name. An alias type reads as its base type, which only the standard view names.
  const std::unique_ptr<odb_recordset> rows = c.query(
      u"SELECT " + name_of(u"k.TABLE_SCHEMA") + u", " + name_of(u"k.TABLE_NAME") + u", " +
      name_of(u"k.COLUMN_NAME") +
      u", CASE WHEN ty.is_user_defined = 1 THEN k.DATA_TYPE ELSE TYPE_NAME(c.user_type_id) END, "
      u"CAST(c.max_length AS int), CAST(c.precision AS int), CAST(c.scale AS int), "
      u"CAST(c.is_nullable AS int), CAST(c.is_identity AS int), d.definition "
      u"FROM INFORMATION_SCHEMA.COLUMNS k "
      u"JOIN sys.schemas s ON s.name = k.TABLE_SCHEMA COLLATE DATABASE_DEFAULT "
      u"JOIN sys.tables t ON t.schema_id = s.schema_id "
      u"AND t.name = k.TABLE_NAME COLLATE DATABASE_DEFAULT "
      u"JOIN sys.columns c ON c.object_id = t.object_id "
      u"AND c.name = k.COLUMN_NAME COLLATE DATABASE_DEFAULT "
      u"JOIN sys.types ty ON ty.user_type_id = c.user_type_id "
      u"LEFT JOIN sys.default_constraints d ON d.object_id = c.default_object_id "
      u"WHERE t.is_ms_shipped = 0" +
      filter(u"k.TABLE_SCHEMA", schema) + filter(u"k.TABLE_NAME", table) +
      u" ORDER BY k.TABLE_SCHEMA, k.TABLE_NAME, c.column_id");
  std::vector<odb_column_meta> out;
  out.reserve(rows->size());
  for (std::size_t i = 0; i < rows->size(); ++i) {
    const udb_record& r = rows->row(i);
    odb_column_meta m;
    m.schema = text_of(r[0]);
    m.table = text_of(r[1]);
    m.name = text_of(r[2]);
    m.type_name = ascii_lower(text_of(r[3]));
    m.max_length = declared_length(m.type_name, int_of(r[4]));
    m.precision = int_of(r[5]);
    m.scale = int_of(r[6]);
    m.nullable = bool_of(r[7]);
    m.identity = bool_of(r[8]);
    m.default_text = text_of(r[9]);
    // Column numbers keep the gaps of dropped columns; positions do not.
    const bool same_table =
        !out.empty() && out.back().schema == m.schema && out.back().table == m.table;
    m.ordinal = same_table ? out.back().ordinal + 1 : 1;
    out.push_back(std::move(m));
  }
  return out;
}

std::vector<odb_index_meta> odb_read_indexes(odb_connection& c, std::u16string_view schema,
                                             std::u16string_view table) {
  TK_WLOG(2, "odb_read_indexes(%s,%s)", std::u16string(schema), std::u16string(table));
  // Clustered and nonclustered row indexes only: the heap entry, XML, spatial and columnstore
  // indexes have no key columns to compare.
  const std::unique_ptr<odb_recordset> rows = c.query(
      u"SELECT i.index_id, " + name_of(u"i.name") +
      u", CAST(i.is_primary_key AS int), CAST(i.is_unique AS int), " + name_of(u"c.name") +
      u" FROM sys.indexes i JOIN sys.tables t ON t.object_id = i.object_id "
      u"JOIN sys.schemas s ON s.schema_id = t.schema_id "
      u"JOIN sys.index_columns ic ON ic.object_id = i.object_id AND ic.index_id = i.index_id "
      u"JOIN sys.columns c ON c.object_id = ic.object_id AND c.column_id = ic.column_id "
      u"WHERE i.type IN (1, 2) AND i.is_hypothetical = 0 AND ic.is_included_column = 0" +
      filter(u"s.name", schema) + u" AND t.name = " + literal(table) +
      u" ORDER BY i.index_id, ic.key_ordinal");
  std::vector<odb_index_meta> out;
  int last_id = -1;
  for (std::size_t i = 0; i < rows->size(); ++i) {
    const udb_record& r = rows->row(i);
    const int id = int_of(r[0]);
    if (out.empty() || id != last_id) {
      odb_index_meta m;
      m.name = text_of(r[1]);
      m.primary = bool_of(r[2]);
      m.unique = bool_of(r[3]);
      out.push_back(std::move(m));
      last_id = id;
    }
    out.back().columns.push_back(text_of(r[4]));
  }
  return out;
}

std::vector<odb_fk_meta> odb_read_foreign_keys(odb_connection& c, std::u16string_view schema,
                                               std::u16string_view table) {
  TK_WLOG(2, "odb_read_foreign_keys(%s,%s)", std::u16string(schema), std::u16string(table));
  const std::unique_ptr<odb_recordset> rows =
      c.query(u"SELECT fk.object_id, " + name_of(u"fk.name") + u", " + name_of(u"ps.name") + u", " +
              name_of(u"pt.name") + u", " + name_of(u"rs.name") + u", " + name_of(u"rt.name") +
              u", " + name_of(u"pc.name") + u", " + name_of(u"rc.name") +
              u", fk.delete_referential_action_desc, fk.update_referential_action_desc "
              u"FROM sys.foreign_keys fk JOIN sys.tables pt ON pt.object_id = fk.parent_object_id "
              u"JOIN sys.schemas ps ON ps.schema_id = pt.schema_id "
              u"JOIN sys.tables rt ON rt.object_id = fk.referenced_object_id "
              u"JOIN sys.schemas rs ON rs.schema_id = rt.schema_id "
              u"JOIN sys.foreign_key_columns fkc ON fkc.constraint_object_id = fk.object_id "
              u"JOIN sys.columns pc ON pc.object_id = fkc.parent_object_id "
              u"AND pc.column_id = fkc.parent_column_id "
              u"JOIN sys.columns rc ON rc.object_id = fkc.referenced_object_id "
              u"AND rc.column_id = fkc.referenced_column_id WHERE 1 = 1" +
              filter(u"ps.name", schema) + filter(u"pt.name", table) +
              u" ORDER BY ps.name, pt.name, fk.name, fk.object_id, fkc.constraint_column_id");
  // The catalog spells rules with underscores; DDL and the standard views with blanks.
  const auto rule = [](std::u16string text) {
    for (char16_t& ch : text) {
      if (ch == u'_') ch = u' ';
    }
    return text;
  };
  std::vector<odb_fk_meta> out;
  int last_id = 0;
  for (std::size_t i = 0; i < rows->size(); ++i) {
    const udb_record& r = rows->row(i);
    const int id = int_of(r[0]);
    if (out.empty() || id != last_id) {
      odb_fk_meta m;
      m.name = text_of(r[1]);
      m.schema = text_of(r[2]);
      m.table = text_of(r[3]);
      m.ref_schema = text_of(r[4]);
      m.ref_table = text_of(r[5]);
      m.delete_rule = rule(text_of(r[8]));
      m.update_rule = rule(text_of(r[9]));
      out.push_back(std::move(m));
      last_id = id;
    }
    out.back().columns.push_back(text_of(r[6]));
    out.back().ref_columns.push_back(text_of(r[7]));
  }
  return out;
}

std::vector<odb_default_meta> odb_read_defaults(odb_connection& c, std::u16string_view table) {
  TK_WLOG(2, "odb_read_defaults(%s)", std::u16string(table));
  const std::unique_ptr<odb_recordset> rows =
      c.query(u"SELECT " + name_of(u"c.name") + u", " + name_of(u"d.name") +
              u", d.definition FROM sys.columns c "
              u"LEFT JOIN sys.default_constraints d ON d.object_id = c.default_object_id "
              u"WHERE c.object_id = OBJECT_ID(" +
              literal(table) + u") AND c.default_object_id <> 0 ORDER BY c.column_id");
  std::vector<odb_default_meta> out;
  out.reserve(rows->size());
  for (std::size_t i = 0; i < rows->size(); ++i) {
    const udb_record& r = rows->row(i);
    out.push_back({text_of(r[0]), text_of(r[1]), text_of(r[2])});
  }
  return out;
}

std::vector<odb_view_meta> odb_read_views(odb_connection& c, std::u16string_view schema) {
  TK_WLOG(2, "odb_read_views(%s)", std::u16string(schema));
  // Names from the standard view; the text from the catalog, whose copy is not cut at 4000
  // characters. An encrypted view's text is NULL: it reads as empty.
  const std::unique_ptr<odb_recordset> rows = c.query(
      u"SELECT " + name_of(u"k.TABLE_SCHEMA") + u", " + name_of(u"k.TABLE_NAME") +
      u", m.definition FROM INFORMATION_SCHEMA.VIEWS k "
      u"JOIN sys.schemas s ON s.name = k.TABLE_SCHEMA COLLATE DATABASE_DEFAULT "
      u"JOIN sys.views v ON v.schema_id = s.schema_id "
      u"AND v.name = k.TABLE_NAME COLLATE DATABASE_DEFAULT "
      u"LEFT JOIN sys.sql_modules m ON m.object_id = v.object_id WHERE v.is_ms_shipped = 0" +
      filter(u"k.TABLE_SCHEMA", schema) + u" ORDER BY k.TABLE_SCHEMA, k.TABLE_NAME");
  std::vector<odb_view_meta> out;
  out.reserve(rows->size());
  for (std::size_t i = 0; i < rows->size(); ++i) {
    const udb_record& r = rows->row(i);
    out.push_back({text_of(r[0]), text_of(r[1]), text_of(r[2])});
  }
  return out;
}

// tinyint VT_UI1, smallint VT_I2, int VT_I4, bigint VT_I8, bit VT_BOOL, real VT_R4, float VT_R8,
// money and smallmoney VT_CY, numeric and decimal VT_DECIMAL (precision << 8 | scale), dates
// VT_DATE (1 date and time, 2 date, 3 time), binary kinds VT_BLOB, every other type text
// (1 uniqueidentifier, 11 xml). Text and binary sizes are the declared length, 0 for MAX.
t_ftd odb_column_to_ftd(const odb_column_meta& column) {
  const std::u16string_view type = column.type_name;
  ole_vartype vt = VT_BSTR;
  std::uint32_t reserved = 0;
  std::uint32_t size = 0;
  if (type == u"tinyint") {
    vt = VT_UI1;
  } else if (type == u"smallint") {
    vt = VT_I2;
  } else if (type == u"int") {
    vt = VT_I4;
  } else if (type == u"bigint") {
    vt = VT_I8;
  } else if (type == u"bit") {
    vt = VT_BOOL;
  } else if (type == u"real") {
    vt = VT_R4;
  } else if (type == u"float") {
    vt = VT_R8;
  } else if (type == u"money" || type == u"smallmoney") {
    vt = VT_CY;
  } else if (type == u"numeric" || type == u"decimal") {
    vt = VT_DECIMAL;
    reserved = (static_cast<std::uint32_t>(column.precision) << 8) |
               static_cast<std::uint32_t>(column.scale);
  } else if (is_one_of(type, {u"datetime", u"datetime2", u"smalldatetime", u"datetimeoffset"})) {
    vt = VT_DATE;
    reserved = 1;
  } else if (type == u"date") {
    vt = VT_DATE;
    reserved = 2;
  } else if (type == u"time") {
    vt = VT_DATE;
    reserved = 3;
  } else if (is_one_of(type, {u"binary", u"varbinary", u"image", u"timestamp", u"rowversion"})) {
    vt = VT_BLOB;
    size = column.max_length > 0 ? static_cast<std::uint32_t>(column.max_length) : 0;
  } else if (type == u"uniqueidentifier") {
    reserved = 1;
    size = 38;  // the braced text form, as result sets describe it
  } else if (type == u"xml") {
    reserved = 11;
  } else {
    size = column.max_length > 0 ? static_cast<std::uint32_t>(column.max_length) : 0;
  }
  return t_ftd(size, column.name, vt, !column.nullable, column.identity, ole_variant(), reserved,
               column.type_name);
}
