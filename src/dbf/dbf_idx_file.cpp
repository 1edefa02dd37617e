// Single-tag index reader. Layouts: Visual FoxPro help, "Index File Structure (.idx)" (the
// original FoxBASE/FoxPro header: root 0, free list 4, end of file 8, key length 12, options
// 14, signature 15, key expression 16-235, FOR expression 236-455) and "Compact Index File
// Structure (.idx)" (options with 0x20 set: the compact tag header a compound index uses too).
#include "dbf/dbf_idx_file.h"

#include "dbf/dbf_cdx_file.h"

namespace {

constexpr std::size_t k_header_size = 512;
constexpr std::uint8_t k_option_unique = 0x01;
constexpr std::uint8_t k_option_for = 0x08;
constexpr std::uint8_t k_option_compact = 0x20;

}  // namespace

dbf_index_tag dbf_read_idx_tag(const dbf_index_source& file) {
  const std::string header = file.read(0, k_header_size, "file header");
  const auto options = static_cast<std::uint8_t>(header[14]);
  if ((options & k_option_compact) != 0) return dbf_read_compact_tag(file, 0, file.base_name());

  if (dbf_index_le16(header, 12) == 0) file.fail("no key length in the file header");
  const std::uint32_t root = dbf_index_le32(header, 0);
  if (root < k_header_size || !file.holds(root, k_header_size)) file.fail("root node past the end");
  dbf_index_tag tag;
  tag.name = file.base_name();
  tag.key = dbf_index_text(header, 16, 220);
  if (tag.key.empty()) file.fail("no key expression in the file header");
  if ((options & k_option_for) != 0) tag.filter = dbf_index_text(header, 236, 220);
  tag.unique = (options & k_option_unique) != 0;
  return tag;
}
