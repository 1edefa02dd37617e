#include "e2e/cli_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tk/tk_test_dir.h"

namespace {

std::string temp_file() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qv_e2e_XXXXXX").string();
  const int fd = ::mkstemp(pattern.data());
  if (fd >= 0) ::close(fd);
  return pattern;
}

}  // namespace

cli_result cli_run(const std::string& program, const std::vector<std::string>& args,
                   const std::string& work_dir) {
  // Output goes to files, so neither stream can fill a pipe and stall the child.
  const std::string out_path = temp_file();
  const std::string err_path = temp_file();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  cli_result result;
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(out_path.c_str(), O_WRONLY | O_TRUNC);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_TRUNC);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(120);
    if (!work_dir.empty() && ::chdir(work_dir.c_str()) != 0) ::_exit(121);
    ::execv(program.c_str(), argv.data());
    ::_exit(122);
  }
  if (pid > 0) {
    int status = 0;
    pid_t done = 0;
    do {
      done = ::waitpid(pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    if (done == pid && WIFEXITED(status)) result.code = WEXITSTATUS(status);
  }
  result.out = tk_read_file(out_path);
  result.err = tk_read_file(err_path);
  std::remove(out_path.c_str());
  std::remove(err_path.c_str());
  return result;
}

cli_result quorvik(const std::vector<std::string>& args, const std::string& work_dir) {
  return cli_run(QV_QUORVIK_PATH, args, work_dir);
}
