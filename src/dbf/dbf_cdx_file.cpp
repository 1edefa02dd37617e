// Compound index reader. Layout: Visual FoxPro help, "Compound Index File Structure (.cdx)" and
// "Compact Index File Structure (.idx)" (header record, interior and exterior node records),
// with D. Kuechler's notes on the CDX header in E. Bachmann's "Xbase File Format Description".
//
// The file's first header (offset 0) is itself a compact index whose keys are the tag names
// and whose record numbers are the offsets of the tags' headers: its root node may be an
// interior node (key, 4-byte big-endian record number, 4-byte big-endian child pointer per
// entry), and its leaves hold packed entries (record number, duplicate count, trailing count,
// bit widths and masks given by the leaf) from the front and the keys' distinct bytes from the
// back. A tag header keeps its options at 14, the ascending/descending word at 502, the FOR
// expression's length at 506 and the key expression's length at 510, both lengths counting the
// closing NUL; the expressions follow at 512, key first, FOR right after it.
#include "dbf/dbf_cdx_file.h"

#include <set>
#include <string_view>

namespace {

constexpr std::size_t k_node_size = 512;
constexpr std::size_t k_header_size = 1024;  // header record and expression pool
constexpr std::uint32_t k_no_node = 0xFFFFFFFF;
constexpr std::size_t k_leaf_entries_at = 24;
constexpr std::size_t k_max_key_length = 240;

constexpr std::uint8_t k_option_unique = 0x01;
// Visual FoxPro marks candidate (and primary) keys so; the Northwind tables' primary key tags
// carry it and no other tag does.
constexpr std::uint8_t k_option_candidate = 0x04;
constexpr std::uint8_t k_option_for = 0x08;
constexpr std::uint8_t k_option_compact = 0x20;

constexpr std::uint16_t k_node_leaf = 0x02;

// Node offsets are whole 512-byte records after the first header.
bool plausible_node(const dbf_index_source& file, std::uint32_t offset) {
  return offset != 0 && offset % k_node_size == 0 && file.holds(offset, k_node_size);
}

// The keys and record numbers of one exterior (leaf) node.
void read_leaf(const dbf_index_source& file, std::string_view node, std::size_t key_length,
               std::vector<std::pair<std::string, std::uint32_t>>& out) {
  const std::size_t count = dbf_index_le16(node, 2);
  const std::uint32_t record_mask = dbf_index_le32(node, 14);
  const unsigned duplicate_mask = static_cast<unsigned char>(node[18]);
  const unsigned trailing_mask = static_cast<unsigned char>(node[19]);
  const unsigned record_bits = static_cast<unsigned char>(node[20]);
  const unsigned duplicate_bits = static_cast<unsigned char>(node[21]);
  const unsigned trailing_bits = static_cast<unsigned char>(node[22]);
  const std::size_t entry_size = static_cast<unsigned char>(node[23]);
  if (entry_size == 0 || entry_size > 8 ||
      record_bits + duplicate_bits + trailing_bits > 8 * entry_size)
    file.fail("bad entry layout in a tag directory leaf");
  if (k_leaf_entries_at + count * entry_size > k_node_size)
    file.fail("too many entries in a tag directory leaf");

  std::size_t keys_from = k_node_size;  // keys are packed from the back of the node
  std::string previous(key_length, ' ');
  for (std::size_t i = 0; i < count; ++i) {
    std::uint64_t packed = 0;
    for (std::size_t b = 0; b < entry_size; ++b) {
      packed |= static_cast<std::uint64_t>(
                    static_cast<unsigned char>(node[k_leaf_entries_at + i * entry_size + b]))
                << (8 * b);
    }
    const auto record = static_cast<std::uint32_t>(packed & record_mask);
    const std::size_t duplicates = (packed >> record_bits) & duplicate_mask;
    const std::size_t trailing = (packed >> (record_bits + duplicate_bits)) & trailing_mask;
    if (duplicates + trailing > key_length) file.fail("bad key counts in a tag directory leaf");
    const std::size_t stored = key_length - duplicates - trailing;
    if (keys_from < k_leaf_entries_at + count * entry_size + stored)
      file.fail("keys overlap entries in a tag directory leaf");
    keys_from -= stored;
    std::string key = previous.substr(0, duplicates);
    key.append(node.substr(keys_from, stored));
    key.append(trailing, ' ');
    out.emplace_back(dbf_index_text(key, 0, key.size()), record);
    previous = std::move(key);
  }
}

}  // namespace

