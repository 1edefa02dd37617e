#include "cli/run_conversion.h"

#include "app/talvex_converter.h"
#include "cli/console_progress.h"

#include <csignal>
#include <initializer_list>

#include "tk/tk_interrupt.h"
#include "tk/tk_replacement_file.h"

namespace {

// The first Ctrl-C (or termination request) stops the run between records, so what was sent
// is committed and the cut table named; a second one ends the process at once.
void request_stop(int) {
  tk_interrupt_signal.store(1, std::memory_order_relaxed);
}

// A script cut short is worth nothing: the process ends at once, taking its unfinished
// temporary file with it so that the old script stays in place.
void end_dump(int signal_number) {
  tk_replacement_file::remove_pending();
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

void install(void (*handler)(int), std::initializer_list<int> signals) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int signal_number : signals) sigaction(signal_number, &action, nullptr);
}

}  // namespace

void run_conversion(talvex_converter& converter) {
  // A closed pipe or a full disk shows as a failed write, which ends the run with an error.
  ::signal(SIGPIPE, SIG_IGN);
  if (converter.direct) {
    converter.connect_mssql_server();
    install(request_stop, {SIGINT, SIGTERM});
  } else {
    install(end_dump, {SIGINT, SIGTERM, SIGHUP});
  }
  converter.check_dest();
  console_progress progress;
  if (!converter.silent && progress.active()) converter.set_progress(&progress);
  converter();
  converter.set_progress(nullptr);
}
