#pragma once

#include <memory>
#include <string>

#include "udb/udb_database.h"

class odb_connection;

// A database on the server as the conversion sees it: the universal database interface over
// one connection, which it owns and whose current database it is.
class odb_database : public udb_database {
 public:
  odb_database(std::u16string name, std::unique_ptr<odb_connection> connection, int mode);
  ~odb_database() override;

  // Runs the statement; returns 0. Failures are odb_exceptions.
  int query(const std::u16string& sql) override;
  // True when the statement runs.
  bool test_query(const std::u16string& sql) override;

  odb_connection& connection() noexcept { return *connection_; }
  int mode() const noexcept { return mode_; }

 protected:
  std::unique_ptr<odb_connection> connection_;
  int mode_;
};
