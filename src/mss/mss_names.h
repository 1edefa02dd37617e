#pragma once

#include <string>
#include <string_view>

class mss_server_facts;

// How names are written on the SQL Server side. Names are untrusted (they come from files
// people receive), so a closing bracket inside a name is always doubled when it is bracketed.

// True when the name is already in bracketed form: one or more [..] parts joined by ".",
// each part with every "]" inside it doubled. Such a name is written unchanged.
bool mss_is_bracketed_name(std::u16string_view name) noexcept;

// The bracketed form: a bracketed name unchanged, any other name as "[" name "]" with every
// "]" inside doubled.
std::u16string mss_quote_name(std::u16string_view name);
// The text as a T-SQL Unicode string literal: N'...' with every "'" doubled.
std::u16string mss_quote_literal(std::u16string_view text);
// Appends "[" name "]" with every "]" doubled, whatever the name looks like.
void mss_append_bracketed(std::u16string& out, std::u16string_view name);

// Splits a possibly qualified table name into table and owner (empty when there is none).
// Bracketed parts come back without their brackets and with doubled "]" undone. Always true.
bool mss_split_tab_name(std::u16string_view name, std::u16string& table, std::u16string& owner);

// The owner-qualified, bracketed table name every generated statement uses: [owner].[table]
// when the name carries an owner, else [dbo] (or the login's schema) followed by the name.
std::u16string mss_get_safe_tname(std::u16string_view name, const mss_server_facts* facts);
