#pragma once

#include <string>
#include <vector>

#include "udb/udb_index_filter.h"

// One index of a table: its name, kind, key columns in key order, their direction and the
// rows it holds.
class udb_index {
 public:
  udb_index() = default;
  udb_index(std::u16string name, bool b_unique, bool b_primary, std::vector<std::u16string> fields)
      : name(std::move(name)),
        b_unique(b_unique),
        b_primary(b_primary),
        fields(std::move(fields)) {}

  // Whether the key columns begin with `list` (names compared ignoring case); an empty list
  // gives true.
  bool starts_with_fields(const std::vector<std::u16string>& list) const;

  bool operator==(const udb_index&) const = default;

  std::u16string name;
  bool b_unique = false;
  bool b_primary = false;
  std::vector<std::u16string> fields;
  bool descending = false;  // every key column in descending order
  udb_index_filter filter;  // empty: every row
};
