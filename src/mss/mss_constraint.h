#pragma once

// Constraints both writers add once the rows are in (foreign keys, checks): checked against
// the rows when they keep them, created WITH NOCHECK when some row breaks them. Old data often
// does, and rows are never dropped for a constraint.

#include <string>

struct mss_constraint_sql {
  std::u16string checked;    // ALTER TABLE t ADD CONSTRAINT ... (checks the rows)
  std::u16string unchecked;  // the same WITH NOCHECK
  // One value as text that tells of the rows breaking it; no row when every row keeps it.
  std::u16string violation_query;
};

// The CHECK constraint `name` on the table `table_safe` (its safe name) with the T-SQL
// `condition`; its violation query counts the rows that break it.
mss_constraint_sql mss_check_constraint(const std::u16string& table_safe,
                                        const std::u16string& name,
                                        const std::u16string& condition);

// `statement` ("ALTER TABLE <table_safe> ADD ...") as both forms of `out`.
void mss_set_constraint_statement(mss_constraint_sql& out, const std::u16string& table_safe,
                                  const std::u16string& statement);
