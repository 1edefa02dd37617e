// Direct runs of quorvik in end-to-end tests: the program into the test server with a load
// path forced, and the database it created dropped afterwards whatever happened.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/cli_run.h"
#include "odb/odb_connection.h"
#include "odb/odb_exception.h"
#include "odb/odb_login.h"
#include "tk/tk_encoding.h"

// Drops the database the program under test created, whatever happened.
class dropped_database {
 public:
  dropped_database(const odb_login& login, std::u16string name)
      : login_(login), name_(std::move(name)) {
    login_.database.clear();
  }
  ~dropped_database() {
    try {
      odb_connection(login_).execute(u"IF DB_ID(N'" + name_ + u"') IS NOT NULL DROP DATABASE [" +
                                     name_ + u"]");
    } catch (const odb_exception& e) {
      ADD_FAILURE() << "cannot drop " << tk_to_utf8_lossy(name_) << ": " << e.what();
    }
  }
  dropped_database(const dropped_database&) = delete;
  dropped_database& operator=(const dropped_database&) = delete;

 private:
  odb_login login_;
  std::u16string name_;
};

// Runs quorvik into the server with the load path forced.
inline cli_result quorvik_direct(const odb_login& login, const std::vector<std::string>& args,
                                 const char* load_path) {
  ::setenv("QUORVIK_LOAD_PATH", load_path, 1);
  std::vector<std::string> all = args;
  all.push_back("--mssqlh=" + tk_to_utf8_lossy(login.server));
  all.push_back("--mssqlu=" + tk_to_utf8_lossy(login.user));
  all.push_back("--mssqlp=" + tk_to_utf8_lossy(login.password));
  cli_result result = quorvik(all);
  ::unsetenv("QUORVIK_LOAD_PATH");
  return result;
}
