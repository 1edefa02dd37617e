// Foreign key statements shared by the script and the server writer (see the header).
#include "mss/mss_foreign_key.h"

#include "mss/mss_names.h"
#include "mss/mss_statement.h"

mss_constraint_sql mss_foreign_key(const udb_names_map& names, const udb_relationship& fk,
                                   const std::u16string& child_safe,
                                   const std::u16string& parent_safe,
                                   const std::u16string& actions) {
  mss_constraint_sql out;
  mss_set_constraint_statement(
      out, child_safe,
      mss_fk_statement(names, fk, child_safe, parent_safe, u"FOREIGN KEY (") +
          (actions.empty() ? u"" : u" " + actions));

  const std::u16string child = names.get_tn_mapped_name(fk.fk_table, false);
  const std::u16string parent = names.get_tn_mapped_name(fk.pk_table, false);
  std::u16string shown = u"CONCAT(N''";
  std::u16string keyed;
  std::u16string joined;
  for (std::size_t i = 0; i < fk.child_fields.size() && i < fk.parent_fields.size(); ++i) {
    const std::u16string c =
        u"c." + mss_quote_name(names.get_fn_mapped_name(child, fk.child_fields[i], true));
    const std::u16string p =
        u"p." + mss_quote_name(names.get_fn_mapped_name(parent, fk.parent_fields[i], true));
    shown += (i > 0 ? u", N', ', " : u", ") + c;
    keyed += (i > 0 ? u" AND " : u"") + c + u" IS NOT NULL";
    joined += (i > 0 ? u" AND " : u"") + p + u" = " + c;
  }
  // A key with a NULL part references nothing, so it is no orphan.
  out.violation_query = u"SELECT TOP 1 " + shown + u") FROM " + child_safe + u" AS c WHERE " +
                        keyed + u" AND NOT EXISTS (SELECT 1 FROM " + parent_safe + u" AS p WHERE " +
                        joined + u")";
  return out;
}
