// Where tests find a SQL Server to talk to: the server named by QV_MSSQL_SERVER /
// QV_MSSQL_USER / QV_MSSQL_PASSWORD wins, so the same tests run against a real SQL Server;
// otherwise the one the test run started (its env file). QV_MSSQL_ENCRYPT (mandatory or
// optional), QV_MSSQL_CA_FILE and QV_MSSQL_TRUST_SERVER_CERT (1) say how it is encrypted.
#pragma once

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "odb/odb_login.h"
#include "tk/tk_encoding.h"

#ifndef QV_TEST_SERVER_ENV
#define QV_TEST_SERVER_ENV ""
#endif

inline constexpr const char* odb_no_test_server =
    "no test server (../shared/babelfish absent and QV_MSSQL_SERVER unset)";

// One QV_MSSQL_* setting into the login; false when `key` is none of them.
inline bool odb_test_setting(odb_login& login, const std::string& key, const std::string& value) {
  if (key == "QV_MSSQL_SERVER") {
    login.server = tk_from_utf8_lossy(value);
  } else if (key == "QV_MSSQL_USER") {
    login.user = tk_from_utf8_lossy(value);
  } else if (key == "QV_MSSQL_PASSWORD") {
    login.password = tk_from_utf8_lossy(value);
  } else if (key == "QV_MSSQL_ENCRYPT") {
    login.tls.encryption =
        value == "optional" ? odb_encryption::optional : odb_encryption::mandatory;
  } else if (key == "QV_MSSQL_CA_FILE") {
    login.tls.ca_file = value;
  } else if (key == "QV_MSSQL_TRUST_SERVER_CERT") {
    login.tls.trust_server_cert = value == "1";
  } else {
    return false;
  }
  return true;
}

// The login an env file (KEY=VALUE lines) names, or nullopt.
inline std::optional<odb_login> odb_login_of_env_file(const std::string& path) {
  odb_login login;
  std::ifstream env(path);
  std::string line;
  while (std::getline(env, line)) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    odb_test_setting(login, line.substr(0, eq), line.substr(eq + 1));
  }
  if (login.server.empty()) return std::nullopt;
  return login;
}

inline std::optional<odb_login> odb_test_login() {
  if (const char* server = std::getenv("QV_MSSQL_SERVER"); server != nullptr && *server != 0) {
    odb_login login;
    for (const char* key : {"QV_MSSQL_SERVER", "QV_MSSQL_USER", "QV_MSSQL_PASSWORD",
                            "QV_MSSQL_ENCRYPT", "QV_MSSQL_CA_FILE", "QV_MSSQL_TRUST_SERVER_CERT"}) {
      if (const char* value = std::getenv(key)) odb_test_setting(login, key, value);
    }
    return login;
  }
  return odb_login_of_env_file(QV_TEST_SERVER_ENV);
}

// The program's options for the login's encryption.
inline std::vector<std::string> odb_test_tls_args(const odb_login& login) {
  std::vector<std::string> args;
  if (login.tls.encryption == odb_encryption::optional) args.emplace_back("--encrypt=optional");
  if (!login.tls.ca_file.empty()) args.push_back("--ca_file=" + login.tls.ca_file);
  if (login.tls.trust_server_cert) args.emplace_back("--trust_server_cert");
  return args;
}
