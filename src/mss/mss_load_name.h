#pragma once

// The names a table is loaded under before it takes its own: a table appears under its real
// name only once all its rows are in, and a name of this form found at the start of a run is
// what an interrupted run left behind.

#include <string>
#include <string_view>

// What every load name starts with; no user table is named so.
inline constexpr std::u16string_view k_mss_load_prefix = u"~quorvik~";

// The load name of the table `name` (unqualified): the prefix and the name, cut with a hash
// of the whole name where that would pass the server's 128 characters, so that two long
// names still load apart.
std::u16string mss_load_name(std::u16string_view name);

// Whether `name` (unqualified) is a load name.
bool mss_is_load_name(std::u16string_view name);

// The statement that gives the table `safe_load_name` (owner-qualified, bracketed) its real
// name `name` (unqualified).
std::u16string mss_publish_statement(std::u16string_view safe_load_name, std::u16string_view name);
