// Connections over FreeTDS db-lib: library set-up, login with version fallback, the message
// and error handlers that collect failures per connection, and running batches.
#include "odb/odb_connection.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <vector>

#include "odb/odb_certificate_names.h"
#include "odb/odb_conf_entry.h"
#include "odb/odb_dblib.h"
#include "odb/odb_exception.h"
#include "odb/odb_login_file.h"
#include "odb/odb_login_section.h"
#include "odb/odb_recordset.h"
#include "odb/odb_server_address.h"
#include "odb/odb_tls_failure.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"

// What the handlers learned about one connection since the last check.
struct odb_connection::diagnostics {
  bool has_server_error = false;
  std::string server_text;
  int number = 0;
  int severity = 0;
  int state = 0;
  bool has_client_error = false;
  std::string client_text;
  int client_number = 0;
  bool timed_out = false;

  void clear() { *this = diagnostics(); }
};

namespace {

// Failures raised while no connection exists yet (during the login) land here.
thread_local odb_connection::diagnostics* t_login_diag = nullptr;

odb_connection::diagnostics* diag_of(DBPROCESS* proc) {
  if (proc != nullptr) {
    if (auto* d = reinterpret_cast<odb_connection::diagnostics*>(dbgetuserdata(proc))) return d;
  }
  return t_login_diag;
}

int message_handler(DBPROCESS* proc, DBINT number, int state, int severity, char* text,
                    char* /*server*/, char* /*procedure*/, int /*line*/) {
  TK_LOG(2, "Server message %d, severity %d, state %d: %s", static_cast<int>(number), severity,
         state, text != nullptr ? text : "");
  // Severity 10 and below are information (a changed database, a changed language).
  if (severity <= 10) return 0;
  odb_connection::diagnostics* d = diag_of(proc);
  if (d != nullptr && !d->has_server_error) {
    d->has_server_error = true;
    d->server_text = text != nullptr ? text : "";
    d->number = static_cast<int>(number);
    d->severity = severity;
    d->state = state;
  }
  return 0;
}

int error_handler(DBPROCESS* proc, int severity, int dberr, int oserr, char* dberrstr,
                  char* oserrstr) {
  TK_LOG(2, "Client library error %d, severity %d: %s", dberr, severity,
         dberrstr != nullptr ? dberrstr : "");
  odb_connection::diagnostics* d = diag_of(proc);
  // "Check messages from the server" only points at a message already kept.
  if (d != nullptr && dberr != SYBESMSG && dberr != SYBEVERDOWN && !d->has_client_error) {
    d->has_client_error = true;
    d->client_text = dberrstr != nullptr ? dberrstr : "";
    if (oserr != DBNOERR && oserr != 0 && oserrstr != nullptr && *oserrstr != '\0') {
      d->client_text += std::string(" (") + oserrstr + ")";
    }
    d->client_number = dberr;
  }
  if (dberr == SYBETIME && d != nullptr) d->timed_out = true;
  return INT_CANCEL;
}

void init_library() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (dbinit() == FAIL) throw odb_exception("The TDS client library cannot be initialised.");
    dberrhandle(error_handler);
    dbmsghandle(message_handler);
    dbsetlogintime(odb_connection::k_login_timeout);
    dbsettime(odb_connection::k_query_timeout);
  });
}

// db-lib wants narrow text; FreeTDS converts it from the client charset (UTF-8).
std::string narrow(std::u16string_view text) {
  return tk_to_utf8_lossy(text);
}

// The library reads its configuration file name and writes its login record process-wide, so
// logins on several threads take turns.
std::mutex g_login_mutex;

// The entry disagreements already traced, so that every connection of a run does not repeat
// them.
void trace_notes(const std::vector<std::string>& notes) {
  static std::mutex mutex;
  static std::vector<std::string> traced;
  const std::lock_guard<std::mutex> lock(mutex);
  for (const std::string& note : notes) {
    if (std::find(traced.begin(), traced.end(), note) != traced.end()) continue;
    TK_LOG(3, "%s", note);
    traced.push_back(note);
  }
}

int version_number(int dbversion) {
  switch (dbversion) {
    case DBVERSION_74:
      return 74;
    case DBVERSION_73:
      return 73;
    case DBVERSION_72:
      return 72;
    case DBVERSION_71:
      return 71;
    default:
      return 70;
  }
}

}  // namespace

bool odb_has_kerberos_ticket() {
  std::string cache;
  if (const char* env = std::getenv("KRB5CCNAME"); env != nullptr && *env != '\0') {
    cache = env;
    if (cache.rfind("FILE:", 0) == 0) {
      cache.erase(0, 5);
    } else if (cache.find(':') != std::string::npos && cache[0] != '/') {
      return true;  // a keyring or credential service: the library asks it
    }
  } else {
    cache = "/tmp/krb5cc_" + std::to_string(getuid());
  }
  struct stat st {};
  return stat(cache.c_str(), &st) == 0 && st.st_size > 0;
}

