#include "cli/run_conversion.h"

#include "app/talvex_converter.h"
#include "cli/console_progress.h"

#include <csignal>

#include "tk/tk_interrupt.h"

namespace {

// The first Ctrl-C (or termination request) stops the run between records, so what was sent
// is committed and the cut table named; a second one ends the process at once.
void request_stop(int) {
  tk_interrupt_signal.store(1, std::memory_order_relaxed);
}

void install_stop_handler() {
  struct sigaction action {};
  action.sa_handler = request_stop;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

void run_conversion(talvex_converter& converter) {
  if (converter.direct) {
    converter.connect_mssql_server();
    install_stop_handler();
  }
  converter.check_dest();
  console_progress progress;
  if (!converter.silent && progress.active()) converter.set_progress(&progress);
  converter();
  converter.set_progress(nullptr);
}
