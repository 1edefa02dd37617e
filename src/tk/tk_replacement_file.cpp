#include "tk/tk_replacement_file.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "tk/tk_exception.h"
#include "tk/tk_log.h"

namespace {

// The temporary file of the replacement in progress, where a signal handler can reach it
// without allocating. One at a time: a run writes one script.
char g_pending[PATH_MAX];
std::atomic<bool> g_has_pending{false};
std::once_flag g_exit_hook;

void set_pending(const std::string& path) {
  if (path.size() >= sizeof g_pending) return;
  g_has_pending.store(false);
  std::memcpy(g_pending, path.c_str(), path.size() + 1);
  g_has_pending.store(true);
  // exit() after a run-level failure skips the destructors of the stack.
  std::call_once(g_exit_hook, [] { std::atexit(tk_replacement_file::remove_pending); });
}

mode_t current_umask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

tk_replacement_file::tk_replacement_file(const std::string& path, const std::string& failure_prefix)
    : destination_(path), failure_prefix_(failure_prefix) {
  struct stat old {};
  const bool exists = ::stat(path.c_str(), &old) == 0;
  struct stat link {};
  if (exists && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    // The link stays; the file it names is replaced.
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) destination_ = resolved;
  }
  const std::size_t slash = destination_.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : destination_.substr(0, slash + 1);
  const std::string base =
      slash == std::string::npos ? destination_ : destination_.substr(slash + 1);
  temporary_ = folder + "." + base + ".XXXXXX";
  fd_ = ::mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd_ < 0) throw tk_exception_ex(failure_prefix_, errno, 1);
  pending_ = true;
  set_pending(temporary_);
  const mode_t mode = exists ? old.st_mode & 07777 : 0666 & ~current_umask();
  if (::fchmod(fd_, mode) != 0) {
    const int error_code = errno;
    ::close(fd_);
    discard();
    throw tk_exception_ex(failure_prefix_, error_code, 1);
  }
  TK_LOG(1, "tk_replacement_file(%s) via %s", destination_, temporary_);
}

tk_replacement_file::~tk_replacement_file() {
  discard();
}

void tk_replacement_file::commit() {
  if (!pending_) return;
  if (::rename(temporary_.c_str(), destination_.c_str()) != 0) {
    const int error_code = errno;
    discard();
    throw tk_exception_ex(failure_prefix_, error_code, 1);
  }
  pending_ = false;
  g_has_pending.store(false);
}

void tk_replacement_file::discard() noexcept {
  if (!pending_) return;
  pending_ = false;
  g_has_pending.store(false);
  ::unlink(temporary_.c_str());
}

void tk_replacement_file::remove_pending() noexcept {
  if (g_has_pending.exchange(false)) ::unlink(g_pending);
}
