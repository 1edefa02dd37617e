#pragma once

// The condition of a filtered index in neutral form: ANDed comparisons of a column with a
// constant, which the writer of a target renders in its own language.

#include <cstdint>
#include <string>
#include <vector>

struct udb_index_filter_term {
  enum class op : std::uint8_t { eq, ne, lt, le, gt, ge, not_empty, is_true, is_false };
  enum class kind : std::uint8_t { number, string, date, datetime, logical, null };

  std::u16string column;
  op relation = op::eq;
  kind value_kind = kind::null;  // unused for not_empty, is_true, is_false
  // number: as written ("-12.50"); string: the text; date "YYYY-MM-DD"; datetime
  // "YYYY-MM-DDThh:mm:ss"; an empty date or datetime text stands for the blank value.
  std::u16string text;
  bool logical = false;

  bool operator==(const udb_index_filter_term&) const = default;
};

struct udb_index_filter {
  std::vector<udb_index_filter_term> terms;  // ANDed; none: the index holds every row

  bool empty() const noexcept { return terms.empty(); }
  bool operator==(const udb_index_filter&) const = default;
};
