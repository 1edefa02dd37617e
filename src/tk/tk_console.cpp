#include "tk/tk_console.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace {
std::atomic<bool> g_use_stderr{false};
}

std::FILE* tk_console_stream() noexcept {
  return g_use_stderr.load(std::memory_order_relaxed) ? stderr : stdout;
}

void tk_console_use_stderr() noexcept {
  std::fflush(stdout);
  g_use_stderr.store(true, std::memory_order_relaxed);
}

bool tk_is_standard_output(const std::string& path) noexcept {
  if (path == "-") return true;
  struct stat named {};
  struct stat out {};
  return ::stat(path.c_str(), &named) == 0 && ::fstat(STDOUT_FILENO, &out) == 0 &&
         named.st_dev == out.st_dev && named.st_ino == out.st_ino;
}
