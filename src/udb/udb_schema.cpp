#include "udb/udb_schema.h"

#include <cstdint>

#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

udb_schema::~udb_schema() = default;

udb_schema::udb_schema(const udb_schema& other) : revision_(udb_next_revision()) {
  columns_.reserve(other.size());
  for (const t_ftd& column : other) columns_.push_back(std::make_unique<t_ftd>(column));
}

udb_schema& udb_schema::operator=(const udb_schema& other) {
  if (this != &other) {
    udb_schema copy(other);
    columns_ = std::move(copy.columns_);
    revision_ = udb_next_revision();
  }
  return *this;
}

udb_schema::udb_schema(udb_schema&& other) noexcept
    : columns_(std::move(other.columns_)), revision_(udb_next_revision()) {
  other.columns_.clear();
  other.revision_ = udb_next_revision();
}

udb_schema& udb_schema::operator=(udb_schema&& other) noexcept {
  if (this != &other) {
    columns_ = std::move(other.columns_);
    other.columns_.clear();
    revision_ = udb_next_revision();
    other.revision_ = udb_next_revision();
  }
  return *this;
}

t_ftd& udb_schema::push_back(std::unique_ptr<t_ftd> column) {
  t_ftd& added = columns_.push_back(std::move(column));
  revision_ = udb_next_revision();
  return added;
}

void udb_schema::erase(std::size_t i) {
  columns_.erase(i);
  revision_ = udb_next_revision();
}

void udb_schema::clear() noexcept {
  columns_.clear();
  revision_ = udb_next_revision();
}

std::int32_t udb_schema::find_pos(std::u16string_view name) const noexcept {
  for (std::size_t i = 0; i < columns_.size(); ++i)
    if (udb_names_equal_nocase(columns_[i].name, name)) return static_cast<std::int32_t>(i);
  return -1;
}

bool udb_schema::find_field(std::u16string_view name) const {
  TK_WLOG(1, "udb_schema::find_field(%s)", name);
  TK_LOG(1, "Schema size=%d", static_cast<int>(columns_.size()));
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    const t_ftd& column = columns_[i];
    TK_LOG(1, "Processing field #%d, ptr=%08X", static_cast<int>(i),
           static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(&column)));
    TK_WLOG(1, "Field name: '%s'", column.name);
    if (udb_names_equal_nocase(column.name, name)) return true;
  }
  return false;
}

std::int32_t udb_schema::get_field_idx(std::u16string_view name) const {
  TK_WLOG(1, "udb_schema::get_field_idx(%s)", name);
  return find_pos(name);
}

std::uint32_t udb_schema::get_field_size(std::u16string_view name) const {
  TK_WLOG(1, "udb_schema::get_field_size(%s)", name);
  const std::int32_t pos = find_pos(name);
  if (pos < 0) {
    TK_WLOG(3, "Field '%s' not found", name);
    return 0xFFFFFFFFu;
  }
  return columns_[static_cast<std::size_t>(pos)].size;
}

ole_vartype udb_schema::get_field_type(std::u16string_view name) const {
  TK_WLOG(1, "udb_schema::get_field_type(%s)", name);
  const std::int32_t pos = find_pos(name);
  if (pos < 0) {
    TK_WLOG(2, "Field '%s' not found", name);
    return VT_NULL;
  }
  return columns_[static_cast<std::size_t>(pos)].vartype;
}

t_ftd udb_schema::get_field1(std::u16string_view name) const {
  TK_WLOG(1, "udb_schema::get_field1(%s)", name);
  const std::int32_t pos = find_pos(name);
  if (pos < 0) {
    TK_WLOG(3, "Field '%s' not found", name);
    return t_ftd();
  }
  return columns_[static_cast<std::size_t>(pos)];
}

bool udb_schema::conform_to(const udb_schema& dest) const {
  TK_LOG(1, "udb_schema::conform_to");
  if (size() != dest.size()) {
    TK_LOG(2, "Tables are not conformed: src_size=%d, dest_size=%d", static_cast<int>(size()),
           static_cast<int>(dest.size()));
    return false;
  }
  for (std::size_t i = 0; i < size(); ++i) {
    const t_ftd& src = columns_[i];
    const t_ftd& to = dest[i];
    if (!src.conform_to(to)) {
      TK_LOG(2, "Column #%d doesn't conform (src_vt=%d, src_size=%d, dest_vt=%d, dest_size=%d)",
             static_cast<int>(i + 1), static_cast<int>(src.vartype), static_cast<int>(src.size),
             static_cast<int>(to.vartype), static_cast<int>(to.size));
      return false;
    }
  }
  return true;
}
