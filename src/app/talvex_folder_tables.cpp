#include "app/talvex_folder_tables.h"

#include <algorithm>
#include <string_view>

// Text form: each choice is its folder, its number of tables followed by ";", and its tables,
// every folder and table written as its length in UTF-16 units, ":" and the text itself
// ("9:/data/dbf2;6:orders4:item"). Lengths let any character stand in a name, and the
// settings store keeps no U+0000.

namespace {

// "/data/dbf/" is the folder "/data/dbf" is.
std::u16string_view folder_key(std::u16string_view folder) {
  while (folder.size() > 1 && folder.back() == u'/') folder.remove_suffix(1);
  return folder;
}

void put_number(std::u16string& text, std::size_t value, char16_t end) {
  for (const char c : std::to_string(value)) text += static_cast<char16_t>(c);
  text += end;
}

void put_item(std::u16string& text, std::u16string_view item) {
  put_number(text, item.size(), u':');
  text += item;
}

// The decimal number at `at` ended by `end`; false when there is none.
bool get_number(std::u16string_view text, std::size_t& at, char16_t end, std::size_t& value) {
  value = 0;
  const std::size_t start = at;
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9' && at - start < 9; ++at) {
    value = value * 10 + (text[at] - u'0');
  }
  if (at == start || at >= text.size() || text[at] != end) return false;
  ++at;
  return true;
}

// A non-empty item at `at`; false when the text holds none there.
bool get_item(std::u16string_view text, std::size_t& at, std::u16string& item) {
  std::size_t size = 0;
  if (!get_number(text, at, u':', size) || size == 0 || size > text.size() - at) return false;
  item.assign(text.substr(at, size));
  at += size;
  return true;
}

}  // namespace

const std::vector<std::u16string>* talvex_folder_tables::find(const std::u16string& folder) const {
  const std::u16string_view key = folder_key(folder);
  const auto it = std::find_if(choices_.begin(), choices_.end(),
                               [&](const choice& c) { return c.folder == key; });
  return it == choices_.end() ? nullptr : &it->tables;
}

void talvex_folder_tables::remember(const std::u16string& folder,
                                    std::vector<std::u16string> tables) {
  if (folder.empty()) return;
  forget(folder);
  std::erase_if(tables, [](const std::u16string& t) { return t.empty(); });
  choices_.insert(choices_.begin(), choice{std::u16string(folder_key(folder)), std::move(tables)});
  if (choices_.size() > k_kept_folders) choices_.resize(k_kept_folders);
}

void talvex_folder_tables::forget(const std::u16string& folder) {
  const std::u16string_view key = folder_key(folder);
  std::erase_if(choices_, [&](const choice& c) { return c.folder == key; });
}

std::u16string talvex_folder_tables::encode() const {
  std::u16string text;
  for (const choice& c : choices_) {
    put_item(text, c.folder);
    put_number(text, c.tables.size(), u';');
    for (const std::u16string& table : c.tables) put_item(text, table);
  }
  return text;
}

void talvex_folder_tables::decode(const std::u16string& text) {
  choices_.clear();
  std::vector<choice> read;
  for (std::size_t at = 0; at < text.size();) {
    choice c;
    std::size_t count = 0;
    if (!get_item(text, at, c.folder) || !get_number(text, at, u';', count)) return;
    c.tables.resize(std::min(count, text.size()));
    for (std::u16string& table : c.tables) {
      if (!get_item(text, at, table)) return;
    }
    read.push_back(std::move(c));
  }
  if (read.size() > k_kept_folders) read.resize(k_kept_folders);
  choices_ = std::move(read);
}
