#pragma once

#include <optional>
#include <string>
#include <string_view>

// Table names and the files next to a table. Linux names are case-sensitive while DBF
// databases come from systems where they are not: derived paths are resolved against the
// folder's real entries ignoring case.

// The table name of a .dbf path: its file name in lower case without ".dbf".
std::u16string dbf_table_name_of(std::u16string_view path);

// The existing file that is `table_path` with its extension replaced by `ext`, found
// whatever its case ("calls.dbf" finds "calls.FPT"); none when there is no such file.
std::optional<std::string> dbf_sibling_path(const std::string& table_path, std::string_view ext);
