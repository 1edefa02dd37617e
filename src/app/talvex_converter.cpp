#include "app/talvex_converter.h"

#include <sys/stat.h>

#include <cstdlib>

#include "dbf/dbf_codepage_table.h"
#include "odb/odb_login.h"
#include "tk/tk_console.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_file_name.h"
#include "tk/tk_log.h"
#include "tk/tk_path_probe.h"
#include "udb/udb_profile.h"

namespace {
constexpr std::u16string_view k_generic = udb_profile::k_generic_settings;
constexpr std::u16string_view k_server_settings = udb_profile::k_server_settings;
}  // namespace

talvex_converter::talvex_converter(bool console) : console_(console) {
  TK_LOG(2, "talvex_converter::ctor");
  if (console_) {
    TK_LOG(2, "mss_engine::set_as_dbo(%d)", 0);
    engine().set_as_dbo(false);
  }
  serialize(false);
}

talvex_converter::~talvex_converter() {
  TK_LOG(2, "talvex_converter::dtor");
  serialize(true);
}

void talvex_converter::check_dest() {
  TK_WLOG(2, "talvex_converter::check_dest(%s)", dest);
  if (direct) {
    // Mode 0 overwrites the entire database: it is dropped here and created anew by the run.
    // Without it the run would append to the old database: a failure here ends the run.
    try {
      if (mode() == 0 && engine().is_initialized() && engine().is_db_exist(dest)) {
        engine().delete_db(dest);
      }
    } catch (const tk_exception& e) {
      if (e.level() >= 1) throw;
      throw tk_exception(e.message(), 1);
    }
    return;
  }
  const std::string path = tk_to_ansi(dest);
  if (tk_is_standard_output(path)) {
    tk_console_use_stderr();
    return;
  }
  // A pipe, FIFO or device is opened once, by the writer: a probe here would already count
  // as the reader's one writer, or wait for a reader.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return;
  // The old script stays until the new one is complete and takes its place.
  common_check_dest(path);
}

bool talvex_converter::serialize(bool store) {
  TK_LOG(1, "serialize( %d )", store ? 1 : 0);
  if (!open_key()) return false;
  bool ok = true;
  auto flag = [&](const char* name, bool& value, bool fallback) {
    if (!store) value = fallback;
    ok = serialize_bool(name, value, store) && ok;
  };
  auto text = [&](const char16_t* name, std::u16string& value) {
    ok = serialize_string(name, value, store) && ok;
  };
  odb_tls tls = engine().tls();
  std::u16string ca_file = tk_from_utf8_lossy(tls.ca_file);
  bool optional = tls.encryption == odb_encryption::optional;
  // The console keeps only the four dump values; the wizard keeps all, in name order.
  if (!console_) {
    bool as_dbo = engine().as_dbo();
    flag("as_dbo", as_dbo, true);
    engine().set_as_dbo(as_dbo);
    flag("bool_dbf", bool_dbf, false);
    text(u"ca_file", ca_file);
    if (!store) code_page = 0;
    ok = serialize_int("code_page", code_page, store) && ok;
    text(u"dest", dest);
    flag("direct", direct, true);
    flag("encrypt_optional", optional, false);
  }
  flag("dmp_ins_com", dump_options.b_comments, true);
  flag("dmp_ins_db", dump_options.b_create_db, false);
  flag("dmp_ins_tab", dump_options.b_create_tab, true);
  flag("dmp_unicode", dump_options.b_unicode, true);
  if (!console_) {
    text(u"host", host);
    text(u"pswd", pswd);
    flag("sec_log", sec_log, true);
    flag("skip_del", skip_del, false);
    flag("skip_idx", skip_idx, false);
    text(u"src", src);
    flag("tab_def", tab_def, false);
    flag("trust_server_cert", tls.trust_server_cert, false);
    text(u"user", user);
    tls.ca_file = tk_to_utf8_lossy(ca_file);
    tls.encryption = optional ? odb_encryption::optional : odb_encryption::mandatory;
    engine().set_tls(std::move(tls));
  }
  close_key();
  return ok;
}

bool talvex_converter::store_profile(const std::string& path) {
  TK_LOG(2, "talvex_converter::store_profile(%s)", path);
  udb_profile profile;
  udb_converter::store_profile(profile);
  mssql_converter_impl::store_profile(profile);
  store_flag(profile, k_generic, u"skip deleted", skip_del);
  store_flag(profile, k_generic, u"bool as is", bool_dbf);
  store_flag(profile, k_server_settings, u"direct mode", direct);
  profile.set(k_generic, u"encoding", tk_from_ansi(std::to_string(code_page)));
  return profile.store(path);
}

bool talvex_converter::load_profile(const std::string& path) {
  TK_LOG(2, "talvex_converter::load_profile(%s)", path);
  udb_profile profile;
  if (!profile.load(path)) return false;
  udb_converter::load_profile(profile);
  mssql_converter_impl::load_profile(profile);
  load_flag(profile, k_generic, u"skip deleted", skip_del);
  load_flag(profile, k_generic, u"bool as is", bool_dbf);
  load_flag(profile, k_server_settings, u"direct mode", direct);
  if (const std::u16string v = profile.get(k_generic, u"encoding"); !v.empty()) {
    const long value = std::strtol(tk_to_utf8(v).c_str(), nullptr, 10);
    // UTF-8 is kept as its code page number; everything else is a mark, a byte.
    code_page = value == dbf_choice_utf8 ? dbf_choice_utf8 : static_cast<std::uint8_t>(value);
  }
  return true;
}

void common_check_dest(const std::string& path) {
  TK_LOG(2, "common_check_dest(%s)", path);
  if (tk_is_path_exist(path)) {
    throw tk_exception("Destination name should specify a file, not folder.", 1);
  }
  if (tk_is_file_exist(path) && !tk_is_file_exist(path, tk_access_read_write)) {
    throw tk_exception("Destination name specifies an existing read-only file.", 1);
  }
  if (!tk_is_path_exist(tk_file_name(path).folder())) {
    throw tk_exception(
        "Destination path does not exist.\nPlease verify the correct path was given.", 1);
  }
}
