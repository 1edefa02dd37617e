#pragma once

// dBase IV to dBase 7 multiple indexes (.mdx): the tag table and each tag's header.

#include <vector>

#include "dbf/dbf_index_source.h"
#include "dbf/dbf_index_tag.h"

// Every tag of the multiple index, in the tag table's order.
std::vector<dbf_index_tag> dbf_read_mdx_tags(const dbf_index_source& file);
