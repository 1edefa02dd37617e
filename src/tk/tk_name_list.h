#pragma once

#include <optional>
#include <string>
#include <vector>

// Reads a list of names, one per line: UTF-8 (the ANSI code page here), with or without a
// byte order mark, CR LF or LF line ends. Blank lines are skipped; names are not trimmed and
// are taken whole however long. None when the file cannot be read.
std::optional<std::vector<std::u16string>> tk_read_name_list(const std::string& path);
