#pragma once

#include <chrono>
#include <cstdint>

#include "app/talvex_converter.h"

// One line of standard error that shows how far the current table has come, redrawn at most
// a few times a second and erased when the table ends. Draws nothing unless standard error is
// a terminal, so redirected output stays exactly the program's own lines.
class console_progress : public conversion_progress {
 public:
  console_progress();

  bool active() const { return active_; }
  void records(std::int64_t done, std::int64_t total) override;
  void table_end() override;

 private:
  bool active_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_;
};
