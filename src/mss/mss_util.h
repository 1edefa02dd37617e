#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "ole/ole_variant.h"

class t_ftd;
class udb_names_map;
class udb_schema;
class udb_relationship;
class udb_field;

// The T-SQL both writers share: the server's column type of a descriptor and the literal
// that stands for a value in an INSERT statement, with the values SQL Server cannot store
// clamped. The facts about the server come from mss_server_facts.

// Lower-case server type; with type_only false a size suffix "(n) " follows where one is due.
std::u16string get_mss_native_type(const t_ftd& column, bool type_only);

// The T-SQL literal of a value already turned into text.
std::u16string to_mssql_str(std::u16string_view text, ole_vartype vt);

// The value with SQL Server's range limits applied: dates outside 1753..9999 become
// 9999-12-30, doubles beyond what a FLOAT holds are clamped.
ole_variant mssql_get_safe_variant(const ole_variant& value);

// The date a column keeps for a VT_DATE value: the value's own, or 9999-12-30 where the column
// cannot hold it (DATETIME before 1753; DATE and DATETIME2, `from_year_one`, before year 1).
const ole_systemtime& mss_safe_date(const ole_variant& value, bool from_year_one);

// The literal for the field in an INSERT: NULL, the column default, or the value. Both
// arguments must be present.
std::u16string mss_get_fld_append_str(const udb_field* field, const t_ftd* column);

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

// The column's type in a CREATE TABLE sent to the server: the lower-case mapping with decimal
// precision and scale, GUIDs as uniqueidentifier, a rule's or the descriptor's own type first.
std::u16string mss_server_column_type(const t_ftd& column);

// Decimal checks: whether the value's integer digits exceed what the column's precision and
// scale leave for them; whether a literal's integer part fits; the column's largest value.
bool dec_is_out_of_range(const udb_field& field, const t_ftd& column);
bool check_dec_str_prec_scale(std::u16string_view text, int precision, int scale);
std::u16string gen_dec_value(const t_ftd* column, bool negative);

// The same literals appended as UTF-8 to a caller's buffer, for the writers' hot path: no
// allocation per field once the buffers have grown. A text holding a lone surrogate cannot
// be written and raises tk_exception "Cannot create string representation".
void mss_append_fld_str(std::string& out, const udb_field& field, const t_ftd& column);
void mss_append_mssql_str(std::string& out, std::u16string_view text, ole_vartype vt);

// For a writer that reads a value from its source itself, with detail traces off and no
// conversion rule taking the value's type: what mss_append_fld_str appends for a field of
// that value whose type is the column's. A text (VT_BSTR) value; an integer; a double; a
// date, false
// (nothing appended) for a column of another date form; a decimal as ole_decimal::print_plain
// prints it, with its count of digits before the point (leading zeros left out), false for a
// value the column cannot hold. A
// text of printable ASCII bytes alone, as every code page reads them, false for a text with a
// quote, a dollar sign or what may be a GUID; with `padded`, 16 bytes past the text's end may
// be read.
void mss_append_text_value(std::string& out, const ole_variant& text);
void mss_append_integer(std::string& out, std::int64_t value);
void mss_append_double(std::string& out, double value);
bool mss_append_date_value(std::string& out, const ole_systemtime& date, const t_ftd& column);
bool mss_append_printed_decimal(std::string& out, std::string_view printed, int whole_digits,
                                const t_ftd& column);
bool mss_append_ascii_text(std::string& out, std::string_view text, bool padded = false);
// The same for a text of single bytes that `utf8` maps to their UTF-8 sequences (up to
// three bytes, their count last; bytes below 0x80 to themselves); false for a text with a
// control character or a dollar sign, or what may be a GUID.
bool mss_append_mapped_text(std::string& out, std::string_view bytes,
                            const std::array<std::array<char, 4>, 256>& utf8, bool padded = false);
// Appends UTF-16 text as UTF-8, doubling every single quote when asked.
void mss_append_utf8(std::string& out, std::u16string_view text, bool double_quotes);
