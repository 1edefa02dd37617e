#include "tk/tk_file.h"

#include "tk/tk_exception.h"
#include "tk/tk_file_name.h"
#include "tk/tk_log.h"
#include "tk/tk_path_probe.h"

tk_file::tk_file(const std::string& name, int mode) : mode_(mode) {
  TK_LOG(2, "tk_file::tk_file(%s)", name);
  TK_ASSERT(!name.empty());
  name_ = tk_file_name(name).full_path();
  TK_LOG(1, "Canonized file name: %s", name_);
  if (!writable() && !tk_is_file_exist(name_, tk_access_read)) {
    throw tk_exception("Bad path or busy with another process", 1);
  }
}

tk_file::~tk_file() {
  TK_LOG(2, "tk_file::~tk_file");
}
