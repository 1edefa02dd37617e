#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "udb/udb_index.h"

// A table's indexes in the order added. Adding an index whose name is taken (ignoring case)
// merges the two: a primary key wins over a unique index, which wins over a plain one.
class udb_indexes {
 public:
  using const_iterator = std::vector<udb_index>::const_iterator;

  void push_back(const udb_index& index);
  // An index of that name exists (case ignored).
  bool find2(std::u16string_view name) const;
  // No index of that name exists yet (case ignored).
  bool is_acceptable_name(std::u16string_view name) const;
  // The column is a key column of some index (of some primary key when primary_only);
  // column names compare exactly.
  bool is_idx_field(std::u16string_view column, bool primary_only) const;
  // Some index starts with the given columns.
  bool has_index_on_fields(const std::vector<std::u16string>& list) const;

  // Position of the index of that name (case ignored), -1 when absent.
  int get_index_pos(std::u16string_view name) const;

  std::size_t size() const noexcept { return items_.size(); }
  bool empty() const noexcept { return items_.empty(); }
  const udb_index& operator[](std::size_t i) const { return items_.at(i); }
  udb_index& operator[](std::size_t i) { return items_.at(i); }
  const_iterator begin() const noexcept { return items_.begin(); }
  const_iterator end() const noexcept { return items_.end(); }
  void clear() noexcept { items_.clear(); }

  bool operator==(const udb_indexes&) const = default;

 private:
  std::vector<udb_index> items_;
};
