#include "dbf/dbf_index_files.h"

#include <dirent.h>

#include <algorithm>
#include <memory>
#include <string_view>

#include "dbf/dbf_paths.h"
#include "tk/tk_encoding.h"
#include "tk/tk_file_name.h"
#include "tk/tk_path_probe.h"
#include "tk/tk_string.h"

namespace {

// The extension without its dot, lower-cased.
std::u16string extension_of(const std::string& file) {
  std::u16string ext = tk_from_utf8_lossy(tk_file_name(file).ext());
  if (!ext.empty()) ext.erase(0, 1);
  return tk_to_lower(ext);
}

}  // namespace

std::vector<std::pair<std::string, dbf_index_kind>> dbf_index_files_of(
    const std::string& table_path) {
  std::vector<std::pair<std::string, dbf_index_kind>> files;
  for (const dbf_index_kind kind : {dbf_index_kind::cdx, dbf_index_kind::mdx, dbf_index_kind::idx,
                                    dbf_index_kind::ndx, dbf_index_kind::ntx}) {
    if (auto path = dbf_sibling_path(table_path, dbf_index_extension(kind)))
      files.emplace_back(std::move(*path), kind);
  }
  return files;
}

std::vector<std::string> dbf_orphan_index_files(const std::string& folder) {
  std::string prefix = folder.empty() ? std::string("./") : folder;
  if (prefix.back() != '/') prefix += '/';
  std::vector<std::string> names;
  {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(prefix.c_str()), &::closedir);
    if (!dir) return {};
    while (const dirent* entry = ::readdir(dir.get())) names.emplace_back(entry->d_name);
  }
  std::sort(names.begin(), names.end());

  std::vector<std::u16string> table_stems;
  for (const std::string& name : names) {
    if (extension_of(name) == u"dbf" && tk_is_file_exist(prefix + name))
      table_stems.push_back(tk_from_utf8_lossy(tk_file_name(name).name()));
  }
  std::vector<std::string> orphans;
  for (const std::string& name : names) {
    const std::u16string ext = extension_of(name);
    if (ext != u"idx" && ext != u"ndx" && ext != u"ntx") continue;
    if (!tk_is_file_exist(prefix + name)) continue;
    const std::u16string stem = tk_from_utf8_lossy(tk_file_name(name).name());
    const bool owned =
        std::any_of(table_stems.begin(), table_stems.end(),
                    [&](const std::u16string& t) { return tk_equal_nocase(t, stem); });
    if (!owned) orphans.push_back(prefix + name);
  }
  return orphans;
}
