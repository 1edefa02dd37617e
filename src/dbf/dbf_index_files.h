#pragma once

// Which index files in a table's folder belong to which table. Linux names are case-sensitive
// while the files come from systems where they are not, so index files are matched to tables
// as memo files are.

#include <string>
#include <utility>
#include <vector>

#include "dbf/dbf_index_tag.h"

// The index files of the table at table_path: structural .cdx (same base name), production .mdx
// (same base name), and single-tag .idx/.ndx/.ntx with the same base name; matched as memo files
// are (see dbf_sibling_path in src/dbf/dbf_paths.h: case-insensitive, never a file spelt with
// another table's name). Returns (path, kind) pairs in the order cdx, mdx, idx, ndx, ntx.
std::vector<std::pair<std::string, dbf_index_kind>> dbf_index_files_of(
    const std::string& table_path);

// Files of the folder with extension .idx/.ndx/.ntx whose base name matches no .dbf table there.
std::vector<std::string> dbf_orphan_index_files(const std::string& folder);
