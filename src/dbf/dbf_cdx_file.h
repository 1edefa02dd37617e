#pragma once

// FoxPro and Visual FoxPro compound indexes (.cdx, and a database container's .dcx): the tag
// directory and each tag's compact header. The compact header alone is also what a compact
// single-tag .idx file starts with.

#include <cstdint>
#include <string>
#include <vector>

#include "dbf/dbf_index_source.h"
#include "dbf/dbf_index_tag.h"

// Every tag of the compound index, in the directory's (name) order.
std::vector<dbf_index_tag> dbf_read_cdx_tags(const dbf_index_source& file);

// The tag whose 512-byte compact header and 512-byte expression pool start at `offset`.
dbf_index_tag dbf_read_compact_tag(const dbf_index_source& file, std::uint64_t offset,
                                   std::string name);
