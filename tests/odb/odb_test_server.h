// Where tests find a SQL Server to talk to, and a scratch database on it per test. The
// server named by QV_MSSQL_SERVER / QV_MSSQL_USER / QV_MSSQL_PASSWORD wins, so the same tests
// run against a real SQL Server; otherwise the one the test run started (its env file).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "odb/odb_connection.h"
#include "odb/odb_exception.h"
#include "odb/odb_login.h"
#include "odb/odb_test_login.h"
#include "tk/tk_encoding.h"

// In a test body: declares `const odb_login& name`, or skips the test when there is no server.
#define ODB_TEST_LOGIN_OR_SKIP(name)                              \
  const std::optional<odb_login> name##_found = odb_test_login(); \
  if (!name##_found) GTEST_SKIP() << odb_no_test_server;          \
  const odb_login& name = *name##_found

// A database of its own for one test, created empty and dropped with everything in it at the
// end, so tests running side by side on one server never see each other's tables.
class odb_test_database {
 public:
  explicit odb_test_database(const odb_login& server) : login_(server) {
    static std::atomic<int> counter{0};
    name_ = u"qvt_" + tk_from_utf8_lossy(std::to_string(::getpid())) + u"_" +
            tk_from_utf8_lossy(std::to_string(counter++));
    login_.database.clear();
    admin_ = std::make_unique<odb_connection>(login_);
    admin_->execute(u"CREATE DATABASE [" + name_ + u"]");
    login_.database = name_;
  }
  ~odb_test_database() {
    // A session closed a moment ago may still hold the database on the server side for a
    // little while, so the drop is retried before open sessions are thrown out.
    std::string first;
    for (int attempt = 0; attempt < 50; ++attempt) {
      try {
        admin_->execute(u"DROP DATABASE [" + name_ + u"]");
        return;
      } catch (const odb_exception& e) {
        if (first.empty()) first = e.what();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    try {
      admin_->execute(u"ALTER DATABASE [" + name_ + u"] SET SINGLE_USER WITH ROLLBACK IMMEDIATE");
      admin_->execute(u"DROP DATABASE [" + name_ + u"]");
    } catch (const odb_exception& e) {
      ADD_FAILURE() << "cannot drop test database: " << first << " / " << e.what();
    }
  }
  odb_test_database(const odb_test_database&) = delete;
  odb_test_database& operator=(const odb_test_database&) = delete;

  const std::u16string& name() const { return name_; }
  // The server's login with this database as the one to start in.
  const odb_login& login() const { return login_; }
  std::unique_ptr<odb_connection> connect() const {
    return std::make_unique<odb_connection>(login_);
  }

 private:
  odb_login login_;
  std::u16string name_;
  std::unique_ptr<odb_connection> admin_;
};
