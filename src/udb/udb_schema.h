#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "udb/t_ftd.h"
#include "udb/udb_owning_list.h"
#include "udb/udb_revision.h"

// A table's column descriptors in column order (positions from 0), owned by the schema.
// Name lookups ignore case; the first match in column order wins.
class udb_schema {
 public:
  using iterator = udb_owning_list<t_ftd>::iterator;
  using const_iterator = udb_owning_list<t_ftd>::const_iterator;

  udb_schema() : revision_(udb_next_revision()) {}
  virtual ~udb_schema();
  // Copies every descriptor.
  udb_schema(const udb_schema& other);
  udb_schema& operator=(const udb_schema& other);
  udb_schema(udb_schema&& other) noexcept;
  udb_schema& operator=(udb_schema&& other) noexcept;

  bool find_field(std::u16string_view name) const;
  // Position of the column, -1 when absent.
  std::int32_t get_field_idx(std::u16string_view name) const;
  // Declared size of the column, 0xFFFFFFFF when absent.
  std::uint32_t get_field_size(std::u16string_view name) const;
  // Type code of the column, 1 (VT_NULL) when absent.
  ole_vartype get_field_type(std::u16string_view name) const;
  // A copy of the column's descriptor, the empty descriptor when absent.
  t_ftd get_field1(std::u16string_view name) const;

  // Whether rows of this (source) schema can be stored in `dest`, column by column.
  bool conform_to(const udb_schema& dest) const;

  std::size_t size() const noexcept { return columns_.size(); }
  bool empty() const noexcept { return columns_.empty(); }
  // Out-of-range positions throw std::out_of_range.
  t_ftd& operator[](std::size_t i) { return columns_[i]; }
  const t_ftd& operator[](std::size_t i) const { return columns_[i]; }

  t_ftd& push_back(std::unique_ptr<t_ftd> column);
  t_ftd& push_back(const t_ftd& column) { return push_back(std::make_unique<t_ftd>(column)); }
  void erase(std::size_t i);
  void clear() noexcept;

  iterator begin() noexcept { return columns_.begin(); }
  iterator end() noexcept { return columns_.end(); }
  const_iterator begin() const noexcept { return columns_.begin(); }
  const_iterator end() const noexcept { return columns_.end(); }

  // Grows with every change of the column list, so cached positions can tell they are stale.
  std::uint64_t revision() const noexcept { return revision_; }

 private:
  std::int32_t find_pos(std::u16string_view name) const noexcept;

  udb_owning_list<t_ftd> columns_;
  std::uint64_t revision_;
};
