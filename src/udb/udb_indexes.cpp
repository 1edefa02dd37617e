#include "udb/udb_indexes.h"

#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

int udb_indexes::get_index_pos(std::u16string_view name) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (udb_names_equal_nocase(items_[i].name, name)) return static_cast<int>(i);
  return -1;
}

void udb_indexes::push_back(const udb_index& index) {
  TK_WLOG(2, "udb_indexes::push_back(%s)", index.name);
  if (!find2(index.name)) {
    TK_LOG(2, "Index does not exist, add it");
    items_.push_back(index);
    return;
  }
  udb_index& existing = items_[static_cast<std::size_t>(get_index_pos(index.name))];
  if (existing.b_primary) {
    TK_LOG(2, "Primary key with the same name exists, skip it.");
  } else if (index.b_primary) {
    TK_LOG(2, "Upgrade existing index to primary key.");
    existing = index;
  } else if (existing.b_unique) {
    TK_LOG(2, "Unique index with the same name exists, skip it.");
  } else if (index.b_unique) {
    TK_LOG(2, "Set unique attribute for existing index.");
    existing = index;
  }
}

bool udb_indexes::find2(std::u16string_view name) const {
  TK_LOG(1, "udb_indexes::find2");
  return get_index_pos(name) >= 0;
}

bool udb_indexes::is_acceptable_name(std::u16string_view name) const {
  TK_WLOG(1, "udb_indexes::is_acceptable_name(%s)", name);
  return get_index_pos(name) < 0;
}

bool udb_indexes::is_idx_field(std::u16string_view column, bool primary_only) const {
  TK_WLOG(1, "udb_indexes::is_idx_field(%s)", column);
  for (const udb_index& index : items_) {
    if (primary_only && !index.b_primary) continue;
    for (const std::u16string& field : index.fields) {
      if (field == column) {
        TK_LOG(1, "index field");
        return true;
      }
    }
  }
  TK_LOG(1, "non-index field");
  return false;
}

bool udb_indexes::has_index_on_fields(const std::vector<std::u16string>& list) const {
  TK_LOG(1, "udb_indexes::has_index_on_fields");
  for (const udb_index& index : items_)
    if (index.starts_with_fields(list)) return true;
  return false;
}
