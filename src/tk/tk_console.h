#pragma once

#include <cstdio>
#include <string>

// Where the console program's own lines (progress, errors, the summary) go: standard output,
// or standard error once the script itself is written to standard output, so that the script
// stays clean.
std::FILE* tk_console_stream() noexcept;
void tk_console_use_stderr() noexcept;

// True when `path` names the process's standard output: "-", or a path to the same open file
// (/dev/stdout, /proc/self/fd/1, or the file standard output was redirected to).
bool tk_is_standard_output(const std::string& path) noexcept;
