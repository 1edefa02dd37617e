// Reading the backlink after the descriptors of a Visual FoxPro header. Layout: Visual FoxPro
// help, "Table File Structure" (bytes n+2 to n+264 after the 0x0D that ends the descriptors).
#include "dbf/dbf_backlink.h"

#include <algorithm>
#include <cstdint>

#include "dbf/dbf_char_table.h"
#include "dbf/dbf_codepage_table.h"
#include "dbf/dbf_exception.h"
#include "dbf/dbf_header.h"
#include "tk/tk_encoding.h"
#include "tk/tk_huge_file.h"
#include "tk/tk_path_probe.h"

namespace {

constexpr std::size_t k_backlink_size = 263;
constexpr std::size_t k_descriptor_size = 32;
constexpr char k_descriptors_end = 0x0D;

}  // namespace

std::string dbf_backlink_in(std::string_view head) {
  if (head.size() < dbf_header::k_size) return {};
  const dbf_header header = dbf_header::parse(reinterpret_cast<const unsigned char*>(head.data()));
  if (!header.is_visual_foxpro()) return {};
  const std::size_t end = std::min<std::size_t>(header.data_offset, head.size());
  std::size_t at = dbf_header::k_size;
  while (at < end && head[at] != k_descriptors_end) at += k_descriptor_size;
  if (at >= end) return {};
  std::string_view link = head.substr(at + 1, std::min(k_backlink_size, end - at - 1));
  link = link.substr(0, link.find('\0'));
  const int code_page = dbf_codepage_of_mark(header.codepage_mark);
  return tk_to_utf8_lossy(dbf_char_table::for_code_page(code_page).decode(link));
}

std::string dbf_backlink_of(const std::string& table_path) {
  // Checked first: opening a missing file would create it.
  if (!tk_is_file_exist(table_path))
    throw dbf_exception("Table " + table_path + ": the file is missing");
  try {
    const tk_huge_file file(table_path, false);
    const std::uint64_t size = file.get_size();
    std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(size, 65536)), '\0');
    file.get_at(0, head.data(), head.size());
    return dbf_backlink_in(head);
  } catch (const tk_exception& e) {
    throw dbf_exception("Table " + table_path + ": " + e.message(), e.level());
  }
}
