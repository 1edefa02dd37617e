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

talvex_converter::talvex_converter(bool console, tk_secret_store* secrets)
    : console_(console), secrets_(secrets) {
  TK_LOG(2, "talvex_converter::ctor");
  if (console_) {
    TK_LOG(2, "mss_engine::set_as_dbo(%d)", 0);
    engine().set_as_dbo(false);
  }
  serialize(false);
}

talvex_converter::~talvex_converter() {
  TK_LOG(2, "talvex_converter::dtor");
  if (console_) serialize(true);
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
    text(u"dest_db", dest_database);
    text(u"dest_sql", dest_script);
    flag("direct", direct, true);
    flag("encrypt_optional", optional, false);
  }
  flag("dmp_ins_com", dump_options.b_comments, true);
  flag("dmp_ins_db", dump_options.b_create_db, false);
  flag("dmp_ins_tab", dump_options.b_create_tab, true);
  flag("dmp_unicode", dump_options.b_unicode, true);
  if (!console_) {
    text(u"host", host);
    if (!store) jobs = default_jobs();
    ok = serialize_int("jobs", jobs, store) && ok;
    if (jobs < 1 || jobs > k_max_jobs) jobs = default_jobs();
    flag("remember_pswd", remember_pswd, false);
    // The password never stays in this file: an old file's value is read once and dropped.
    if (store) {
      ok = remove_value(u"pswd") && ok;
    } else {
      text(u"pswd", pswd);
    }
    flag("sec_log", sec_log, true);
    flag("skip_del", skip_del, false);
    flag("skip_idx", skip_idx, false);
    text(u"src", src);
    flag("tab_def", tab_def, false);
    std::u16string tables = store ? folder_tables.encode() : std::u16string();
    text(u"tables", tables);
    if (!store) folder_tables.decode(tables);
    flag("trust_server_cert", tls.trust_server_cert, false);
    text(u"user", user);
    tls.ca_file = tk_to_utf8_lossy(ca_file);
    tls.encryption = optional ? odb_encryption::optional : odb_encryption::mandatory;
    engine().set_tls(std::move(tls));
  }
  close_key();
  if (!console_) {
    // The scenario's own destination falls back to the one both shared in older files.
    if (dest_database.empty() && direct) dest_database = dest;
    if (dest_script.empty() && !direct) dest_script = dest;
  }
  if (console_) return ok;
  if (store) {
    store_secret();
  } else if (remember_pswd && secrets_ != nullptr) {
    const tk_secret_store::secret kept = secrets_->read(secret_key());
    secret_state_ = kept.state == tk_secret_store::status::unavailable ? secret_state::silent
                                                                       : secret_state::answers;
    if (kept.state == tk_secret_store::status::ok) {
      pswd = kept.value;
      remembered_key_ = secret_key();
    }
  }
  return ok;
}

std::u16string talvex_converter::secret_key() const {
  return u"Talvex/" + user + u"@" + host;
}

bool talvex_converter::secret_store_answers() {
  if (secrets_ == nullptr) return false;
  if (secret_state_ == secret_state::unknown) {
    const tk_secret_store::status state = secrets_->read(secret_key()).state;
    secret_state_ = state == tk_secret_store::status::unavailable ? secret_state::silent
                                                                  : secret_state::answers;
  }
  return secret_state_ == secret_state::answers;
}

void talvex_converter::store_secret() {
  if (secrets_ == nullptr) return;
  const std::u16string key = secret_key();
  const bool keep = remember_pswd && !pswd.empty();
  // A password kept under another login or server, or no longer to be kept, goes.
  if (!remembered_key_.empty() && (!keep || remembered_key_ != key)) {
    if (secrets_->remove(remembered_key_) != tk_secret_store::status::unavailable) {
      remembered_key_.clear();
    }
  }
  if (!keep) return;
  const tk_secret_store::status state = secrets_->write(key, pswd);
  secret_state_ =
      state == tk_secret_store::status::ok ? secret_state::answers : secret_state::silent;
  if (state == tk_secret_store::status::ok) remembered_key_ = key;
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
  return profile.store(path, !pswd.empty());
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
  (direct ? dest_database : dest_script) = dest;
  // The profile's own choice of tables, not one remembered for its folder, is what it runs.
  folder_tables.forget(src);
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
