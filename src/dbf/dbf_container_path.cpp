// Finding a container's table file on Linux: the stored path was written on Windows, with
// backslashes and in any case, and it must not lead the reader out of the source folder tree.
#include <filesystem>
#include <string_view>
#include <system_error>

#include "dbf/dbf_container.h"
#include "tk/tk_path_probe.h"

namespace {

namespace fs = std::filesystem;

bool inside(const fs::path& p, const fs::path& root) {
  const fs::path rel = p.lexically_relative(root);
  return !rel.empty() && *rel.begin() != "..";
}

// A drive ("C:"), a root ("\x") or a UNC share ("\\server") on the writing system.
bool is_absolute(std::string_view stored) {
  return stored.front() == '/' || (stored.size() >= 2 && stored[1] == ':');
}

}  // namespace

std::optional<std::string> dbf_container_table_path(const dbf_container& container,
                                                    const dbf_dbc_table& table,
                                                    const std::string& root) {
  std::string stored = table.path;
  for (char& ch : stored)
    if (ch == '\\') ch = '/';
  if (stored.empty() || is_absolute(stored)) return std::nullopt;

  std::error_code ec;
  const fs::path top = fs::weakly_canonical(fs::absolute(root), ec);
  if (ec) return std::nullopt;
  const fs::path folder =
      fs::weakly_canonical(fs::absolute(fs::path(container.path).parent_path()), ec);
  if (ec || !inside(folder, top)) return std::nullopt;

  // Components below the root, resolved one by one; ".." goes back lexically, as on Windows.
  std::vector<std::string> below;
  for (const fs::path& part : folder.lexically_relative(top))
    if (part != ".") below.push_back(part.string());
  std::size_t at = 0;
  while (at <= stored.size()) {
    const std::size_t slash = std::min(stored.find('/', at), stored.size());
    const std::string part = stored.substr(at, slash - at);
    at = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (below.empty()) return std::nullopt;
      below.pop_back();
      continue;
    }
    fs::path here = top;
    for (const std::string& b : below) here /= b;
    const std::optional<std::string> real = tk_resolve_path_nocase((here / part).string());
    if (!real) return std::nullopt;
    below.push_back(fs::path(*real).filename().string());
  }

  fs::path found = top;
  for (const std::string& b : below) found /= b;
  if (!fs::is_regular_file(found, ec)) return std::nullopt;
  // A symbolic link on the way may still point out of the tree.
  const fs::path real = fs::canonical(found, ec);
  if (ec || !inside(real, top)) return std::nullopt;
  return found.string();
}
