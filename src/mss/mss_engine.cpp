// The server engine: the connection to one SQL Server, its version, and its databases.
#include "mss/mss_engine.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "mss/mss_database.h"
#include "mss/mss_dmp_database.h"
#include "mss/mss_names.h"
#include "mss/mss_version.h"
#include "odb/odb_connection.h"
#include "odb/odb_exception.h"
#include "odb/odb_login_section.h"
#include "odb/odb_recordset.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

namespace {

std::u16string user_message(std::u16string_view user, std::u16string_view database) {
  return u"User '" + std::u16string(user) + u"' does not have permission to access database '" +
         std::u16string(database) + u"'";
}

}  // namespace

mss_no_perm_exception::mss_no_perm_exception(std::u16string_view user, std::u16string_view database)
    : tk_exception(user_message(user, database), 0) {}

mss_engine::mss_engine(bool /*no_com_initialization*/) {
  TK_LOG(2, "mss_engine::ctor");
}

mss_engine::~mss_engine() {
  TK_LOG(2, "mss_engine::dtor");
}

mss_load_path mss_engine::load_path_override() {
  const char* env = std::getenv("QUORVIK_LOAD_PATH");
  if (env == nullptr) return mss_load_path::automatic;
  if (std::strcmp(env, "bulk") == 0) return mss_load_path::bulk;
  if (std::strcmp(env, "insert") == 0) return mss_load_path::insert;
  return mss_load_path::automatic;
}

void mss_engine::connect(const std::u16string& server, bool fast_load) {
  TK_WLOG(2, "mss_engine::connect(%s, %d)", server, fast_load ? 1 : 0);
  connect(server, {}, {}, true, fast_load);
}

void mss_engine::connect(const std::u16string& server, const std::u16string& user,
                         const std::u16string& password, bool fast_load) {
  TK_WLOG(2, "mss_engine::connect( %s, %s, %s, %d )", server, user,
          std::string(password.empty() ? "" : odb_masked_password), fast_load ? 1 : 0);
  connect(server, user, password, false, fast_load);
}

void mss_engine::connect(const std::u16string& server, const std::u16string& user,
                         const std::u16string& password, bool integrated, bool fast_load) {
  TK_LOG(3, "Connecting to MS SQL server...");
  TK_LOG(3, "Encryption: %s", odb_describe_tls(tls_));
  probe_.reset();
  odb_login login{server, user, password, {}, tls_};
  server_connection_ = std::make_unique<odb_connection>(login);
  odb_connection* connection = server_connection_.get();
  server_ = server;
  user_ = user;
  password_ = password;
  integrated_ = integrated;
  connected_ = true;
  read_version(*connection);
  TK_LOG(2, "Got MS SQL version: %d", version_);
  trace_encryption(*connection);
  // Bulk copy needs TDS 7.3 or later (7.2 sends dates as text), and Babelfish's own releases
  // lose the last batch of a FreeTDS bulk load.
  fast_load_ = fast_load && connection->tds_version() >= 73 && !babelfish_;
  switch (load_path_override()) {
    case mss_load_path::bulk:
      fast_load_ = true;
      break;
    case mss_load_path::insert:
      fast_load_ = false;
      break;
    case mss_load_path::automatic:
      if (babelfish_) {
        TK_LOG(3,
               "The server is Babelfish: rows are sent as INSERT statements, since its bulk "
               "load loses rows sent by this client");
      }
  }
  init_db_contents(*connection);
}

void mss_engine::trace_encryption(odb_connection& connection) const {
  // What the server says of the session, which settles whether the options took effect.
  if (tk_log_gate > 3 || version_ < mss_version_2005) return;
  try {
    const std::string state = tk_to_utf8_lossy(connection.scalar(
        u"SELECT encrypt_option FROM sys.dm_exec_connections WHERE session_id = @@SPID"));
    TK_LOG(3, "The session's encrypt_option on the server: %s",
           state.empty() ? std::string("(not shown to this login)") : state);
  } catch (const odb_exception& e) {
    TK_LOG(3, "The session's encryption cannot be read on the server: %s", e.what());
  }
}

void mss_engine::read_version(odb_connection& connection) {
  TK_LOG(2, "mss_engine::get_version(priv)");
  const std::string banner = tk_to_utf8_lossy(connection.scalar(u"SELECT @@VERSION"));
  TK_LOG(2, "MS SQL version string: %s", banner);
  // SERVERPROPERTY answers sql_variant, which the client library cannot convert.
  const std::string product = tk_to_utf8_lossy(
      connection.scalar(u"SELECT CAST(SERVERPROPERTY('ProductVersion') AS NVARCHAR(128))"));
  babelfish_ = banner.rfind("Babelfish", 0) == 0;
  version_ = mss_version_level_of(product, banner);
}

