#pragma once

#include <optional>
#include <string>
#include <string_view>

// A shapefile-style .cpg file beside a table names the encoding of its text: "UTF-8", "1252",
// "ANSI 1251", "CP866", "ISO-8859-5", "88595" and the like.

// The code page number the file's text names, when it names one this system decodes.
std::optional<int> dbf_cpg_code_page(std::string_view text);

// The code page named by the .cpg file beside `table_path`, if there is such a file and it
// names one this system decodes (trace "Code page file %s names %d" or "... names no code page
// we know").
std::optional<int> dbf_cpg_code_page_of(const std::string& table_path);
