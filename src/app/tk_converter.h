#pragma once

#include <string>

#include "tk/tk_thread_functor.h"

// The settings every conversion has: source, destination, log file, console silence, and the
// run's finish flag.
class tk_converter : public tk_thread_functor {
 public:
  tk_converter() = default;

  virtual void set_silent(bool on) { silent = on; }

  // Validates the path and points the trace log at it. Refusals (tk_exception, level 1): the path
  // names a folder, an existing file that cannot be written, or lies in a missing folder. An
  // empty path only stores the name. Without a logger nothing happens.
  void set_logfile(const std::string& path);
  const std::string& logfile() const { return logfile_; }

  bool finished = false;
  bool silent = false;
  std::u16string src;   // folder of DBF tables
  std::u16string dest;  // target database name, or dump file path

 private:
  std::string logfile_;
};
