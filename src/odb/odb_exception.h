#pragma once

#include <string>
#include <string_view>

#include "tk/tk_exception.h"

// A failure of the server or of the TDS client library. It carries what the server said
// (message number, severity, state) in its text and as numbers, so callers can tell a missing
// table or a broken constraint from other failures. Level 0: the operation is abandoned.
class odb_exception : public tk_exception {
 public:
  // A server message: "Msg <number>, Level <severity>, State <state>: <text>".
  odb_exception(std::string_view text, int number, int severity, int state);
  // The layer's own errors: code and number 0.
  explicit odb_exception(std::u16string_view message);
  explicit odb_exception(std::string_view message);

  // SQL Server's message number (or the client library's error number), 0 for own errors.
  int number() const noexcept { return number_; }
  int severity() const noexcept { return severity_; }
  int state() const noexcept { return state_; }
  // The connection is gone: the server or the network closed it, or it timed out.
  bool connection_lost() const noexcept { return connection_lost_; }
  bool ends_table() const noexcept override { return connection_lost_; }
  void set_connection_lost() noexcept { connection_lost_ = true; }

  // Message numbers callers test.
  static constexpr int k_invalid_object = 208;
  static constexpr int k_constraint_conflict = 547;
  static constexpr int k_duplicate_key = 2627;
  static constexpr int k_duplicate_index_key = 2601;
  static constexpr int k_login_failed = 18456;

  std::u16string source;

 private:
  int number_ = 0;
  int severity_ = 0;
  int state_ = 0;
  bool connection_lost_ = false;
};
