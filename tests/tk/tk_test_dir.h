#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A fresh folder for one test, removed with everything in it afterwards.
inline void tk_write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class tk_test_dir {
 public:
  tk_test_dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qv_test_XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~tk_test_dir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  tk_test_dir(const tk_test_dir&) = delete;
  tk_test_dir& operator=(const tk_test_dir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  std::string write(const std::string& name, const std::string& bytes) const {
    const std::string full = *this / name;
    tk_write_file(full, bytes);
    return full;
  }

 private:
  std::string path_;
};

inline std::string tk_read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Permission bits do not stop the superuser.
inline bool tk_running_as_root() {
  return ::geteuid() == 0;
}
