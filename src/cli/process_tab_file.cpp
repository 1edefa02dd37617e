#include "cli/process_tab_file.h"

#include <fstream>
#include <string_view>
#include <vector>

#include "app/talvex_converter.h"
#include "cli/exit_with_message.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"
#include "tk/tk_path_probe.h"

namespace {

constexpr const char* k_missing =
    "Table names file does not exist.\nPlease verify the correct path/name was given.";
constexpr std::string_view k_bom = "\xEF\xBB\xBF";

}  // namespace

void process_tab_file(const std::string& path) {
  TK_LOG(1, "process_tab_file(%s)", path);
  if (!tk_is_file_exist(path)) exit_with_message(k_missing);
  std::ifstream in(path, std::ios::binary);
  if (!in) exit_with_message(k_missing);

  // Lines are taken whole, however long: cutting a name into pieces would select the wrong
  // tables without a word.
  std::vector<std::u16string> names;
  bool utf8 = false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (names.empty() && !utf8 && line.starts_with(k_bom)) {
      utf8 = true;
      line.erase(0, k_bom.size());
      if (line.empty()) continue;
    }
    names.push_back(utf8 ? tk_from_utf8(line) : tk_from_ansi(line));
  }
  if (in.bad()) exit_with_message(k_missing);
  talvex_converter::instance().table_list = std::move(names);
}
