#pragma once

#include <string_view>

// Traces the text, writes it and a line end to standard error unless the converter is silent,
// and ends the process with exit code -1 (255).
[[noreturn]] void exit_with_message(std::string_view text);
