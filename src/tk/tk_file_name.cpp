#include "tk/tk_file_name.h"

#include <filesystem>
#include <system_error>

#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "tk/tk_self_path.h"

namespace {

struct parts {
  std::string dir, name, ext;
};

// Absolute against the current directory, "." and ".." folded away; links are not followed.
parts split_absolute(std::string_view path) {
  std::string full;
  if (path.empty()) {
    full = tk_self_path();
    TK_ASSERT(!full.empty());
  } else {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(std::filesystem::path(path), error);
    TK_ASSERT(!error);
    full = absolute.lexically_normal().string();
  }
  parts p;
  const auto slash = full.find_last_of('/');
  p.dir = full.substr(0, slash + 1);
  std::string file = full.substr(slash + 1);
  const auto dot = file.find_last_of('.');
  if (dot != std::string::npos && dot > 0) {
    p.ext = file.substr(dot);
    file.erase(dot);
  }
  p.name = std::move(file);
  return p;
}

template <class S, class V>
void assign_extension(S& ext, V value) {
  ext.assign(value);
  if (!ext.empty() && ext.front() != '.') ext.insert(ext.begin(), '.');
}

}  // namespace

tk_file_name::tk_file_name(std::string_view path) {
  TK_LOG(1, "tk_file_name::ctor(%s)", path);
  parts p = split_absolute(path);
  dir_ = std::move(p.dir);
  name_ = std::move(p.name);
  ext_ = std::move(p.ext);
}

void tk_file_name::set_extension(std::string_view ext) {
  assign_extension(ext_, ext);
}

std::string tk_file_name::program_folder() {
  return tk_file_name().folder();
}

tk_file_wname::tk_file_wname(std::u16string_view path) {
  initialize(path);
}

void tk_file_wname::initialize(std::u16string_view path) {
  TK_WLOG(1, "tk_file_wname::initialize(%s)", path);
  const parts p = split_absolute(tk_to_utf8_lossy(path));
  dir_ = tk_from_utf8_lossy(p.dir);
  name_ = tk_from_utf8_lossy(p.name);
  ext_ = tk_from_utf8_lossy(p.ext);
}

void tk_file_wname::set_extension(std::u16string_view ext) {
  assign_extension(ext_, ext);
}
