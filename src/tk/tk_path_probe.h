#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int tk_access_read_write = 1;
inline constexpr int tk_access_read = 16384;

// True when `path` is an existing file (not a folder) that opens for reading and writing
// (mode tk_access_read_write) or for reading (any other mode). Never raises.
bool tk_is_file_exist(const std::string& path, int mode = tk_access_read);
bool tk_is_file_exist(std::u16string_view path, int mode = tk_access_read);

// True when `path` is a folder that could be made the current directory. Never raises.
bool tk_is_path_exist(const std::string& path);
bool tk_is_path_exist(std::u16string_view path);

// Resolves a derived path (a memo or index file next to a table) against the real entries of
// its folder ignoring case: "/d/Sales.FPT" gives "/d/SALES.fpt" when that is what exists. The
// path itself when it exists as written; none when no entry matches.
std::optional<std::string> tk_resolve_path_nocase(const std::string& path);
std::optional<std::u16string> tk_resolve_path_nocase(std::u16string_view path);

// Every entry of the folder of `path` whose name equals its file name ignoring case, as paths
// in the folder's spelling, in byte order.
std::vector<std::string> tk_entries_nocase(const std::string& path);
