#pragma once

// Foreign keys of the source's relations, as both writers create them: a constraint added
// after the rows, its violation query showing one child key without a parent row ("12, 4").

#include <string>

#include "mss/mss_constraint.h"
#include "udb/udb_names_map.h"
#include "udb/udb_relationships.h"

// `child_safe` and `parent_safe` are the tables' safe names; columns are mapped through
// `names`. `actions` follows the REFERENCES clause ("ON DELETE CASCADE ON UPDATE NO ACTION").
mss_constraint_sql mss_foreign_key(const udb_names_map& names, const udb_relationship& fk,
                                   const std::u16string& child_safe,
                                   const std::u16string& parent_safe,
                                   const std::u16string& actions);
