#pragma once

// The backlink of a Visual FoxPro table: the relative path of the database container it
// belongs to, kept in the 263 bytes that follow the field descriptors of its header.

#include <string>
#include <string_view>

// The backlink in `head`, the first bytes of a table file (its whole header, up to the data
// offset): UTF-8, decoded with the header's code page; empty for a free table, for a table of
// another format and for a header that ends before it.
std::string dbf_backlink_in(std::string_view head);

// The backlink of the table file at `table_path`. Throws dbf_exception when the file is
// missing or unreadable.
std::string dbf_backlink_of(const std::string& table_path);