odb_connection::odb_connection(const odb_login& login)
    : login_(login), diag_(std::make_unique<diagnostics>()) {
  TK_WLOG(1, "odb_initializer::test_connection(%s,%s,%s,%s)", login.server, login.user,
          std::u16string(login.password.empty() ? u"" : u"********"), login.database);
  init_library();
  if (login.user.empty() && !odb_has_kerberos_ticket()) {
    throw odb_exception(
        "Integrated (Windows) authentication needs a Kerberos ticket, and there is none: run "
        "kinit first, or give a login name and password for SQL Server authentication.");
  }
  // The server answers with the version it speaks; an older one that refuses the request
  // outright gets the next lower version.
  static constexpr int k_versions[] = {DBVERSION_74, DBVERSION_73, DBVERSION_72, DBVERSION_71};
  for (std::size_t i = 0;; ++i) {
    try {
      open(k_versions[i]);
      return;
    } catch (const odb_exception& e) {
      const bool refused_protocol = !diag_->has_server_error && !diag_->timed_out &&
                                    diag_->client_number != SYBECONN &&
                                    diag_->client_number != SYBEUHST && e.number() != 0;
      if (!refused_protocol || i + 1 == std::size(k_versions)) throw;
      TK_LOG(2, "Login at TDS %d refused, trying the next lower version",
             version_number(k_versions[i]));
    }
  }
}

void odb_connection::open(int version) {
  diag_->clear();
  LOGINREC* rec = dblogin();
  if (rec == nullptr) throw odb_exception("The TDS client library cannot allocate a login.");
  struct login_guard {
    LOGINREC* rec;
    ~login_guard() { dbloginfree(rec); }
  } guard{rec};
  const std::string user = narrow(login_.user);
  const std::string password = narrow(login_.password);
  if (!user.empty()) {
    DBSETLUSER(rec, user.c_str());
    DBSETLPWD(rec, password.c_str());
  }
  DBSETLAPP(rec, "quorvik");
  DBSETLCHARSET(rec, "UTF-8");
  DBSETLVERSION(rec, static_cast<BYTE>(version));
  BCP_SETL(rec, TRUE);
  const std::string database = narrow(login_.database);
  if (!database.empty()) DBSETLDBNAME(rec, database.c_str());
  const std::string server =
      login_.server.empty() ? std::string("localhost") : odb_server_address(narrow(login_.server));

  // db-lib takes encryption only from a configuration file: the login goes through a private
  // one whose single section holds the address (or the freetds.conf entry's settings) and the
  // encryption options.
  static constexpr const char* k_section = "quorvik-login";
  const std::optional<odb_conf_entry> entry =
      login_.server.empty() ? std::nullopt : odb_find_conf_entry(narrow(login_.server));
  const odb_login_section section =
      odb_make_login_section(k_section, entry ? narrow(login_.server) : server, login_.tls, entry);
  trace_notes(section.notes);
  TK_LOG(2, "Encryption: %s", odb_describe_tls(login_.tls));
  const odb_login_file file(section.text);
  // A record the user asked for with TDSDUMP stays theirs.
  const char* user_dump = std::getenv("TDSDUMP");
  const bool record = user_dump == nullptr || *user_dump == '\0';

  DBPROCESS* proc = nullptr;
  {
    const std::lock_guard<std::mutex> lock(g_login_mutex);
    dbsetifile(const_cast<char*>(file.conf_path().c_str()));
    if (record) tdsdump_open(file.record_path().c_str());
    t_login_diag = diag_.get();
    proc = dbopen(rec, k_section);
    t_login_diag = nullptr;
    if (record) tdsdump_open(nullptr);
  }
  if (proc == nullptr) {
    if (diag_->has_server_error) {
      throw odb_exception(diag_->server_text, diag_->number, diag_->severity, diag_->state);
    }
    if (record) {
      const std::string record_text = file.record();
      std::vector<std::string> names;
      if (odb_tls_host_mismatch(record_text) && section.port > 0)
        names = odb_certificate_names(section.host, section.port, k_login_timeout);
      const std::string why = odb_tls_failure_message(record_text, login_.tls, section.host, names);
      if (!why.empty()) {
        // Number 0: not a refused protocol version, so no lower version is tried.
        throw odb_exception(why + " [server '" + server + "']");
      }
    }
    std::string text = diag_->client_text.empty() ? std::string("Cannot connect to the server")
                                                  : diag_->client_text;
    // The library names the private section where the user knows the server.
    const std::string section_name = std::string("(") + k_section + ")";
    if (const std::size_t at = text.find(section_name); at != std::string::npos)
      text.replace(at, section_name.size(), "(" + server + ")");
    text += " [server '" + server + "']";
    odb_exception e(text);
    e.set_connection_lost();
    throw e;
  }
  proc_ = proc;
  dbsetuserdata(proc_, reinterpret_cast<BYTE*>(diag_.get()));
  // The server answers with the version it speaks, which may be below the one asked for.
  switch (dbtds(proc_)) {
    case DBTDS_7_4:
      tds_version_ = 74;
      break;
    case DBTDS_7_3:
      tds_version_ = 73;
      break;
    case DBTDS_7_2:
      tds_version_ = 72;
      break;
    case DBTDS_7_1:
      tds_version_ = 71;
      break;
    default:
      tds_version_ = std::min(70, version_number(version));
  }
  TK_LOG(2, "Connected with TDS %d", tds_version_);
  // Some SET options differ between client libraries; these are the ones SQL Server's own
  // tools use, which computed columns, filtered indexes and indexed views require.
  execute(
      u"SET ANSI_NULLS ON; SET ANSI_PADDING ON; SET ANSI_WARNINGS ON; SET ARITHABORT ON; "
      u"SET CONCAT_NULL_YIELDS_NULL ON; SET QUOTED_IDENTIFIER ON; SET NUMERIC_ROUNDABORT OFF; "
      u"SET DATEFORMAT ymd");
}

