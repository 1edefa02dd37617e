#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "odb/odb_login.h"

struct tds_dblib_dbprocess;
class odb_recordset;

// One open connection to a SQL Server through FreeTDS db-lib: logs in (TDS 7.4 first, down to
// what the server takes), runs statements and batches, and turns every server or client
// library failure into an odb_exception. Text travels as UTF-8 on the client side; the
// library carries it as UTF-16 on the wire. The login waits at most k_login_timeout seconds
// and any reply at most k_query_timeout seconds, so a dead or unreachable server ends in an
// error, never a hang.
class odb_connection {
 public:
  static constexpr int k_login_timeout = 15;
  // Long enough for an index build on a large table; bulk loads wait only for one batch.
  static constexpr int k_query_timeout = 600;

  explicit odb_connection(const odb_login& login);
  ~odb_connection();
  odb_connection(const odb_connection&) = delete;
  odb_connection& operator=(const odb_connection&) = delete;

  // Runs a batch and reads past all its results.
  void execute(std::u16string_view sql);
  void execute_utf8(const std::string& sql);
  // Runs a batch and returns the rows of its first result set.
  std::unique_ptr<odb_recordset> query(std::u16string_view sql);
  // The first column of the first row as text; empty when there is no row or it is NULL.
  std::u16string scalar(std::u16string_view sql);
  // Switches the connection's current database.
  void use(const std::u16string& database);

  // The TDS version in use as 70, 71, 72, 73 or 74.
  int tds_version() const noexcept { return tds_version_; }
  bool is_dead() const;
  const odb_login& login() const noexcept { return login_; }

  // For the layer's own classes: the library handle, and the check that throws the failure
  // the library reported since the last check (a dead connection is also one).
  tds_dblib_dbprocess* handle() const noexcept { return proc_; }
  void throw_pending(const char* what);
  void clear_pending();
  // Sends the text and waits for the first reply; throws on failure.
  void send(std::u16string_view sql);
  void send_utf8(const std::string& sql);
  // Reads past whatever results remain.
  void drain() noexcept;

  struct diagnostics;

 private:
  void open(int version);

  odb_login login_;
  tds_dblib_dbprocess* proc_ = nullptr;
  std::unique_ptr<diagnostics> diag_;
  int tds_version_ = 0;
};

// Whether the client library would find credentials for an integrated login.
bool odb_has_kerberos_ticket();
