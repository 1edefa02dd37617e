#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "tk/tk_error_converter.h"
#include "tk/tk_exception.h"
#include "tk/tk_singleton.h"

// Every failure of a conversion ends here: it becomes one line of text (table, record,
// friendly text for known provider codes), is shown by the front end, and its level decides
// whether the run or the process goes on.
class error_handler : public tk_singleton<error_handler> {
 public:
  error_handler();
  ~error_handler() override = default;

  // Reports one failure; `final` is true for the outermost handler of a run.
  void handle(const tk_exception& e, bool final);

  // The message the user reads, line feeds already replaced by spaces.
  std::string format(const tk_exception& e) const;

  // Reports one failure with `context` (a table, a table and record) in front of its text; the
  // tables loading at once report one at a time, so a question waits for the one before.
  void report(std::string context, const tk_exception& e);

  void set_context(std::string context) { context_ = std::move(context); }
  // "table, record #n", the context of a failed record.
  static std::string record_context(std::u16string_view table, long long record);
  const std::string& context() const { return context_; }

  bool quiet() const { return quiet_; }
  void set_quiet(bool quiet) { quiet_ = quiet; }

 protected:
  // The front end's part: show the text and decide by level. Internal errors (level 2) come
  // here before any text is built.
  virtual void present(const tk_exception& e, const std::string& text, bool final) = 0;
  virtual void internal_error(const tk_exception& e) = 0;

 private:
  std::recursive_mutex reporting_;
  std::string context_;
  bool quiet_ = false;
  tk_error_converter messages_;
};

// The console program's handler: lines on standard output, level 1 and 2 end the process.
class console_error_handler : public error_handler {
 protected:
  void present(const tk_exception& e, const std::string& text, bool final) override;
  void internal_error(const tk_exception& e) override;
};
