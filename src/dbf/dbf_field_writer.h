#pragma once

#include <string>

#include "dbf/dbf_char_table.h"
#include "dbf/dbf_field.h"
#include "ole/ole_variant.h"

// Writes one value into its field's bytes of a record being appended (`dest` has
// `layout.width` bytes, blank-filled). Text goes into the table's code page; memo text is
// appended to the table's .dbt file and the field gets its block number. A number whose text
// does not fit the field raises dbf_exception rather than being cut into another number.
void dbf_encode_field(const ole_variant& value, const dbf_field_layout& layout,
                      const dbf_char_table& chars, const std::string& table_path, char* dest);

// Julian day number of a calendar date.
std::int64_t dbf_julian_day(int year, int month, int day);
