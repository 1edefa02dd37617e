// dBase III index reader. Layout: the .NDX anchor page in E. Bachmann's "Xbase File Format
// Description": root page 0-3, page count 4-7, key length 12-13, keys per page 14-15, key type
// 16-17, key record size 18-21, unique flag 23, key expression from 24 to the end of the
// 512-byte page. Page numbers count 512-byte pages. dBase III has neither FOR clauses nor
// descending indexes.
#include "dbf/dbf_ndx_file.h"

namespace {

constexpr std::size_t k_page_size = 512;
constexpr std::size_t k_key_at = 24;

}  // namespace

dbf_index_tag dbf_read_ndx_tag(const dbf_index_source& file) {
  const std::string header = file.read(0, k_page_size, "anchor page");
  if (dbf_index_le16(header, 12) == 0) file.fail("no key length in the anchor page");
  const std::uint64_t root = std::uint64_t{dbf_index_le32(header, 0)} * k_page_size;
  if (root == 0 || !file.holds(root, k_page_size)) file.fail("root page past the end");
  dbf_index_tag tag;
  tag.name = file.base_name();
  tag.key = dbf_index_text(header, k_key_at, k_page_size - k_key_at);
  if (tag.key.empty()) file.fail("no key expression in the anchor page");
  tag.unique = header[23] != 0;
  return tag;
}
