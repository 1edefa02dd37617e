#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A conversion profile: named sections of (key, value) entries, read from and written to a
// small UTF-8 text file in the style of an INI file, lines ending with CR LF.
class udb_profile {
 public:
  using entry = std::pair<std::u16string, std::u16string>;
  using entries = std::vector<entry>;
  using keyed_sections = std::map<std::u16string, entries>;
  using plain_sections = std::map<std::u16string, std::vector<std::u16string>>;

  static constexpr std::u16string_view k_available_queries = u"Available Queries";
  static constexpr std::u16string_view k_selected_tables = u"Selected Tables";
  static constexpr std::u16string_view k_selected_views = u"Selected Views";
  static constexpr std::u16string_view k_generic_settings = u"Generic settings";
  static constexpr std::u16string_view k_server_settings = u"MS SQL Server settings";
  static constexpr std::u16string_view k_extension = u"talvex";

  // The four predefined sections, empty.
  udb_profile();

  // Appends the entry, creating the section when missing.
  void set(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  // The value of the first entry with the key; empty when the section or key is missing.
  std::u16string get(std::u16string_view section, std::u16string_view key) const;

  // The entries of a keyed section, empty when missing.
  const entries& section(std::u16string_view name) const;
  // The lines without "=" that a loaded file held in a section, empty when none.
  const std::vector<std::u16string>& plain_section(std::u16string_view name) const;

  const keyed_sections& sections() const { return sections_; }
  const plain_sections& plains() const { return plains_; }

  // Reads a profile file into this profile. A missing file raises tk_exception "Profile does not
  // exist. ..." (level 1); false when the file cannot be opened or an entry precedes every
  // section line. A UTF-8 byte order mark and LF-only line ends are accepted.
  bool load(const std::string& path);
  bool load(std::u16string_view path);

  // Writes this profile; false when the file cannot be opened for writing.
  // `secret`: the profile holds a password, so only its owner may read the file (mode 0600,
  // an existing file's too).
  bool store(const std::string& path, bool secret = false) const;
  bool store(std::u16string_view path, bool secret = false) const;

 private:
  keyed_sections sections_;
  plain_sections plains_;
};
