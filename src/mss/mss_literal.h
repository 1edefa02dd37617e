#pragma once

// The T-SQL literal that stands for a value in an INSERT statement, as both writers send it:
// the script writer (mss_dmp_recordset, mss_dmp_database) and the INSERT path of the server
// load (mss_table); index filters (mss_index_sql) take theirs too.
// NULL becomes the column default where the column takes no NULL, values SQL Server cannot
// store are clamped (mss_safe_value), texts are written by mss_text_literal. The script row
// formatter (talvex_row_formatter) calls the fast forms straight from a record's bytes.

#include <cstdint>
#include <string>
#include <string_view>

#include "mss/mss_safe_value.h"
#include "ole/ole_variant.h"

class t_ftd;
class udb_field;

// The T-SQL literal of a value already turned into text.
std::u16string to_mssql_str(std::u16string_view text, ole_vartype vt);

// The literal for the field in an INSERT: NULL, the column default, or the value. Both
// arguments must be present.
std::u16string mss_get_fld_append_str(const udb_field* field, const t_ftd* column);

// The same literals appended as UTF-8 to a caller's buffer, for the writers' hot path: no
// allocation per field once the buffers have grown. A text holding a lone surrogate cannot
// be written and raises tk_exception "Cannot create string representation".
// The INSERT path of a server load asks for unseparated dates; scripts keep the separated.
void mss_append_fld_str(std::string& out, const udb_field& field, const t_ftd& column,
                        mss_date_text date_text = mss_date_text::separated);
void mss_append_mssql_str(std::string& out, std::u16string_view text, ole_vartype vt);

// For a writer that reads a value from its source itself, with detail traces off and no
// conversion rule taking the value's type: what mss_append_fld_str appends for a field of
// that value whose type is the column's. An integer; a double; a date, false (nothing
// appended) for a column of another date form; a decimal as ole_decimal::print_plain prints
// it, with its count of digits before the point (leading zeros left out), false for a value
// the column cannot hold. Texts are mss_text_literal's.
void mss_append_integer(std::string& out, std::int64_t value);
void mss_append_double(std::string& out, double value);
bool mss_append_date_value(std::string& out, const ole_systemtime& date, const t_ftd& column);
bool mss_append_printed_decimal(std::string& out, std::string_view printed, int whole_digits,
                                const t_ftd& column);

// The literal of a date for a DATETIME or DATE column, printed straight from its parts; a
// value the column cannot hold becomes 9999-12-30.
void mss_append_date_literal(std::string& out, const ole_systemtime& date, mss_date_form form,
                             mss_date_text text = mss_date_text::separated);

// A date column's default as a date, when it reads as one (empty otherwise).
ole_variant mss_date_default(const t_ftd& column);

// A logical value's literal as the column's values take it: a bit, or what a conversion
// rule writes instead.
std::u16string mss_bool_literal(const ole_variant& value);
