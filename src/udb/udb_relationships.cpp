#include "udb/udb_relationships.h"

#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

const udb_relationship* udb_relationships::find(std::u16string_view name) const {
  for (const udb_relationship& relationship : items_)
    if (udb_names_equal_nocase(relationship.name, name)) return &relationship;
  return nullptr;
}

bool udb_relationships::is_acceptable_name(std::u16string_view name) const {
  TK_WLOG(1, "udb_relationships::is_acceptable_name(%s)", name);
  return find(name) == nullptr;
}

const udb_relationship& udb_relationships::get_index(std::u16string_view name) const {
  TK_WLOG(1, "udb_relationships::get_index(%s)", name);
  const udb_relationship* found = find(name);
  TK_ASSERT(found != nullptr);
  return *found;
}
