#include "udb/udb_index.h"

#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

bool udb_index::starts_with_fields(const std::vector<std::u16string>& list) const {
  TK_WLOG(1, "udb_index(%s)::starts_with_fields", name);
  if (list.size() > fields.size()) return false;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!udb_names_equal_nocase(fields[i], list[i])) {
      TK_WLOG(1, "Field '%s' not found", list[i]);
      return false;
    }
  }
  TK_LOG(1, "starts_with_fields returns true");
  return true;
}
