// Reading freetds.conf the way the client library does (see the header).
#include "odb/odb_conf_entry.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

// Keys are compared in lower case with runs of blanks as one space, as the library does.
std::string key_of(std::string_view text) {
  std::string key;
  for (const char c : trimmed(text)) {
    if (c == ' ' || c == '\t') {
      if (!key.empty() && key.back() != ' ') key += ' ';
    } else {
      key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return key;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::optional<std::string> read_text(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::optional<std::string> odb_conf_entry::find(std::string_view key) const {
  std::optional<std::string> value;
  for (const auto& [k, v] : settings) {
    if (k == key) value = v;
  }
  return value;
}

std::optional<odb_conf_entry> odb_conf_entry_in(std::string_view text, std::string_view name,
                                                const std::string& file) {
  std::vector<std::pair<std::string, std::string>> global;
  std::vector<std::pair<std::string, std::string>> own;
  bool found = false;
  enum { other, in_global, in_entry } section = other;
  std::istringstream lines{std::string(text)};
  for (std::string line; std::getline(lines, line);) {
    // Comments run from ';' or '#' to the end of the line.
    line = trimmed(line.substr(0, line.find_first_of(";#")));
    if (line.empty()) continue;
    if (line.front() == '[') {
      const std::string section_name = trimmed(line.substr(1, line.find(']') - 1));
      if (same_name(section_name, "global")) {
        section = in_global;
      } else if (same_name(section_name, name)) {
        section = in_entry;
        found = true;
      } else {
        section = other;
      }
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos || section == other) continue;
    auto& target = section == in_global ? global : own;
    target.emplace_back(key_of(line.substr(0, eq)), trimmed(line.substr(eq + 1)));
  }
  if (!found) return std::nullopt;
  odb_conf_entry entry;
  entry.file = file;
  entry.settings = std::move(global);
  entry.settings.insert(entry.settings.end(), own.begin(), own.end());
  return entry;
}

std::optional<odb_conf_entry> odb_find_conf_entry(std::string_view name) {
  if (name.empty()) return std::nullopt;
  std::vector<std::string> files;
  if (const char* env = std::getenv("FREETDSCONF"); env != nullptr && *env != '\0') {
    files.emplace_back(env);
  } else if (const char* old = std::getenv("FREETDS"); old != nullptr && *old != '\0') {
    files.emplace_back(old);
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    files.push_back(std::string(home) + "/.freetds.conf");
  }
  files.emplace_back("/etc/freetds/freetds.conf");
  for (const std::string& file : files) {
    const std::optional<std::string> text = read_text(file);
    if (!text) continue;
    if (auto entry = odb_conf_entry_in(*text, name, file)) return entry;
  }
  return std::nullopt;
}
