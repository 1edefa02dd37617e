#include "cli/process_tab_file.h"

#include "app/talvex_converter.h"
#include "cli/exit_with_message.h"
#include "tk/tk_log.h"
#include "tk/tk_name_list.h"

void process_tab_file(const std::string& path) {
  TK_LOG(1, "process_tab_file(%s)", path);
  auto names = tk_read_name_list(path);
  if (!names) {
    exit_with_message(
        "Table names file does not exist.\nPlease verify the correct path/name was given.");
  }
  talvex_converter::instance().table_list = std::move(*names);
}
