#pragma once

// Foreign keys of the source's relations, as both writers create them: checked against the
// rows when they hold, created WITH NOCHECK when rows without a parent are there (old data often
// keeps such orphans, and the rows are never dropped for a key).

#include <string>

#include "udb/udb_names_map.h"
#include "udb/udb_relationships.h"

struct mss_foreign_key_sql {
  std::u16string checked;    // ALTER TABLE child ADD CONSTRAINT ... actions (checks the rows)
  std::u16string unchecked;  // the same WITH NOCHECK
  // One child key without a parent row, as text ("12, 4"); no row when every key has one.
  std::u16string orphan_query;
};

// `child_safe` and `parent_safe` are the tables' safe names; columns are mapped through
// `names`. `actions` follows the REFERENCES clause ("ON DELETE CASCADE ON UPDATE NO ACTION").
mss_foreign_key_sql mss_foreign_key(const udb_names_map& names, const udb_relationship& fk,
                                    const std::u16string& child_safe,
                                    const std::u16string& parent_safe,
                                    const std::u16string& actions);
