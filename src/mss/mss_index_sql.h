#pragma once

// The T-SQL of an index both writers share: its key list with directions, the WHERE of a
// filtered index rendered from the neutral filter, and the query that finds a key the rows
// hold twice, which a unique index cannot be built over.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "udb/udb_index.h"
#include "udb/udb_schema.h"

// Maps a key or filter column's source name to its name in the target table.
using mss_column_namer = std::function<std::u16string(const std::u16string&)>;

// Whether the column `column` of `schema` may hold NULL (and so leave a unique index's filter).
bool mss_is_nullable(const udb_schema& schema, const std::u16string& column);

// "[a], [b]", each followed by " DESC" when `descending`.
std::u16string mss_index_key_list(const std::vector<std::u16string>& columns, bool descending);

// The filter's conditions joined by " AND " ("[qty] > 10 AND [name] <> N''"), columns named
// through `namer` and typed by `schema`; empty for an empty filter. None when some term has
// no T-SQL form (a comparison with NULL, a blank date compared by order, a number that is
// not one).
std::optional<std::u16string> mss_index_filter_sql(const udb_index_filter& filter,
                                                   const udb_schema& schema,
                                                   const mss_column_namer& namer);

// "CREATE [UNIQUE ]INDEX [name] ON <table>(<keys>)[ WHERE <conditions>]".
std::u16string mss_index_statement(const std::u16string& name, std::u16string_view table,
                                   std::u16string_view keys, bool unique,
                                   std::u16string_view conditions);

// "SELECT <select> FROM <table>[ WHERE <conditions>] GROUP BY <columns> HAVING COUNT(*) > 1":
// the keys the rows (those the conditions pass) hold more than once.
std::u16string mss_duplicate_keys_query(std::u16string_view select, std::u16string_view table,
                                        std::u16string_view columns,
                                        std::u16string_view conditions);
