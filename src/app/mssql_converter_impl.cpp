#include "app/mssql_converter_impl.h"

#include <cstdlib>
#include <string>

#include "odb/odb_login.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "udb/udb_profile.h"

namespace {
constexpr std::u16string_view k_server_settings = udb_profile::k_server_settings;
}  // namespace

void mssql_converter_impl::store_flag(udb_profile& profile, std::u16string_view section,
                                      std::u16string_view key, bool value) {
  profile.set(section, key, value ? u"1" : u"0");
}

void mssql_converter_impl::load_flag(const udb_profile& profile, std::u16string_view section,
                                     std::u16string_view key, bool& value) {
  const std::u16string v = profile.get(section, key);
  if (!v.empty()) value = v == u"1";
}

mssql_converter_impl::mssql_converter_impl() : engine_(std::make_unique<mss_engine>()) {}

void mssql_converter_impl::connect_mssql_server() {
  TK_LOG(1, "mssql_converter_impl::connect_mssql_server");
  // A failure to log in ends the run: nothing can be converted without the server.
  try {
    if (sec_log || user.empty()) {
      engine_->connect(host, true);
    } else {
      engine_->connect(host, user, pswd, true);
    }
  } catch (const tk_exception& e) {
    throw tk_exception(std::string(e.what()), 1);
  }
}

void mssql_converter_impl::store_profile(udb_profile& profile) const {
  TK_LOG(2, "mssql_converter_impl::store_profile");
  if (!host.empty()) profile.set(k_server_settings, u"server", host);
  if (!user.empty()) profile.set(k_server_settings, u"login", user);
  if (!pswd.empty()) profile.set(k_server_settings, u"password", pswd);
  store_flag(profile, k_server_settings, u"windows authentication", sec_log);
  store_flag(profile, k_server_settings, u"connect as DBO", engine_->as_dbo());
  if (jobs != default_jobs()) {
    profile.set(k_server_settings, u"parallel connections", tk_from_ansi(std::to_string(jobs)));
  }
  const odb_tls& tls = engine_->tls();
  profile.set(k_server_settings, u"encryption",
              tls.encryption == odb_encryption::optional ? u"optional" : u"mandatory");
  store_flag(profile, k_server_settings, u"trust server certificate", tls.trust_server_cert);
  if (!tls.ca_file.empty())
    profile.set(k_server_settings, u"CA file", tk_from_utf8_lossy(tls.ca_file));
  store_flag(profile, k_server_settings, u"dump insert comments", dump_options.b_comments);
  store_flag(profile, k_server_settings, u"dump create database", dump_options.b_create_db);
  store_flag(profile, k_server_settings, u"dump create table", dump_options.b_create_tab);
}

void mssql_converter_impl::load_profile(const udb_profile& profile) {
  TK_LOG(1, "mssql_converter_impl::load_profile");
  if (auto v = profile.get(k_server_settings, u"server"); !v.empty()) host = v;
  if (auto v = profile.get(k_server_settings, u"login"); !v.empty()) user = v;
  if (auto v = profile.get(k_server_settings, u"password"); !v.empty()) pswd = v;
  load_flag(profile, k_server_settings, u"windows authentication", sec_log);
  bool as_dbo = engine_->as_dbo();
  load_flag(profile, k_server_settings, u"connect as DBO", as_dbo);
  TK_LOG(1, "mss_engine::set_as_dbo(%d)", as_dbo ? 1 : 0);
  engine_->set_as_dbo(as_dbo);
  if (const int n =
          std::atoi(tk_to_ansi(profile.get(k_server_settings, u"parallel connections")).c_str());
      n >= 1 && n <= k_max_jobs) {
    jobs = n;
  }
  odb_tls tls = engine_->tls();
  if (auto v = profile.get(k_server_settings, u"encryption"); !v.empty())
    tls.encryption = v == u"optional" ? odb_encryption::optional : odb_encryption::mandatory;
  load_flag(profile, k_server_settings, u"trust server certificate", tls.trust_server_cert);
  if (auto v = profile.get(k_server_settings, u"CA file"); !v.empty())
    tls.ca_file = tk_to_utf8_lossy(v);
  engine_->set_tls(std::move(tls));
  load_flag(profile, k_server_settings, u"dump insert comments", dump_options.b_comments);
  load_flag(profile, k_server_settings, u"dump create database", dump_options.b_create_db);
  load_flag(profile, k_server_settings, u"dump create table", dump_options.b_create_tab);
}
