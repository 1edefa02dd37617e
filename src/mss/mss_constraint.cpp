// Constraint statements shared by the script and the server writer (see the header).
#include "mss/mss_constraint.h"

#include "mss/mss_names.h"

void mss_set_constraint_statement(mss_constraint_sql& out, const std::u16string& table_safe,
                                  const std::u16string& statement) {
  const std::u16string head = u"ALTER TABLE " + table_safe;
  // A new constraint checks the rows by default; not every server takes the words for it.
  out.checked = statement;
  out.unchecked = head + u" WITH NOCHECK" + statement.substr(head.size());
}

mss_constraint_sql mss_check_constraint(const std::u16string& table_safe,
                                        const std::u16string& name,
                                        const std::u16string& condition) {
  mss_constraint_sql out;
  mss_set_constraint_statement(out, table_safe,
                               u"ALTER TABLE " + table_safe + u" ADD CONSTRAINT " +
                                   mss_quote_name(name) + u" CHECK (" + condition + u")");
  // A row for which the condition is unknown (a NULL in it) keeps a check.
  out.violation_query = u"SELECT CAST(COUNT(*) AS nvarchar(20)) FROM " + table_safe +
                        u" WHERE NOT (" + condition + u") HAVING COUNT(*) > 0";
  return out;
}
