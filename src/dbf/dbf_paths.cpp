#include "dbf/dbf_paths.h"

#include <algorithm>
#include <numeric>
#include <set>

#include "tk/tk_file_name.h"
#include "tk/tk_path_probe.h"
#include "tk/tk_string.h"

namespace {

constexpr std::u16string_view k_table_ext = u".dbf";

std::u16string file_name_of(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u'/');
  return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

std::u16string stem_of(const std::u16string& file) {
  return tk_to_lower(file).ends_with(k_table_ext) ? file.substr(0, file.size() - k_table_ext.size())
                                                  : file;
}

}  // namespace

std::u16string dbf_table_name_of(std::u16string_view path) {
  std::u16string name = tk_to_lower(file_name_of(path));
  if (name.ends_with(k_table_ext)) name.resize(name.size() - k_table_ext.size());
  return name;
}

std::vector<std::u16string> dbf_table_names(const std::vector<std::u16string>& files) {
  std::vector<std::size_t> order(files.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  const auto spelt_lower = [&](std::size_t i) {
    const std::u16string stem = stem_of(file_name_of(files[i]));
    return stem == tk_to_lower(stem);
  };
  std::stable_partition(order.begin(), order.end(), spelt_lower);

  std::vector<std::u16string> names(files.size());
  std::set<std::u16string> used;
  for (const std::size_t i : order) {
    const std::u16string file = file_name_of(files[i]);
    for (const std::u16string& candidate : {dbf_table_name_of(file), stem_of(file), file}) {
      if (used.insert(candidate).second) {
        names[i] = candidate;
        break;
      }
    }
  }
  return names;
}

std::optional<std::string> dbf_sibling_path(const std::string& table_path, std::string_view ext) {
  tk_file_name name(table_path);
  name.set_extension(ext);
  const std::string wanted = name.full_path();
  if (tk_is_file_exist(wanted)) return wanted;

  const std::vector<std::string> candidates = tk_entries_nocase(wanted);
  const std::string& stem = name.name();
  // Only a sibling spelt with another stem can belong to another table.
  const auto owned_elsewhere = [&](const std::string& candidate) {
    const tk_file_name other(candidate);
    if (other.name() == stem) return false;
    tk_file_name table = other;
    table.set_extension("dbf");
    const std::vector<std::string> tables = tk_entries_nocase(table.full_path());
    return std::any_of(tables.begin(), tables.end(), [&](const std::string& t) {
      return tk_file_name(t).name() == other.name();
    });
  };
  std::optional<std::string> found;
  for (const std::string& candidate : candidates) {
    if (!tk_is_file_exist(candidate) || owned_elsewhere(candidate)) continue;
    if (tk_file_name(candidate).name() == stem) return candidate;
    if (!found) found = candidate;
  }
  return found;
}
