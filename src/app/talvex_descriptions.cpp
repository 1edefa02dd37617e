// Comments of the database containers' tables and fields (a field's caption where it has no
// comment) as the converted tables' and columns' descriptions.
#include "app/talvex_converter.h"
#include "dbf/dbf_container.h"
#include "dbf/dbf_database.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"

void talvex_converter::describe_tables(dbf_database& source, udb_database& target,
                                       const std::vector<std::u16string>& converted) {
  for (const std::u16string& table : converted) {
    const dbf_dbc_table* entry = source.container_entry(table);
    if (entry == nullptr) continue;
    const std::u16string target_name = target.names_map().get_tn_mapped_name(table, false);
    const auto describe = [&](const std::u16string& column, const std::string& text) {
      if (text.empty()) return;
      if (const std::string failed = target.describe(target_name, column, tk_from_utf8_lossy(text));
          !failed.empty()) {
        TK_WLOG(3, "Table %s: a description is not kept: %s", table, tk_from_utf8_lossy(failed));
      }
    };
    describe({}, entry->comment);
    for (const dbf_dbc_field& field : entry->fields) {
      const std::u16string column =
          target.names_map().get_fn_mapped_name(target_name, tk_from_utf8_lossy(field.name), true);
      describe(column, field.comment.empty() ? field.caption : field.comment);
    }
  }
}
