#include "app/talvex_converter.h"

#include <unistd.h>

#include <cerrno>

#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_file_name.h"
#include "tk/tk_log.h"
#include "tk/tk_path_probe.h"

talvex_converter::talvex_converter() {
  TK_LOG(2, "talvex_converter::ctor");
  TK_LOG(2, "mss_engine::set_as_dbo(%d)", as_dbo ? 1 : 0);
}

talvex_converter::~talvex_converter() {
  TK_LOG(2, "talvex_converter::dtor");
}

void talvex_converter::set_mode(int mode) {
  TK_LOG(2, "udb_converter::set_mode(%d)", mode);
  mode_ = mode;
}

void talvex_converter::check_dest() {
  TK_WLOG(2, "talvex_converter::check_dest(%s)", dest);
  if (direct) return;  // the server database is prepared through the engine once connected
  const std::string path = tk_to_ansi(dest);
  common_check_dest(path);
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    throw tk_exception_ex("Cannot delete the dump file: ", 1);
  }
}

void common_check_dest(const std::string& path) {
  TK_LOG(2, "common_check_dest(%s)", path);
  if (tk_is_path_exist(path)) {
    throw tk_exception("Destination name should specify a file, not folder.", 1);
  }
  if (tk_is_file_exist(path) && !tk_is_file_exist(path, tk_access_read_write)) {
    throw tk_exception("Destination name specifies an existing read-only file.", 1);
  }
  if (!tk_is_path_exist(tk_file_name(path).folder())) {
    throw tk_exception(
        "Destination path does not exist.\nPlease verify the correct path was given.", 1);
  }
}
