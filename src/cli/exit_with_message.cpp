#include "cli/exit_with_message.h"

#include <cstdio>
#include <cstdlib>

#include "app/talvex_converter.h"
#include "tk/tk_log.h"

void exit_with_message(std::string_view text) {
  TK_LOG(3, "%s", text);
  const talvex_converter* converter = talvex_converter::instance_ptr();
  if (converter == nullptr || !converter->silent) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
  }
  std::exit(255);
}
