#pragma once

// A table's index tags as the universal model's indexes: keys and FOR filters translated
// against the table's field names, tags the target cannot hold left out with a trace line.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/dbf_index_tag.h"
#include "udb/udb_indexes.h"

// Decodes a string constant of an expression (bytes of the table's code page).
using dbf_text_decoder = std::function<std::u16string(std::string_view)>;

// `expr` with every field name longer than ten characters that names no field of `fields`
// but whose first ten characters do (ignoring case) replaced by that field's name; function
// names are left alone. The same text when it does not lex.
std::string dbf_widen_short_names(std::string_view expr, const std::vector<std::string>& fields);

// The indexes of `tags` for a table of `fields` (column names, UTF-8) called `table` in the
// traces: the key's fields in order; unique only for candidate keys (an xBase UNIQUE tag only
// hides duplicate keys); a !DELETED() filter dropped, one that does not translate left out
// with a trace line; a tag whose key does not translate skipped with a trace line; a tag
// equal in columns, flags and filter to an earlier one adds nothing.
udb_indexes dbf_indexes_of_tags(std::string_view table, const std::vector<dbf_index_tag>& tags,
                                const std::vector<std::string>& fields,
                                const dbf_text_decoder& decode);
