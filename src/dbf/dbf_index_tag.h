#pragma once

// The index tags an index file next to a DBF table declares: its name, key and FOR expressions
// and ordering flags, read from the file's headers and tag directory only, never from its key
// pages, so that a damaged key page costs nothing.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class dbf_index_kind : std::uint8_t { cdx, idx, mdx, ndx, ntx };

struct dbf_index_tag {
  // Tag name as stored (ASCII, trimmed); for single-tag files the file's base name.
  std::string name;
  std::string key;         // key expression text, trimmed (bytes as stored)
  std::string filter;      // FOR expression, trimmed; empty when none
  bool unique = false;     // xBase UNIQUE (only hides duplicate keys)
  bool candidate = false;  // Visual FoxPro candidate key (enforces uniqueness)
  bool descending = false;
  bool operator==(const dbf_index_tag&) const = default;
};

struct dbf_index_file {
  std::string path;
  dbf_index_kind kind;
  std::vector<dbf_index_tag> tags;
};

// Reads one index file's tags; throws dbf_exception (level 0) naming the file when it is
// damaged (truncated header, directory page past the end, loop in a sibling chain, ...).
dbf_index_file dbf_read_index_file(const std::string& path, dbf_index_kind kind);

// The same from the file's bytes already in memory; `path` names the file in messages and
// gives single-tag files their tag name.
dbf_index_file dbf_read_index_bytes(std::string_view bytes, const std::string& path,
                                    dbf_index_kind kind);

// "cdx", "idx", "mdx", "ndx" or "ntx".
std::string_view dbf_index_extension(dbf_index_kind kind);
