#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Table names and the files next to a table. Linux names are case-sensitive while DBF
// databases come from systems where they are not: derived paths are resolved against the
// folder's real entries ignoring case, but only where the exact name does not exist, so that
// "sales.dbf" and "SALES.DBF" in one folder stay two tables with their own files.

// The table name of a .dbf path: its file name in lower case without ".dbf".
std::u16string dbf_table_name_of(std::u16string_view path);

// One distinct table name per .dbf file name of one folder, in the same order. The lower-case
// name goes to the file already spelt that way (else to the first); a file whose name it
// would repeat keeps its own spelling without ".dbf", or its whole file name when even that
// is taken.
std::vector<std::u16string> dbf_table_names(const std::vector<std::u16string>& files);

// The existing file that is `table_path` with its extension replaced by `ext`: the exact
// name when it exists, else one spelt with the table's own name in another case of the
// extension, else any spelling ("calls.dbf" finds "CALLS.FPT") that is not the exact name of
// another table's file ("SALES.DBF" never takes "sales.fpt" of "sales.dbf"); none when there is
// no such file.
std::optional<std::string> dbf_sibling_path(const std::string& table_path, std::string_view ext);
