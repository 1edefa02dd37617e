#pragma once

// Reads the options into the converter's settings and checks them. False when an argument is
// not an option (the caller shows the usage text); every other problem ends the process
// through exit_with_message, or raises tk_exception (a bad --logfile= or --profile= path).
bool parse_cmd_line(int argc, const char* const* argv);
