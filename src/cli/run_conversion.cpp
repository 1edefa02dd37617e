#include "cli/run_conversion.h"

#include "app/talvex_converter.h"
#include "cli/console_progress.h"

void run_conversion(talvex_converter& converter) {
  if (converter.direct) converter.connect_mssql_server();
  converter.check_dest();
  console_progress progress;
  if (!converter.silent && progress.active()) converter.set_progress(&progress);
  converter();
  converter.set_progress(nullptr);
}
