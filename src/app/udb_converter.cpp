#include "app/udb_converter.h"

#include "tk/tk_encoding.h"
#include "tk/tk_log.h"
#include "udb/udb_profile.h"

namespace {
constexpr std::u16string_view k_generic = udb_profile::k_generic_settings;
}

void udb_converter::set_mode(int mode) {
  TK_LOG(2, "udb_converter::set_mode(%d)", mode);
  mode_ = mode;
}

void udb_converter::store_profile(udb_profile& profile) const {
  TK_LOG(2, "udb_converter::store_profile");
  for (const auto& [name, text] : queries) {
    TK_WLOG(3, "Available Query: (%s,%s)", name, text);
    profile.set(udb_profile::k_available_queries, name, text);
  }
  for (const auto& [name, target] : name_map) {
    TK_WLOG(3, "Selected Query: (%s,%s)", name, target);
    profile.set(udb_profile::k_selected_tables, name, target);
  }
  for (const auto& [name, text] : views) {
    TK_WLOG(3, "Selected View: (%s,%s)", name, text);
    profile.set(udb_profile::k_selected_views, name, text);
  }
  profile.set(k_generic, u"src", src);
  profile.set(k_generic, u"dest", dest);
  profile.set(k_generic, u"logfile", tk_from_ansi(logfile()));
  profile.set(k_generic, u"skip indexes", skip_idx ? u"1" : u"0");
  profile.set(k_generic, u"only definitions", tab_def ? u"1" : u"0");
  profile.set(k_generic, u"mode", tk_from_ansi(std::to_string(mode_)));
}

void udb_converter::load_profile(const udb_profile& profile) {
  TK_LOG(1, "udb_converter::load_profile");
  for (const auto& [name, target] : profile.section(udb_profile::k_selected_tables)) {
    name_map.emplace_back(name, target);
    table_list.push_back(name);
    TK_WLOG(1, "Push back table '%s'", name);
  }
  for (const auto& entry : profile.section(udb_profile::k_available_queries)) {
    queries.push_back(entry);
  }
  for (const auto& entry : profile.section(udb_profile::k_selected_views)) views.push_back(entry);

  if (auto v = profile.get(k_generic, u"src"); !v.empty()) src = v;
  if (auto v = profile.get(k_generic, u"dest"); !v.empty()) dest = v;
  if (auto v = profile.get(k_generic, u"logfile"); !v.empty()) {
    const std::string path = tk_to_ansi(v);
    TK_LOG(1, "Logfile=%s", path);
    set_logfile(path);
  }
  if (auto v = profile.get(k_generic, u"only definitions"); !v.empty()) tab_def = v != u"0";
  if (auto v = profile.get(k_generic, u"mode"); v.size() == 1) set_mode(v[0] - u'0');
  if (auto v = profile.get(k_generic, u"skip indexes"); !v.empty()) skip_idx = v != u"0";
}
