#include "dbf/dbf_paths.h"

#include <unicode/ustring.h>

#include "tk/tk_file_name.h"
#include "tk/tk_path_probe.h"
#include "udb/udb_name_compare.h"

std::u16string dbf_lower(std::u16string_view text) {
  std::u16string out(text.size() + 8, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = u_strToLower(out.data(), static_cast<int32_t>(out.size()), text.data(),
                                static_cast<int32_t>(text.size()), "", &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    out.assign(static_cast<std::size_t>(length), u'\0');
    status = U_ZERO_ERROR;
    length = u_strToLower(out.data(), length, text.data(), static_cast<int32_t>(text.size()), "",
                          &status);
  }
  if (U_FAILURE(status)) return std::u16string(text);
  out.resize(static_cast<std::size_t>(length));
  return out;
}

bool dbf_ends_with_nocase(std::u16string_view name, std::u16string_view suffix) {
  return name.size() >= suffix.size() &&
         udb_names_equal_nocase(name.substr(name.size() - suffix.size()), suffix);
}

std::u16string dbf_table_name_of(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u'/');
  std::u16string name =
      dbf_lower(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
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
