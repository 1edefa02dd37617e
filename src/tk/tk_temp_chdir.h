#pragma once

#include <string>
#include <string_view>
#include <vector>

// Makes a folder the current directory for the object's lifetime; an empty path stands for the
// program's folder. The previous directory comes back on destruction.
class tk_temp_chdir {
 public:
  explicit tk_temp_chdir(const std::string& path);
  explicit tk_temp_chdir(std::u16string_view path);
  ~tk_temp_chdir();
  tk_temp_chdir(const tk_temp_chdir&) = delete;
  tk_temp_chdir& operator=(const tk_temp_chdir&) = delete;

  bool succeeded() const { return succeeded_; }

  // Entries of the current directory whose names match the wildcard pattern ("*", "?") ignoring
  // case, folders included, "." and ".." left out; sorted by name ignoring case so runs repeat.
  void find_files(std::string_view pattern, std::vector<std::string>& list) const;
  void find_files(std::u16string_view pattern, std::vector<std::u16string>& list) const;

 private:
  void initialize(const std::string& path);

  std::string saved_;
  bool succeeded_ = false;
  bool wide_ = false;
};

// Wildcard match of a file name ignoring case ("*" any run, "?" one character; "*.*" all).
bool tk_match_wildcard_nocase(std::u16string_view pattern, std::u16string_view name);
