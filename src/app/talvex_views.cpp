// The local views of the source's database containers, created after the tables they read:
// each translated from Visual FoxPro SQL against the tables as this run named them, in an
// order where a view comes after the views it reads.
#include <algorithm>

#include "app/error_handler.h"
#include "app/talvex_converter.h"
#include "dbf/dbf_container_tables.h"
#include "dbf/dbf_database.h"
#include "mss/mss_vfp_view.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

namespace {

mss_view_kind kind_of(ole_vartype vt) {
  if (vt == VT_BSTR) return mss_view_kind::text;
  if (vt == VT_DATE) return mss_view_kind::date;
  if (vt == VT_BOOL) return mss_view_kind::logical;
  return t_ftd::is_numeric_type(vt) ? mss_view_kind::number : mss_view_kind::unknown;
}

void report(const std::u16string& view, const std::string& text) {
  error_handler& errors = error_handler::instance();
  errors.set_context(tk_to_ansi(view));
  errors.handle(tk_exception(text, 0), false);
  errors.set_context({});
}

}  // namespace

mss_view_source talvex_converter::view_source(udb_database& target, const std::u16string& table,
                                              const udb_schema& schema) {
  const std::u16string target_name = target.names_map().get_tn_mapped_name(table, false);
  mss_view_source known{table, target.object_name(target_name), {}};
  for (const t_ftd& column : schema) {
    known.add(column.name, target.names_map().get_fn_mapped_name(target_name, column.name, true),
              kind_of(column.vartype));
  }
  return known;
}

void talvex_converter::create_views(dbf_database& source, udb_database& target,
                                    const std::vector<std::u16string>& converted) {
  std::vector<const dbf_dbc_view*> pending;
  for (const dbf_container& container : source.containers().containers()) {
    if (container.has_stored_procedures)
      TK_LOG(3, "The stored procedures of %s are not converted", container.path);
    for (const dbf_dbc_view& view : container.views) {
      if (view.connection.empty()) {
        pending.push_back(&view);
      } else {
        report(tk_from_utf8_lossy(view.name), "View " + view.name +
                                                  " reads the remote connection " +
                                                  view.connection + " and is not created");
      }
    }
  }
  if (pending.empty()) return;

  mss_view_names names;
  for (const std::u16string& table : converted) {
    const std::unique_ptr<dbf_recordset> opened =
        source.get_table(table, dbf_recordset::k_mode_read);
    names.sources.push_back(view_source(target, table, opened->schema()));
  }
  // A view that reads another is translated once that one is known; each pass makes what it
  // can until a pass makes nothing.
  for (bool progress = true; progress && !pending.empty();) {
    progress = false;
    std::vector<const dbf_dbc_view*> left;
    std::vector<std::pair<const dbf_dbc_view*, std::string>> failed;
    for (const dbf_dbc_view* view : pending) {
      const std::u16string name = tk_from_utf8_lossy(view->name);
      const mss_view_translation translated = mss_translate_vfp_view(view->sql, names);
      if (!translated.failure.empty()) {
        left.push_back(view);
        failed.emplace_back(view, translated.failure);
        continue;
      }
      for (const std::string& note : translated.notes) TK_LOG(3, "View %s: %s", view->name, note);
      if (const std::string refused = target.create_view(name, translated.sql); !refused.empty()) {
        report(name, "View " + view->name + " is not created: " + refused);
        continue;
      }
      TK_LOG(3, "View %s is created", view->name);
      names.add(name, target.object_name(name)).columns = translated.columns;
      progress = true;
    }
    pending = left;
    if (!progress) {
      for (const auto& [view, failure] : failed)
        report(tk_from_utf8_lossy(view->name),
               "View " + view->name + " is not translated: " + failure);
    }
  }
}
