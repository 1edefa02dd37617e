#pragma once

#include <string>
#include <string_view>

// An absolute path split into drive (always empty here), directory (ending with "/"), file name
// and extension (with its dot). An empty path stands for the program's own executable.
class tk_file_name {
 public:
  explicit tk_file_name(std::string_view path = {});

  const std::string& drive() const { return drive_; }
  const std::string& dir() const { return dir_; }
  const std::string& name() const { return name_; }
  const std::string& ext() const { return ext_; }

  std::string full_path() const { return drive_ + dir_ + name_ + ext_; }
  std::string folder() const { return drive_ + dir_; }

  // "fpt" and ".fpt" both give the extension ".fpt"; an empty one removes it.
  void set_extension(std::string_view ext);
  void set_name(std::string_view name) { name_ = name; }

  // The folder of the running program, ending with "/".
  static std::string program_folder();

 private:
  std::string drive_;
  std::string dir_;
  std::string name_;
  std::string ext_;
};

class tk_file_wname {
 public:
  explicit tk_file_wname(std::u16string_view path = {});

  const std::u16string& drive() const { return drive_; }
  const std::u16string& dir() const { return dir_; }
  const std::u16string& name() const { return name_; }
  const std::u16string& ext() const { return ext_; }

  std::u16string full_path() const { return drive_ + dir_ + name_ + ext_; }
  std::u16string folder() const { return drive_ + dir_; }

  void set_extension(std::u16string_view ext);
  void set_name(std::u16string_view name) { name_ = name; }

 private:
  void initialize(std::u16string_view path);

  std::u16string drive_;
  std::u16string dir_;
  std::u16string name_;
  std::u16string ext_;
};
