#pragma once

// A table's or column's description as SQL Server tools show it: the MS_Description extended
// property, the same statement for both writers.

#include <string>

// The batch that describes the table `safe_table` (its safe name; `table` its plain name), or
// its column `column` when not empty, as `text`.
std::u16string mss_description_statement(const std::u16string& safe_table,
                                         const std::u16string& table, const std::u16string& column,
                                         const std::u16string& text);
