#pragma once

// The tables a user last chose in each source folder, so that the wizard offers the same
// choice when that folder comes back in a later run. Kept in the settings store as one text.

#include <cstddef>
#include <string>
#include <vector>

class talvex_folder_tables {
 public:
  // At most this many folders are kept; the one chosen longest ago goes first.
  static constexpr std::size_t k_kept_folders = 20;

  // The tables chosen in `folder`, or null when none was remembered for it (an empty list is
  // a remembered choice of no table).
  const std::vector<std::u16string>* find(const std::u16string& folder) const;
  void remember(const std::u16string& folder, std::vector<std::u16string> tables);
  void forget(const std::u16string& folder);

  // The settings store's text for these choices, and back; a text that does not parse leaves
  // nothing remembered.
  std::u16string encode() const;
  void decode(const std::u16string& text);

 private:
  struct choice {
    std::u16string folder;
    std::vector<std::u16string> tables;
  };
  std::vector<choice> choices_;  // most recent first
};
