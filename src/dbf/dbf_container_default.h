#pragma once

// A database container's field default as the column's default value: constants of the
// column's kind, and DATE() / DATETIME() as the text "getdate()" that the writers turn into the
// server's clock. Anything else does not translate; the conversion names it and leaves it out.

#include <optional>
#include <string>

#include "ole/ole_variant.h"
#include "udb/t_ftd.h"

// The default of `column` from the expression `expr` (UTF-8): an empty value when there is
// none to make (no expression, or NULL, every nullable column's default already); none when
// the expression does not translate.
std::optional<ole_variant> dbf_container_default(const t_ftd& column, const std::string& expr);
