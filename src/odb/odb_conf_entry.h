// A server entry of freetds.conf, found where the client library looks for it, so that a
// connection made through a private configuration file keeps what the entry says.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct odb_conf_entry {
  // The file it was found in.
  std::string file;
  // The [global] settings of that file followed by the entry's own, keys in lower case with
  // single spaces, in file order (a later setting of a key wins).
  std::vector<std::pair<std::string, std::string>> settings;

  // The last value of `key`, or nullopt.
  std::optional<std::string> find(std::string_view key) const;
};

// The entry [name] (compared ignoring case) of the first file that holds it, in the client
// library's order: $FREETDSCONF or $FREETDS, ~/.freetds.conf, /etc/freetds/freetds.conf.
std::optional<odb_conf_entry> odb_find_conf_entry(std::string_view name);

// The same, from the text of one file.
std::optional<odb_conf_entry> odb_conf_entry_in(std::string_view text, std::string_view name,
                                                const std::string& file);
