#pragma once

// The translator behind mss_translate_vfp_view: a recursive-descent reading of one Visual
// FoxPro SELECT (with UNIONs and subqueries) that writes T-SQL as it goes. Names resolve
// against the FROM clause of each SELECT and the names it was given.

#include <string>
#include <vector>

#include "mss/mss_vfp_lexer.h"
#include "mss/mss_vfp_view.h"

// Fills `out` (sql, uses, notes, columns); throws mss_vfp_untranslatable saying why it cannot.
void mss_vfp_translate(const std::vector<mss_vfp_token>& tokens, const mss_view_names& names,
                       mss_view_translation& out);

// Fills `out.sql` with the T-SQL condition of one rule of `table`; throws as above.
void mss_vfp_translate_condition(const std::vector<mss_vfp_token>& tokens,
                                 const mss_view_source& table, mss_view_translation& out);
