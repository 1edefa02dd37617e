#include "udb/udb_names_map.h"

#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

namespace {

// The code point that ends right before `pos`, 0 at the start of the text.
char32_t code_point_before(std::u16string_view text, std::size_t pos) {
  if (pos == 0) return 0;
  const char16_t low = text[pos - 1];
  if (low >= 0xDC00 && low <= 0xDFFF && pos >= 2) {
    const char16_t high = text[pos - 2];
    if (high >= 0xD800 && high <= 0xDBFF)
      return 0x10000 + ((char32_t(high) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
  }
  return low;
}

// The code point that starts at `pos`, 0 at the end of the text.
char32_t code_point_at(std::u16string_view text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  const char16_t high = text[pos];
  if (high >= 0xD800 && high <= 0xDBFF && pos + 1 < text.size()) {
    const char16_t low = text[pos + 1];
    if (low >= 0xDC00 && low <= 0xDFFF)
      return 0x10000 + ((char32_t(high) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
  }
  return high;
}

}  // namespace

void udb_names_map::add_tn_mapping(const std::u16string& source,
                                   const std::u16string& destination) {
  TK_WLOG(2, "udb_names_map::add_tn_mapping(%s,%s)", source, destination);
  if (table_map_.emplace(source, destination).second) revision_ = udb_next_revision();
}

void udb_names_map::add_fn_map(const std::u16string& table, const name_pairs& pairs) {
  TK_WLOG(2, "udb_names_map::add_fn_map(%s)", table);
  if (field_map_.contains(table)) return;
  field_map_.emplace(table, name_map(pairs.begin(), pairs.end()));
  revision_ = udb_next_revision();
}

std::u16string udb_names_map::get_tn_mapped_name(std::u16string_view name,
                                                 bool case_sensitive) const {
  TK_WLOG(1, "udb_names_map::get_tn_mapped_name(%s)", name);
  for (const auto& [source, destination] : table_map_) {
    TK_WLOG(1, "Comparing with (%s,%s)", source, destination);
    if (udb_names_equal(source, name, case_sensitive)) {
      TK_WLOG(1, "Got mapped name: %s", destination);
      return destination;
    }
  }
  return std::u16string(name);
}

const udb_names_map::name_map* udb_names_map::find_columns(std::u16string_view table) const {
  const auto it = field_map_.find(table);
  if (it == field_map_.end()) {
    TK_WLOG(1, "Table '%s' not found", table);
    return nullptr;
  }
  return &it->second;
}

std::u16string udb_names_map::get_fn_mapped_name(std::u16string_view table,
                                                 std::u16string_view column,
                                                 bool case_sensitive) const {
  TK_WLOG(1, "udb_names_map::get_fn_mapped_name(%s,%s)", table, column);
  if (const name_map* columns = find_columns(table)) {
    for (const auto& [source, destination] : *columns) {
      if (udb_names_equal(source, column, case_sensitive)) return destination;
    }
  }
  return std::u16string(column);
}

std::u16string udb_names_map::get_fn_orig_name(std::u16string_view table,
                                               std::u16string_view column,
                                               bool case_sensitive) const {
  TK_WLOG(1, "udb_names_map::get_fn_orig_name(%s,%s)", table, column);
  if (const name_map* columns = find_columns(table)) {
    for (const auto& [source, destination] : *columns) {
      if (udb_names_equal(destination, column, case_sensitive)) {
        TK_WLOG(1, "Got orignal name: %s", source);
        return source;
      }
    }
  }
  return std::u16string(column);
}

std::u16string udb_names_map::do_global_replace1(std::u16string_view text,
                                                 std::u16string_view prefix,
                                                 std::u16string_view suffix) const {
  TK_WLOG(2, "udb_names_map::do_global_replace1(%s)", text);
  std::u16string result = do_global_replace2(std::u16string(text), table_map_, prefix, suffix);
  for (const auto& entry : field_map_)
    result = do_global_replace2(std::move(result), entry.second, prefix, suffix);
  return result;
}

std::u16string udb_names_map::do_global_replace2(std::u16string text, const name_map& map,
                                                 std::u16string_view prefix,
                                                 std::u16string_view suffix) {
  TK_WLOG(2, "udb_names_map::do_global_replace2(%s)", text);
  for (const auto& [from, to] : map) {
    std::u16string replacement;
    if (!prefix.empty() && !to.starts_with(prefix)) replacement = prefix;
    replacement += to;
    if (!suffix.empty() && !to.ends_with(suffix)) replacement += suffix;
    TK_WLOG(1, "Testing pair ('%s','%s')", from, replacement);
    // An empty source name matches everywhere and would never advance.
    if (from.empty()) continue;
    std::size_t pos = text.find(from);
    while (pos != std::u16string::npos) {
      TK_WLOG(1, "'%s' was found at pos=%d", from, static_cast<int>(pos));
      const std::size_t end = pos + from.size();
      if (udb_is_alnum(code_point_before(text, pos)) || udb_is_alnum(code_point_at(text, end))) {
        pos = text.find(from, end);
      } else {
        text.replace(pos, from.size(), replacement);
        pos = text.find(from, pos + replacement.size());
      }
    }
  }
  return text;
}
