#include "cli/console_progress.h"

#include <unistd.h>

#include <cstdio>

namespace {
constexpr auto k_redraw_interval = std::chrono::milliseconds(250);
}

console_progress::console_progress() : active_(::isatty(STDERR_FILENO) == 1) {}

void console_progress::records(std::int64_t done, std::int64_t total) {
  if (!active_ || total <= 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - last_ < k_redraw_interval) return;
  last_ = now;
  drawn_ = true;
  std::fprintf(stderr, "\r%3lld%%", static_cast<long long>(done * 100 / total));
  std::fflush(stderr);
}

void console_progress::table_end() {
  if (!drawn_) return;
  std::fputs("\r    \r", stderr);
  std::fflush(stderr);
  drawn_ = false;
}
