#pragma once

#include <exception>
#include <string>
#include <string_view>

// Levels: 0 = the failed operation is abandoned and the run goes on, 1 = the run ends,
// 2 = internal error.
class tk_exception : public std::exception {
 public:
  explicit tk_exception(int level = 0);
  tk_exception(std::string_view message, int level);
  tk_exception(std::u16string_view message, int level);

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& message() const noexcept { return message_; }
  int code() const noexcept { return code_; }
  int level() const noexcept { return level_; }
  // The failure takes the rest of the current table with it (a lost connection), even where it
  // arose while one record was written.
  virtual bool ends_table() const noexcept { return false; }

 protected:
  void set_message(std::string message);
  void set_code(int code) noexcept { code_ = code; }

 private:
  std::string message_;
  int code_ = 0;
  int level_ = 0;
};

// Carries the last system error (errno) and its text after the given prefix.
class tk_exception_ex : public tk_exception {
 public:
  explicit tk_exception_ex(std::string_view prefix, int level = 1);
  tk_exception_ex(std::string_view prefix, int error_code, int level);
};

// Internal inconsistency: the user sees a hexadecimal code instead of a source path.
class tk_mail_assertion : public tk_exception {
 public:
  tk_mail_assertion(std::string_view file, int line);
};

// Ends a conversion without a report (the user stopped it).
class tk_final_exception : public std::exception {
 public:
  const char* what() const noexcept override { return "tk_final_exception"; }
};

#define TK_ASSERT(cond)                                       \
  do {                                                        \
    if (!(cond)) throw tk_mail_assertion(__FILE__, __LINE__); \
  } while (0)
