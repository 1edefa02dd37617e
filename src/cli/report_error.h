#pragma once

#include "tk/tk_exception.h"

// The console's report of a failure that reached the program's outermost handler: internal
// errors (level 2) always print "Internal error: ..." and end the process; otherwise
// "Error:" and the message (line feeds made spaces) go to standard output unless the converter
// is silent, and level 1 ends the process with exit code -1 (255). Level 0 returns.
void report_error(const tk_exception& error);
