#pragma once

// Clipper single-tag indexes (.ntx).

#include "dbf/dbf_index_source.h"
#include "dbf/dbf_index_tag.h"

// The file's one tag, named after the file.
dbf_index_tag dbf_read_ntx_tag(const dbf_index_source& file);
