// Clipper index reader. Layout: the .NTX header in E. Bachmann's "Xbase File Format
// Description" (1024-byte pages; signature 0-1, version 2-3, root offset 4-7, next free page
// 8-11, item size 12-13, key size 14-15, decimals 16-17, max items 18-19, half page 20-21, key
// expression 22-277, unique flag 278) with the Clipper 5.x additions as Harbour's DBFNTX driver
// reads them: descending flag 280, FOR expression 282-537 present when bit 0x01 of the
// signature is set. Offsets here are byte offsets.
#include "dbf/dbf_ntx_file.h"

namespace {

constexpr std::size_t k_page_size = 1024;
constexpr std::size_t k_key_at = 22;
constexpr std::size_t k_expression_length = 256;
constexpr std::size_t k_unique_at = 278;
constexpr std::size_t k_descending_at = 280;
constexpr std::size_t k_for_at = 282;
constexpr std::uint16_t k_signature_for = 0x0001;

}  // namespace

dbf_index_tag dbf_read_ntx_tag(const dbf_index_source& file) {
  const std::string header = file.read(0, k_page_size, "file header");
  const std::uint16_t signature = dbf_index_le16(header, 0);
  if (dbf_index_le16(header, 14) == 0) file.fail("no key size in the file header");
  const std::uint32_t root = dbf_index_le32(header, 4);
  if (root < k_page_size || !file.holds(root, k_page_size)) file.fail("root page past the end");
  dbf_index_tag tag;
  tag.name = file.base_name();
  tag.key = dbf_index_text(header, k_key_at, k_expression_length);
  if (tag.key.empty()) file.fail("no key expression in the file header");
  if ((signature & k_signature_for) != 0)
    tag.filter = dbf_index_text(header, k_for_at, k_expression_length);
  tag.unique = header[k_unique_at] != 0;
  tag.descending = header[k_descending_at] != 0;
  return tag;
}
