#pragma once

#include <cstdint>
#include <string>

#include "mss/mss_literal.h"
#include "udb/t_ftd.h"
#include "udb/udb_field.h"

// What the literal tests build their columns and values with.

inline std::uint32_t prec_scale(std::uint32_t precision, std::uint32_t scale) {
  return (precision << 8) | scale;
}

// The literal a value takes in a column, through the field an INSERT writes.
inline std::u16string literal(const ole_variant& value, const t_ftd& column) {
  const udb_field field(column.name, static_cast<std::int32_t>(column.size), value);
  return mss_get_fld_append_str(&field, &column);
}
