// Multiple index reader. Layout: dBase IV .MDX as given in E. Bachmann's "Xbase File Format
// Description" (file header: entries in the tag table 25, entry length 26, tags in use 28-29,
// tag table from 544; tag table entry: tag header page 0-3, tag name 4-14, key format 15, tag
// threads 16-18, key type 20; tag header: root page 0-3, key format 8 (0x08 descending, 0x40
// unique), key type 9, key length 12-13, unique flag 23), completed from the layout the Xbase64
// library documents for the rest of the tag header: key expression from 24 (220 bytes and a
// NUL), FOR clause flag at 245 and FOR expression at 762. Page numbers count 512-byte pages.
#include "dbf/dbf_mdx_file.h"

namespace {

constexpr std::size_t k_page_size = 512;
constexpr std::size_t k_tag_table_at = 544;
constexpr std::size_t k_max_tags = 47;
constexpr std::size_t k_min_entry_length = 21;
constexpr std::uint8_t k_format_descending = 0x08;
constexpr std::uint8_t k_format_unique = 0x40;
constexpr std::size_t k_key_at = 24;
constexpr std::size_t k_expression_length = 220;
constexpr std::size_t k_has_for_at = 245;
constexpr std::size_t k_for_at = 762;
constexpr std::size_t k_tag_header_size = 1024;

}  // namespace

std::vector<dbf_index_tag> dbf_read_mdx_tags(const dbf_index_source& file) {
  const std::string header = file.read(0, k_tag_table_at, "file header");
  const std::size_t entry_length = static_cast<unsigned char>(header[26]);
  const std::size_t count = dbf_index_le16(header, 28);
  if (entry_length < k_min_entry_length) file.fail("bad tag table entry length");
  if (count > k_max_tags) file.fail("more tags than a tag table holds");
  const std::string table = file.read(k_tag_table_at, count * entry_length, "tag table");

  std::vector<dbf_index_tag> tags;
  tags.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view entry = std::string_view(table).substr(i * entry_length, entry_length);
    dbf_index_tag tag;
    tag.name = dbf_index_text(entry, 4, 11);
    if (tag.name.empty()) file.fail("tag without a name");
    const std::uint64_t at = std::uint64_t{dbf_index_le32(entry, 0)} * k_page_size;
    if (at == 0) file.fail("no header page for tag " + tag.name);
    const std::string first = file.read(at, k_page_size, "header of tag " + tag.name);
    const std::uint64_t root = std::uint64_t{dbf_index_le32(first, 0)} * k_page_size;
    if (root != 0 && !file.holds(root, k_page_size))
      file.fail("root page of tag " + tag.name + " past the end");
    const auto format = static_cast<std::uint8_t>(first[8]);
    tag.key = dbf_index_text(first, k_key_at, k_expression_length);
    if (tag.key.empty()) file.fail("tag " + tag.name + " has no key expression");
    tag.unique = first[23] != 0 || (format & k_format_unique) != 0;
    tag.descending = (format & k_format_descending) != 0;
    if (first[k_has_for_at] != 0) {
      const std::string whole = file.read(at, k_tag_header_size, "header of tag " + tag.name);
      tag.filter = dbf_index_text(whole, k_for_at, k_expression_length);
    }
    tags.push_back(std::move(tag));
  }
  return tags;
}
