#include "dbf/dbf_paths.h"

#include "tk/tk_file_name.h"
#include "tk/tk_path_probe.h"
#include "tk/tk_string.h"

std::u16string dbf_table_name_of(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u'/');
  std::u16string name =
      tk_to_lower(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
  if (name.ends_with(u".dbf")) name.resize(name.size() - 4);
  return name;
}

std::optional<std::string> dbf_sibling_path(const std::string& table_path, std::string_view ext) {
  tk_file_name name(table_path);
  name.set_extension(ext);
  std::optional<std::string> found = tk_resolve_path_nocase(name.full_path());
  if (found && !tk_is_file_exist(*found)) found.reset();
  return found;
}
