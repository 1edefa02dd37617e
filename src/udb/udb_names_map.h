#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "udb/udb_revision.h"

// Source-to-destination name translations of one destination database: table names, and
// per destination table its column names. Keys are ordered by exact comparison; lookups walk
// them in key order and compare exactly or ignoring case.
class udb_names_map {
 public:
  using name_map = std::map<std::u16string, std::u16string>;
  using name_pairs = std::vector<std::pair<std::u16string, std::u16string>>;

  // An existing key keeps its first mapping.
  void add_tn_mapping(const std::u16string& source, const std::u16string& destination);
  // Column map (source column -> destination column) of a destination table; an existing
  // table keeps its first map, and within `pairs` the first mapping of a column wins.
  void add_fn_map(const std::u16string& table, const name_pairs& pairs);

  // Destination name of a table, or the name itself when it has none.
  std::u16string get_tn_mapped_name(std::u16string_view name, bool case_sensitive) const;
  // Destination name of a column of `table` (looked up exactly), or the column itself.
  std::u16string get_fn_mapped_name(std::u16string_view table, std::u16string_view column,
                                    bool case_sensitive) const;
  // Source name of a destination column of `table`, or the given name itself.
  std::u16string get_fn_orig_name(std::u16string_view table, std::u16string_view column,
                                  bool case_sensitive) const;

  // `text` with every whole-word source name replaced by its destination name, wrapped in
  // prefix and suffix; the table names first, then each table's columns.
  std::u16string do_global_replace1(std::u16string_view text, std::u16string_view prefix,
                                    std::u16string_view suffix) const;

  const name_map& table_map() const noexcept { return table_map_; }
  const std::map<std::u16string, name_map, std::less<>>& field_map() const noexcept {
    return field_map_;
  }
  // Grows with every change, so cached lookups can tell they are stale.
  std::uint64_t revision() const noexcept { return revision_; }

 private:
  static std::u16string do_global_replace2(std::u16string text, const name_map& map,
                                           std::u16string_view prefix, std::u16string_view suffix);
  const name_map* find_columns(std::u16string_view table) const;

  name_map table_map_;
  std::map<std::u16string, name_map, std::less<>> field_map_;
  std::uint64_t revision_ = udb_next_revision();
};
