#include "udb/udb_record.h"

#include <atomic>

#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

udb_record::~udb_record() = default;

std::uint64_t udb_record::next_layout_id() noexcept {
  static std::atomic<std::uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

bool udb_record::find_field(std::u16string_view name) const {
  TK_WLOG(1, "udb_record::find_field(%s)", name);
  for (const udb_field& field : fields_) {
    TK_WLOG(1, "Processing %s", field.name);
    if (udb_names_equal_nocase(field.name, name)) return true;
  }
  return false;
}

const udb_field& udb_record::get_field(std::u16string_view name) const {
  const std::int32_t pos = get_field_idx(name);
  if (pos >= 0) return fields_[static_cast<std::size_t>(pos)];
  // Shared and immutable: the answer for every absent name.
  static const udb_field empty_field;
  return empty_field;
}

std::int32_t udb_record::get_field_idx(std::u16string_view name) const noexcept {
  for (std::size_t i = 0; i < fields_.size(); ++i)
    if (udb_names_equal_nocase(fields_[i].name, name)) return static_cast<std::int32_t>(i);
  return -1;
}
