// Load names and the rename that publishes a loaded table (see the header).
#include "mss/mss_load_name.h"

#include <cstdint>
#include <cstdio>

#include "mss/mss_names.h"

namespace {

constexpr std::size_t k_max_name = 128;

// FNV-1a over the name's UTF-16 code units: short, stable across runs and machines.
std::uint32_t name_hash(std::u16string_view name) {
  std::uint32_t h = 2166136261u;
  for (const char16_t c : name) {
    h ^= static_cast<std::uint32_t>(c);
    h *= 16777619u;
  }
  return h;
}

}  // namespace

std::u16string mss_load_name(std::u16string_view name) {
  std::u16string out(k_mss_load_prefix);
  if (out.size() + name.size() <= k_max_name) return out.append(name);
  char hash[10];
  std::snprintf(hash, sizeof hash, "~%08x", static_cast<unsigned>(name_hash(name)));
  std::size_t keep = k_max_name - out.size() - 9;
  // A surrogate pair is kept whole or not at all.
  if (keep > 0 && name[keep - 1] >= 0xD800 && name[keep - 1] <= 0xDBFF) --keep;
  out.append(name.substr(0, keep));
  out.append(hash, hash + 9);
  return out;
}

bool mss_is_load_name(std::u16string_view name) {
  return name.substr(0, k_mss_load_prefix.size()) == k_mss_load_prefix;
}

std::u16string mss_publish_statement(std::u16string_view safe_load_name, std::u16string_view name) {
  // The new name is taken as it stands (brackets there would become part of it).
  return u"EXEC sp_rename @objname = " + mss_quote_literal(safe_load_name) + u", @newname = " +
         mss_quote_literal(name) + u", @objtype = N'OBJECT'";
}
