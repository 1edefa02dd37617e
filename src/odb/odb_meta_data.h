// What a server database already holds: its tables, columns, indexes, foreign keys and views,
// read from the INFORMATION_SCHEMA views and the sys. catalog views, and a server column
// described in the universal model's terms. Types are named through the column's user type,
// never a system type number (an alias type reads as its base type).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "udb/t_ftd.h"

class odb_connection;

struct odb_table_meta {
  std::u16string schema, name;
};

struct odb_column_meta {
  std::u16string schema, table, name;
  std::u16string type_name;  // lower case: "int", "nvarchar", "numeric", "datetime2", ...
  // Characters for char/nchar types, bytes for binary, -1 for MAX (and for text, ntext, image
  // and xml, which have no declared length), 0 for fixed types.
  int max_length = 0;
  int precision = 0, scale = 0;
  bool nullable = true, identity = false;
  std::u16string
      default_text;  // as the server stores it, e.g. "((0))", "(getdate())"; empty when none
  int ordinal = 0;   // 1-based column position
};

struct odb_index_meta {
  std::u16string name;
  bool primary = false, unique = false;
  std::vector<std::u16string> columns;
};

// Rules are the SQL words: "NO ACTION", "CASCADE", "SET NULL", "SET DEFAULT".
struct odb_fk_meta {
  std::u16string name, schema, table, ref_schema, ref_table;
  std::vector<std::u16string> columns, ref_columns;
  std::u16string delete_rule, update_rule;
};

// A column's default: a constraint (its name and expression as the server stores it), or one
// bound from a default object, which has no constraint name.
struct odb_default_meta {
  std::u16string column, name, definition;
};

struct odb_view_meta {
  std::u16string schema, name, definition;
};

// User tables of the current database, by schema and name; empty schema = all schemas.
std::vector<odb_table_meta> odb_read_tables(odb_connection& c, std::u16string_view schema = {});
// Columns of one table, or of every table when `table` is empty; ordered by table, ordinal.
std::vector<odb_column_meta> odb_read_columns(odb_connection& c, std::u16string_view schema,
                                              std::u16string_view table);
// The table's indexes (no heap entries), key columns in key order, included columns left out.
std::vector<odb_index_meta> odb_read_indexes(odb_connection& c, std::u16string_view schema,
                                             std::u16string_view table);
// Foreign keys whose child table is this table (every table's when `table` is empty).
std::vector<odb_fk_meta> odb_read_foreign_keys(odb_connection& c, std::u16string_view schema,
                                               std::u16string_view table);
// The defaults of the columns of one table, named as statements name it ("[dbo].[t]"): one
// entry per column that has one.
std::vector<odb_default_meta> odb_read_defaults(odb_connection& c, std::u16string_view table);
// Views with their defining text; empty schema = all schemas.
std::vector<odb_view_meta> odb_read_views(odb_connection& c, std::u16string_view schema = {});

// The universal model's descriptor of a server column (see the type table in the .cpp).
t_ftd odb_column_to_ftd(const odb_column_meta& column);
