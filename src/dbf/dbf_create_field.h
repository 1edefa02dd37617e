#pragma once

#include <array>
#include <cstdint>

#include "udb/t_ftd.h"

// The 32-byte on-disk descriptor of a column of a table being created: name in bytes 0-10,
// type letter at 11, the field's offset in the record at 12-15, length and decimal count at
// 16 and 17 (a 16-bit length for character fields).
std::array<unsigned char, 32> dbf_create_field(const t_ftd& column, std::uint32_t offset);

// Size of an on-disk 32-byte descriptor, read where dbf_size_source_of its type letter says:
// the length byte at 16, nothing, or the 16-bit length at 16-17.
std::uint32_t dbf_get_size_1(const unsigned char* slot);
