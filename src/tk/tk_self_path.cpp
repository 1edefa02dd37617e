#include "tk/tk_self_path.h"

#include <unistd.h>

#include <climits>

std::string tk_self_path() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}
