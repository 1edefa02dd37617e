#include "tk/tk_path_probe.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "tk/tk_encoding.h"
#include "tk/tk_log.h"
#include "tk/tk_string.h"

bool tk_is_file_exist(const std::string& path, int mode) {
  TK_LOG(1, "tk_is_file_exist(%s)", path);
  const int fd = path.empty()
                     ? -1
                     : ::open(path.c_str(), (mode == tk_access_read_write ? O_RDWR : O_RDONLY) |
                                                O_CLOEXEC | O_NONBLOCK);
  bool ok = false;
  if (fd >= 0) {
    struct stat st {};
    ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    ::close(fd);
  }
  if (!ok) TK_LOG(1, "File not exists!");
  return ok;
}

bool tk_is_file_exist(std::u16string_view path, int mode) {
  return tk_is_file_exist(tk_to_utf8_lossy(path), mode);
}

bool tk_is_path_exist(const std::string& path) {
  TK_LOG(1, "tk_is_path_exist(%s)", path);
  // The same answer as making the folder current and back, without touching the process's
  // current directory.
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

bool tk_is_path_exist(std::u16string_view path) {
  return tk_is_path_exist(tk_to_utf8_lossy(path));
}

std::vector<std::string> tk_entries_nocase(const std::string& path) {
  std::vector<std::string> matches;
  const auto slash = path.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
  const std::string wanted = slash == std::string::npos ? path : path.substr(slash + 1);
  if (wanted.empty()) return matches;

  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
  if (!dir) return matches;
  const std::u16string wanted_wide = tk_from_utf8_lossy(wanted);
  const std::string prefix = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name(entry->d_name);
    if (tk_equal_nocase(tk_from_utf8_lossy(name), wanted_wide))
      matches.push_back(prefix + std::string(name));
  }
  std::sort(matches.begin(), matches.end());
  return matches;
}

std::optional<std::string> tk_resolve_path_nocase(const std::string& path) {
  TK_LOG(1, "tk_resolve_path_nocase(%s)", path);
  if (path.empty()) return std::nullopt;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) return path;
  const std::vector<std::string> matches = tk_entries_nocase(path);
  if (matches.empty()) return std::nullopt;
  // Several spellings of one name: take the first in byte order so the choice never varies.
  TK_LOG(1, "Resolved to %s", matches.front());
  return matches.front();
}

std::optional<std::u16string> tk_resolve_path_nocase(std::u16string_view path) {
  auto resolved = tk_resolve_path_nocase(tk_to_utf8_lossy(path));
  if (!resolved) return std::nullopt;
  return tk_from_utf8_lossy(*resolved);
}