dbf_index_tag dbf_read_compact_tag(const dbf_index_source& file, std::uint64_t offset,
                                   std::string name) {
  const std::string header = file.read(offset, k_header_size, "tag header");
  const auto options = static_cast<std::uint8_t>(header[14]);
  if ((options & k_option_compact) == 0) file.fail("tag " + name + " has no compact header");
  const std::uint32_t root = dbf_index_le32(header, 0);
  if (!file.holds(root, k_node_size)) file.fail("root node of tag " + name + " past the end");

  const std::size_t for_length = dbf_index_le16(header, 506);
  const std::size_t key_length = dbf_index_le16(header, 510);
  const std::string_view pool = std::string_view(header).substr(k_node_size);
  if (key_length == 0 || key_length + for_length > pool.size())
    file.fail("bad expression lengths in the header of tag " + name);

  dbf_index_tag tag;
  tag.name = std::move(name);
  tag.key = dbf_index_text(pool, 0, key_length);
  if (tag.key.empty()) file.fail("tag " + tag.name + " has no key expression");
  if ((options & k_option_for) != 0) tag.filter = dbf_index_text(pool, key_length, for_length);
  tag.unique = (options & k_option_unique) != 0;
  tag.candidate = (options & k_option_candidate) != 0;
  tag.descending = dbf_index_le16(header, 502) != 0;
  return tag;
}

std::vector<dbf_index_tag> dbf_read_cdx_tags(const dbf_index_source& file) {
  const std::string header = file.read(0, k_header_size, "file header");
  const std::size_t key_length = dbf_index_le16(header, 12);
  if (key_length == 0 || key_length > k_max_key_length)
    file.fail("bad tag name length in the file header");

  // Down the leftmost branch to the first leaf; every node is met once or the tree loops.
  std::set<std::uint32_t> seen;
  std::uint32_t offset = dbf_index_le32(header, 0);
  std::string node;
  for (;;) {
    if (!plausible_node(file, offset)) file.fail("tag directory node past the end");
    if (!seen.insert(offset).second) file.fail("loop in the tag directory");
    node = file.read(offset, k_node_size, "tag directory node");
    if ((dbf_index_le16(node, 0) & k_node_leaf) != 0) break;
    const std::size_t count = dbf_index_le16(node, 2);
    const std::size_t entry = key_length + 8;
    if (count == 0 || 12 + count * entry > k_node_size)
      file.fail("bad key count in a tag directory node");
    offset = dbf_index_be32(node, 12 + key_length + 4);
  }

  // Along the leaves, left to right.
  std::vector<std::pair<std::string, std::uint32_t>> entries;
  for (;;) {
    read_leaf(file, node, key_length, entries);
    const std::uint32_t next = dbf_index_le32(node, 8);
    if (next == k_no_node) break;
    if (!plausible_node(file, next)) file.fail("tag directory node past the end");
    if (!seen.insert(next).second) file.fail("loop in the tag directory");
    node = file.read(next, k_node_size, "tag directory node");
    if ((dbf_index_le16(node, 0) & k_node_leaf) == 0)
      file.fail("interior node among the tag directory leaves");
  }

  std::vector<dbf_index_tag> tags;
  tags.reserve(entries.size());
  for (auto& [name, header_offset] : entries) {
    if (name.empty()) file.fail("tag without a name");
    if (header_offset == 0 || header_offset % k_node_size != 0)
      file.fail("bad header offset of tag " + name);
    tags.push_back(dbf_read_compact_tag(file, header_offset, std::move(name)));
  }
  return tags;
}
