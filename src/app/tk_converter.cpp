#include "app/tk_converter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tk/tk_exception.h"
#include "tk/tk_file_name.h"
#include "tk/tk_log.h"
#include "tk/tk_path_probe.h"

namespace {

// An existing file the log could not append to. A file without read permission counts too:
// accepting it would lose every entry without a word.
bool is_unwritable_file(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return true;
  ::close(fd);
  return false;
}

}  // namespace

void tk_converter::set_logfile(const std::string& path) {
  TK_LOG(1, "tk_convertor::set_logfile(%s)", path);
  tk_logger* logger = tk_logger::instance_ptr();
  if (logger == nullptr) return;
  logfile_ = path;
  if (path.empty()) {
    TK_LOG(1, "Filename is empty");
    return;
  }
  if (tk_is_path_exist(path)) {
    throw tk_exception("Logfile name specifies an existing path.", 1);
  }
  if ((tk_is_file_exist(path, tk_access_read) && !tk_is_file_exist(path, tk_access_read_write)) ||
      is_unwritable_file(path)) {
    throw tk_exception("Logfile name specifies an existing read-only file.", 1);
  }
  if (!tk_is_path_exist(tk_file_name(path).folder())) {
    throw tk_exception("Logfile path does not exist.\nPlease verify the correct path was given.",
                       1);
  }
  logger->set_file_name(path.c_str());
  logger->set_enabled(true);
}
