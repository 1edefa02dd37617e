#pragma once

// A database container's field default as the column's default value: constants of the
// column's kind, and DATE() / DATETIME() as the text "getdate()" that the writers turn into the
// server's clock. Anything else is traced at level 3 with its text and left out.

#include <string>

#include "ole/ole_variant.h"
#include "udb/t_ftd.h"

// The default of `column` from the expression `expr` (UTF-8); an empty value when none applies.
ole_variant dbf_container_default(const std::string& table, const t_ftd& column,
                                  const std::string& expr);
