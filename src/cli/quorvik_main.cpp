#include <exception>
#include <optional>

#include "app/error_handler.h"
#include "app/talvex_converter.h"
#include "cli/exit_with_message.h"
#include "cli/parse_cmd_line.h"
#include "cli/quorvik_usage.h"
#include "cli/run_conversion.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"

int main(int argc, char** argv) {
  // The log goes next to the program unless --logfile= names one; nothing is written before
  // that option enables it, and then only level-3 entries.
  tk_logger logger(std::nullopt, false, 3, false);
  console_error_handler handler;

  // Outlives the handlers below, which still read its silent flag.
  std::optional<talvex_converter> converter;
  try {
    converter.emplace();
    if (argc == 1 || !parse_cmd_line(argc, argv)) exit_with_message(quorvik_usage());
    run_conversion(*converter);
  } catch (const tk_exception& error) {
    handler.handle(error, true);
    // Whatever reaches here stopped the run before it was done.
    return 255;
  } catch (const std::exception& error) {
    exit_with_message(error.what());
  }
  return converter && converter->failed ? 255 : 0;
}
