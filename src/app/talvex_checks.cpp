// The database containers' field and row validation rules as CHECK constraints of the tables
// this run converted, translated with the rules of the view translation; a rule or a field
// default that does not translate is told with its text, so the user can make it by hand.
#include "app/talvex_converter.h"
#include "dbf/dbf_container.h"
#include "dbf/dbf_container_default.h"
#include "dbf/dbf_database.h"
#include "dbf/dbf_recordset.h"
#include "mss/mss_vfp_view.h"
#include "tk/tk_encoding.h"

void talvex_converter::create_checks(dbf_database& source, udb_database& target,
                                     const std::vector<std::u16string>& converted) {
  for (const std::u16string& table : converted) {
    const dbf_dbc_table* entry = source.container_entry(table);
    if (entry == nullptr) continue;
    const std::string name = tk_to_utf8_lossy(table);
    const std::unique_ptr<dbf_recordset> opened =
        source.get_table(table, dbf_recordset::k_mode_read);
    const udb_schema& schema = opened->schema();
    for (std::size_t i = 0; i < entry->fields.size() && i < schema.size(); ++i) {
      const dbf_dbc_field& field = entry->fields[i];
      if (!dbf_container_default(schema[i], field.default_value)) {
        tell("Table " + name + ", field " + field.name + ": the default " + field.default_value +
             " is not translated");
      }
    }
    const std::u16string target_name = target.names_map().get_tn_mapped_name(table, false);
    const mss_view_source columns = view_source(target, table, schema);
    // A rule becomes the check CK_<table>[_<field>], after the name Visual FoxPro's upsizing
    // gives it.
    const auto check = [&](const std::string& rule, const std::string& field) {
      if (rule.empty()) return;
      const std::string what =
          "Table " + name +
          (field.empty() ? ": the row rule " : ", field " + field + ": the rule ");
      const mss_view_translation condition = mss_translate_vfp_condition(rule, columns);
      if (!condition.failure.empty()) {
        tell(what + rule + " is not translated: " + condition.failure);
        return;
      }
      const std::u16string check_name =
          u"CK_" + target_name +
          (field.empty() ? u""
                         : u"_" + target.names_map().get_fn_mapped_name(
                                      target_name, tk_from_utf8_lossy(field), true));
      target.create_check(target_name, check_name, condition.sql);
    };
    for (const dbf_dbc_field& field : entry->fields) check(field.rule, field.name);
    check(entry->rule, {});
  }
  report_server_findings(target, {});
}
