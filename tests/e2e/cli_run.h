#pragma once

#include <string>
#include <vector>

// What one run of a program left behind.
struct cli_result {
  std::string out;
  std::string err;
  int code = -1;  // exit code, or -1 when the program did not exit normally
};

// Runs `program` with `args` after it (the program path itself becomes argv[0], so `args`
// starts with the first real argument) in the given working folder (empty: the current one),
// capturing standard output, standard error and the exit code.
cli_result cli_run(const std::string& program, const std::vector<std::string>& args,
                   const std::string& work_dir = {});

// Runs the quorvik binary of this build.
cli_result quorvik(const std::vector<std::string>& args, const std::string& work_dir = {});
