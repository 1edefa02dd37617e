#pragma once

// Identity columns of both writers. A converted table's rows keep their own ids, and afterwards
// the server hands out what the source table would have handed out next.

#include <string>
#include <string_view>

#include "udb/udb_schema.h"

// " IDENTITY(seed,step)" of an auto-number column (" IDENTITY" for 1 and 1). Where the source keeps
// its next value the reseed below sets it, and the seed stays at or below what the reseed gives
// (servers that keep an identity as a sequence refuse a reseed below its seed).
std::u16string mss_identity_clause(const t_ftd& column);

// After the table's rows went in with their own ids, the statement that makes the next
// generated id the auto-number column's own next value; empty when no column keeps one.
// `had_rows`: a table that never had a row hands out the reseed value itself, one that had
// rows the reseed value plus the step.
std::u16string mss_reseed_statement(std::u16string_view safe_table, const udb_schema& columns,
                                    bool had_rows);
