#include "cli/report_error.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/talvex_converter.h"
#include "tk/tk_log.h"

void report_error(const tk_exception& error) {
  TK_LOG(2, "error_handler::handle");
  if (error.level() >= 2) {
    TK_LOG(3, "Internal error:\n%s", error.what());
    std::printf("Internal error: %s\n", error.what());
    std::exit(255);
  }
  std::string text = error.what();
  TK_LOG(3, "Error:\n%s", text);
  std::replace(text.begin(), text.end(), '\n', ' ');
  const talvex_converter* converter = talvex_converter::instance_ptr();
  if (converter == nullptr || !converter->silent) std::printf("Error:\n%s\n", text.c_str());
  if (error.level() == 1) {
    TK_LOG(1, "Got 1-level error");
    std::exit(255);
  }
  TK_LOG(1, "Got 0-level error");
}
