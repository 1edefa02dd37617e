// Where tests find a SQL Server to talk to: the server named by QV_MSSQL_SERVER /
// QV_MSSQL_USER / QV_MSSQL_PASSWORD wins, so the same tests run against a real SQL Server;
// otherwise the one the test run started (its env file).
#pragma once

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "odb/odb_login.h"
#include "tk/tk_encoding.h"

#ifndef QV_TEST_SERVER_ENV
#define QV_TEST_SERVER_ENV ""
#endif

inline constexpr const char* odb_no_test_server =
    "no test server (../shared/babelfish absent and QV_MSSQL_SERVER unset)";

inline std::optional<odb_login> odb_test_login() {
  odb_login login;
  if (const char* server = std::getenv("QV_MSSQL_SERVER"); server != nullptr && *server != 0) {
    const char* user = std::getenv("QV_MSSQL_USER");
    const char* password = std::getenv("QV_MSSQL_PASSWORD");
    login.server = tk_from_utf8_lossy(server);
    login.user = tk_from_utf8_lossy(user != nullptr ? user : "");
    login.password = tk_from_utf8_lossy(password != nullptr ? password : "");
    return login;
  }
  std::ifstream env(QV_TEST_SERVER_ENV);
  std::string line;
  while (std::getline(env, line)) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::u16string value = tk_from_utf8_lossy(line.substr(eq + 1));
    if (key == "QV_MSSQL_SERVER") login.server = value;
    if (key == "QV_MSSQL_USER") login.user = value;
    if (key == "QV_MSSQL_PASSWORD") login.password = value;
  }
  if (login.server.empty()) return std::nullopt;
  return login;
}
