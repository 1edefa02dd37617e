#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mss/mss_dump_options.h"
#include "mss/mss_server_facts.h"
#include "odb/odb_login.h"
#include "tk/tk_exception.h"
#include "tk/tk_singleton.h"

class mss_dmp_database;
class mss_database;
class odb_connection;

// The ways a server database is opened: just created, existing, existing with its tables
// appended to (merge).
enum mss_open_mode : int {
  mss_open_created = 2,
  mss_open_existing = 4,
  mss_open_append = 8,
};

// How rows reach the server: bulk copy where the server takes it, else INSERT statements. The
// environment variable QUORVIK_LOAD_PATH ("bulk" or "insert") overrides the choice, so that
// tests can check both paths on one server.
enum class mss_load_path { automatic, bulk, insert };

// The login may see the database but not open it.
class mss_no_perm_exception : public tk_exception {
 public:
  mss_no_perm_exception(std::u16string_view user, std::u16string_view database);
};

// The process-wide stand-in for one SQL Server instance. It connects (every operation opens a
// fresh connection on the stored login), learns the version, lists, probes, creates, opens and
// drops databases, and builds the script writer. It holds what the dialect reads about the
// server (version, connection, Unicode flag, login). Until it connects it reports version 0,
// not connected, Unicode on.
class mss_engine : public mss_server_facts, public tk_singleton<mss_engine> {
 public:
  using tk_singleton<mss_engine>::instance;
  using tk_singleton<mss_engine>::instance_ptr;

  explicit mss_engine(bool no_com_initialization = true);
  ~mss_engine() override;

  int version() const override { return version_; }
  bool is_initialized() const override { return connected_; }
  bool unicode() const override { return unicode_; }
  bool is_view_owned() const override { return is_view_owned_; }
  const std::u16string& user() const override { return user_; }
  bool as_dbo() const override { return as_dbo_; }
  bool fast_load() const noexcept { return fast_load_; }

  void set_unicode(bool on) noexcept { unicode_ = on; }
  void set_as_dbo(bool on) noexcept { as_dbo_ = on; }
  // How every later connection is encrypted.
  const odb_tls& tls() const noexcept { return tls_; }
  void set_tls(odb_tls tls) { tls_ = std::move(tls); }

  // Integrated (Kerberos) login.
  void connect(const std::u16string& server, bool fast_load);
  // SQL Server authentication.
  void connect(const std::u16string& server, const std::u16string& user,
               const std::u16string& password, bool fast_load);
  // A new connection on the stored login, in the database (empty: the login's default).
  std::unique_ptr<odb_connection> open_connection(const std::u16string& database) const;
  // Logs in once more and out again: the wizard's connection test.
  void test_connection() const;

  const std::vector<std::u16string>& get_contents() const;
  // Whether the database exists (names compared ignoring case); raises
  // mss_no_perm_exception when it exists but the login cannot open it.
  bool is_db_exist(const std::u16string& name);
  std::unique_ptr<mss_database> create_db(const std::u16string& name);
  std::unique_ptr<mss_database> open_db(const std::u16string& name, int mode);
  void delete_db(const std::u16string& name);

  bool is_babelfish() const noexcept { return babelfish_; }
  const std::u16string& server() const noexcept { return server_; }
  const std::u16string& password() const noexcept { return password_; }
  bool integrated() const noexcept { return integrated_; }
  // Rows go through bulk copy for this connection.
  bool use_bulk_copy() const noexcept { return fast_load_; }

  // The owner-qualified, bracketed table name.
  std::u16string get_safe_tname(std::u16string_view name) const;

  // The script writer on the file; no connection is needed. Raises a level-1
  // tk_exception_ex when the file cannot be created.
  std::unique_ptr<mss_dmp_database> create_dump(const std::u16string& file_name,
                                                const mss_dump_options& options) const;

 protected:
  void connect(const std::u16string& server, const std::u16string& user,
               const std::u16string& password, bool integrated, bool fast_load);
  void read_version(odb_connection& connection);
  void trace_encryption(odb_connection& connection) const;
  void init_db_contents(odb_connection& connection);
  static mss_load_path load_path_override();
  // The connection made by connect, in the login's default database, made again when lost.
  odb_connection& server_connection();

  std::unique_ptr<odb_connection> server_connection_;
  // The last connection is_db_exist opened into a database, kept for open_db.
  std::unique_ptr<odb_connection> probe_;
  std::vector<std::u16string> databases_;
  bool babelfish_ = false;
  int version_ = 0;
  std::u16string server_;
  std::u16string user_;
  std::u16string password_;
  bool connected_ = false;
  bool fast_load_ = true;
  bool integrated_ = false;
  bool unicode_ = true;
  bool as_dbo_ = false;
  bool is_view_owned_ = true;
  odb_tls tls_;
};
