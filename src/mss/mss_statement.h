#pragma once

// Pieces of T-SQL statements both writers build the same way: the head of every row's INSERT
// (mss_dmp_recordset, mss_table), a foreign key's ALTER TABLE (mss_foreign_key) and a column's
// DEFAULT clause (mss_dmp_database, mss_database).

#include <string>
#include <string_view>

class t_ftd;
class udb_names_map;
class udb_schema;
class udb_relationship;

// "INSERT INTO <table> ([a], [b]) VALUES (" in UTF-8: what every row of the table starts with.
std::string mss_insert_prefix(std::string_view safe_table_utf8, const udb_schema& columns);

// "ALTER TABLE <child> ADD CONSTRAINT [name] FOREIGN KEY(<fields>) REFERENCES <parent>(<fields>)"
// with the destination names of tables and fields; no referential actions. `foreign_key` is
// written "FOREIGN KEY(" or "FOREIGN KEY (" as the writer wants it.
std::u16string mss_fk_statement(const udb_names_map& names, const udb_relationship& fk,
                                const std::u16string& child_safe, const std::u16string& parent_safe,
                                std::u16string_view foreign_key);

// Appends " DEFAULT <value>" for a column with a default value; nothing otherwise.
void mss_append_default(std::u16string& out, const t_ftd& column);
