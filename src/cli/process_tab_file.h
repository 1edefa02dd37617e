#pragma once

#include <string>

// Replaces the converter's table list with the names in the file, one per line (UTF-8, with
// or without a byte order mark, CR LF or LF line ends; blank lines skipped, names kept as
// written). A file that cannot be read ends the process through exit_with_message.
void process_tab_file(const std::string& path);
