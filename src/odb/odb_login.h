#pragma once

#include <string>

// What a connection needs: the server as the client library names it (host, host:port,
// host\instance, a freetds.conf entry; empty = this machine), the login (an empty user means
// integrated Kerberos login) and the database to start in (empty = the login's default).
struct odb_login {
  std::u16string server;
  std::u16string user;
  std::u16string password;
  std::u16string database;
};

// The password as traces and messages show it.
inline constexpr const char* odb_masked_password = "********";
