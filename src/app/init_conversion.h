#pragma once

// Frames one conversion run: start and end lines in the trace log, and the finish flag, which
// is 0 while the run goes on and 1 after it ended, however it ended.
class init_conversion {
 public:
  explicit init_conversion(bool& finish_flag);
  ~init_conversion();
  init_conversion(const init_conversion&) = delete;
  init_conversion& operator=(const init_conversion&) = delete;

 private:
  bool& finish_flag_;
};