void mss_engine::init_db_contents(odb_connection& connection) {
  TK_LOG(2, "mss_engine::init_db_contents");
  databases_.clear();
  if (version_ == mss_version_azure) return;
  const std::unique_ptr<odb_recordset> rows = connection.query(
      version_ > mss_version_2000 ? u"SELECT name from master.sys.databases ORDER BY name"
                                  : u"SELECT name from master.dbo.sysdatabases ORDER BY name");
  for (rows->reset(); !rows->is_eof(); rows->next()) {
    const udb_field& name = (*rows->get_item())[0];
    if (name.vt() != VT_BSTR) continue;
    TK_WLOG(1, "Got database: %s", name.text());
    databases_.push_back(name.text());
  }
}

std::unique_ptr<odb_connection> mss_engine::open_connection(const std::u16string& database) const {
  TK_ASSERT(connected_);
  return std::make_unique<odb_connection>(odb_login{server_, user_, password_, database, tls_});
}

odb_connection& mss_engine::server_connection() {
  TK_ASSERT(connected_);
  if (!server_connection_ || server_connection_->is_dead())
    server_connection_ = open_connection({});
  return *server_connection_;
}

void mss_engine::test_connection() const {
  open_connection({});
}

const std::vector<std::u16string>& mss_engine::get_contents() const {
  TK_LOG(2, "mss_engine::get_contents");
  TK_ASSERT(connected_);
  if (version_ == mss_version_azure) {
    TK_LOG(2, "Cannot get list of databases on Azure SQL");
    throw tk_exception(
        "Azure SQL does not allow to list databases.\r\nEnter database name directly.", 1);
  }
  return databases_;
}

bool mss_engine::is_db_exist(const std::u16string& name) {
  TK_WLOG(2, "mss_engine::is_db_exist(%s)", name);
  TK_ASSERT(connected_);
  if (version_ != mss_version_azure) {
    TK_LOG(2, "Step #1: check via get_contents()");
    bool found = false;
    for (const std::u16string& db : databases_) {
      if (udb_names_equal_nocase(db, name)) found = true;
    }
    if (!found) {
      TK_WLOG(2, "Database %s has NOT been found", name);
      return false;
    }
    TK_WLOG(2, "Database %s has been found", name);
  }
  TK_LOG(2, "Step #2: check via test_connection(...)");
  try {
    probe_ = open_connection(name);
  } catch (const odb_exception& e) {
    // On Azure the list is not readable: a database that cannot be opened is taken as absent
    // unless the server says it exists.
    if (e.connection_lost()) throw;
    throw mss_no_perm_exception(user_, name);
  }
  TK_LOG(2, "mss_engine::is_db_exist -- end");
  return true;
}

std::unique_ptr<mss_database> mss_engine::create_db(const std::u16string& name) {
  TK_WLOG(2, "mss_engine::create_db(%s)", name);
  TK_WLOG(3, "Creating MS SQL database '%s'", name);
  TK_ASSERT(connected_);
  server_connection().execute(u"CREATE DATABASE " + mss_quote_name(name));
  databases_.push_back(name);
  return open_db(name, mss_open_created);
}

std::unique_ptr<mss_database> mss_engine::open_db(const std::u16string& name, int mode) {
  TK_WLOG(2, "mss_engine::open_db(%s)", name);
  TK_ASSERT(connected_);
  // The connection that just proved the database opens is used again: a login is not cheap.
  std::unique_ptr<odb_connection> connection =
      probe_ && !probe_->is_dead() && probe_->login().database == name ? std::move(probe_)
                                                                       : open_connection(name);
  probe_.reset();
  TK_LOG(1, "Connection to the database was establish successfully");
  return std::make_unique<mss_database>(name, std::move(connection), mode);
}

void mss_engine::delete_db(const std::u16string& name) {
  TK_WLOG(2, "mss_engine::delete_db(%s)", name);
  TK_WLOG(3, "Deleting MS SQL database '%s'", name);
  TK_ASSERT(connected_);
  probe_.reset();
  // A connection just closed (the probe's, a previous run's) may still be in the database on
  // the server's side for a moment, which refuses the drop while it is.
  constexpr int k_attempts = 10;
  for (int attempt = 1;; ++attempt) {
    try {
      server_connection().execute(u"DROP DATABASE " + mss_quote_name(name));
      break;
    } catch (const odb_exception& e) {
      if (e.connection_lost() || attempt == k_attempts) throw;
      TK_LOG(2, "DROP DATABASE refused (%s), trying again", e.message());
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
  }
  for (auto it = databases_.begin(); it != databases_.end(); ++it) {
    if (*it == name) {
      databases_.erase(it);
      TK_LOG(2, "Database has been removed from the list");
      return;
    }
  }
  TK_LOG(2, "Database was not found in the list");
}

std::u16string mss_engine::get_safe_tname(std::u16string_view name) const {
  return mss_get_safe_tname(name, this);
}

std::unique_ptr<mss_dmp_database> mss_engine::create_dump(const std::u16string& file_name,
                                                          const mss_dump_options& options) const {
  TK_WLOG(2, "sql_engine::create_dump (%s)", file_name);
  TK_WLOG(3, "Creating MS SQL dump file '%s'", file_name);
  return std::make_unique<mss_dmp_database>(file_name, options);
}
