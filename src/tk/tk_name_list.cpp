#include "tk/tk_name_list.h"

#include <fstream>
#include <string_view>

#include "tk/tk_encoding.h"
#include "tk/tk_log.h"
#include "tk/tk_path_probe.h"

namespace {
constexpr std::string_view k_bom = "\xEF\xBB\xBF";
}

std::optional<std::vector<std::u16string>> tk_read_name_list(const std::string& path) {
  if (!tk_is_file_exist(path)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;

  // A line is never cut: a name split in two would select the wrong tables without a word.
  std::vector<std::u16string> names;
  bool utf8 = false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    // The mark can only open the first line that holds anything.
    if (names.empty() && !utf8 && line.starts_with(k_bom)) {
      utf8 = true;
      line.erase(0, k_bom.size());
      if (line.empty()) continue;
    }
    names.push_back(utf8 ? tk_from_utf8(line) : tk_from_ansi(line));
  }
  if (in.bad()) return std::nullopt;
  TK_LOG(1, "%d names read", static_cast<int>(names.size()));
  return names;
}