odb_connection::~odb_connection() {
  if (proc_ != nullptr) {
    dbsetuserdata(proc_, nullptr);
    dbclose(proc_);
  }
}

bool odb_connection::is_dead() const {
  return proc_ == nullptr || dbdead(proc_) == TRUE;
}

void odb_connection::clear_pending() {
  diag_->clear();
}

void odb_connection::throw_pending(const char* what) {
  const bool dead = is_dead();
  if (diag_->has_server_error) {
    odb_exception e(diag_->server_text, diag_->number, diag_->severity, diag_->state);
    diag_->clear();
    if (dead) e.set_connection_lost();
    throw e;
  }
  if (diag_->has_client_error || dead) {
    std::string text = diag_->client_text.empty()
                           ? std::string("The connection to the server was lost")
                           : diag_->client_text;
    if (diag_->timed_out) {
      text += " (no reply within " + std::to_string(k_query_timeout) + " seconds)";
    }
    text += std::string(" while ") + what;
    if (dead && !diag_->client_text.empty()) text += "; the connection to the server was lost";
    odb_exception e(text);
    if (dead || diag_->timed_out) e.set_connection_lost();
    diag_->clear();
    throw e;
  }
}

void odb_connection::send(std::u16string_view sql) {
  TK_WLOG(2, "odb_command::execute(%s)", sql);
  send_utf8(narrow(sql));
}

void odb_connection::send_utf8(const std::string& sql) {
  if (is_dead()) {
    odb_exception e("The connection to the server was lost.");
    e.set_connection_lost();
    throw e;
  }
  diag_->clear();
  if (dbcmd(proc_, sql.c_str()) == FAIL || dbsqlexec(proc_) == FAIL) {
    drain();
    throw_pending("sending a statement");
    throw odb_exception("The statement could not be sent to the server.");
  }
}

void odb_connection::drain() noexcept {
  if (is_dead()) return;
  RETCODE rc;
  while ((rc = dbresults(proc_)) != NO_MORE_RESULTS) {
    if (rc == FAIL) {
      if (is_dead()) return;
      continue;
    }
    dbcanquery(proc_);
  }
}

void odb_connection::execute(std::u16string_view sql) {
  send(sql);
  drain();
  throw_pending("running a statement");
}

void odb_connection::execute_utf8(const std::string& sql) {
  TK_LOG(2, "odb_command::execute(%s)", sql);
  send_utf8(sql);
  drain();
  throw_pending("running a statement");
}

std::unique_ptr<odb_recordset> odb_connection::query(std::u16string_view sql) {
  send(sql);
  auto rows = std::make_unique<odb_recordset>(*this);
  drain();
  throw_pending("reading a result");
  return rows;
}

std::u16string odb_connection::scalar(std::u16string_view sql) {
  const std::unique_ptr<odb_recordset> rows = query(sql);
  rows->reset();
  if (rows->is_eof()) return {};
  const udb_field& field = (*rows->get_item())[0];
  if (field.is_null() || field.is_empty()) return {};
  return field.vt() == VT_BSTR ? field.text() : field.to_wstring();
}

void odb_connection::use(const std::u16string& database) {
  TK_WLOG(2, "odb_connection::use(%s)", database);
  std::u16string sql = u"USE [";
  for (const char16_t c : database) {
    sql += c;
    if (c == u']') sql += u']';
  }
  execute(sql + u"]");
  login_.database = database;
}
