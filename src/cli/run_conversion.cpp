#include "cli/run_conversion.h"

#include "app/talvex_converter.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"

void run_conversion(talvex_converter& converter) {
  // This build has no conversion core: the destination is checked without being touched
  // (check_dest would delete an existing dump file for a run that cannot follow), and the run
  // ends with a plain refusal instead of a silent success.
  if (!converter.direct) common_check_dest(tk_to_ansi(converter.dest));
  throw tk_exception("Conversion is not available in this build", 1);
}
