#include "dbf/dbf_cpg_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

#include "dbf/dbf_char_table.h"
#include "dbf/dbf_paths.h"
#include "tk/tk_encoding.h"
#include "tk/tk_huge_file.h"
#include "tk/tk_log.h"

namespace {

// More than any encoding name takes; a longer file is no .cpg file.
constexpr std::size_t k_max_cpg = 64;

// "8859" followed by the part number: GIS writers spell ISO 8859 parts as 88591 to 885916.
constexpr int k_iso8859_base = 28590;

std::optional<int> number(std::string_view digits) {
  int n = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty()) return {};
  return n;
}

std::optional<int> iso8859_part(std::string_view part) {
  const std::optional<int> n = number(part);
  if (!n || *n < 1 || *n > 16) return {};
  return k_iso8859_base + *n;
}

std::optional<int> named(std::string_view name) {
  struct alias {
    std::string_view name;
    int code_page;
  };
  static constexpr alias k_aliases[] = {
      {"UTF-8", tk_cp_utf8}, {"UTF8", tk_cp_utf8}, {"KOI8-R", 20866}, {"KOI8-U", 21866},
      {"BIG5", 950},         {"GBK", 936},         {"GB2312", 936},   {"SHIFT_JIS", 932},
      {"SJIS", 932},         {"EUC-KR", 949},      {"ANSI", 1252},    {"LATIN1", 28591},
  };
  for (const alias& a : k_aliases) {
    if (name == a.name) return a.code_page;
  }
  for (const std::string_view prefix : {"ISO-8859-", "ISO8859-", "ISO_8859-", "ISO8859"}) {
    if (name.starts_with(prefix)) return iso8859_part(name.substr(prefix.size()));
  }
  for (const std::string_view prefix : {"ANSI ", "OEM ", "WINDOWS-", "CP", "IBM"}) {
    if (name.starts_with(prefix)) return number(name.substr(prefix.size()));
  }
  if (name.starts_with("8859") && name.size() > 4) return iso8859_part(name.substr(4));
  return number(name);
}

}  // namespace

std::optional<int> dbf_cpg_code_page(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  });
  const std::optional<int> code_page = named(upper);
  if (!code_page || !dbf_char_table::has_code_page(*code_page)) return {};
  return code_page;
}

std::optional<int> dbf_cpg_code_page_of(const std::string& table_path) {
  const std::optional<std::string> path = dbf_sibling_path(table_path, "cpg");
  if (!path) return {};
  const tk_huge_file file(*path, false);
  std::string text(
      static_cast<std::size_t>(std::min<std::uint64_t>(file.get_size(), k_max_cpg + 1)), '\0');
  file.get_at(0, text.data(), text.size());
  const std::optional<int> code_page =
      text.size() <= k_max_cpg ? dbf_cpg_code_page(text) : std::nullopt;
  if (code_page)
    TK_LOG(2, "Code page file %s names %d", *path, *code_page);
  else
    TK_LOG(3, "Code page file %s names no code page we know", *path);
  return code_page;
}
