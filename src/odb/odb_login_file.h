// A private folder (0700) holding one login's configuration file (0600) and the client
// library's record of that login, removed with everything in it when the login is done.
#pragma once

#include <string>

class odb_login_file {
 public:
  // Writes `text` as the configuration file; throws odb_exception when it cannot.
  explicit odb_login_file(const std::string& text);
  ~odb_login_file();
  odb_login_file(const odb_login_file&) = delete;
  odb_login_file& operator=(const odb_login_file&) = delete;

  const std::string& conf_path() const noexcept { return conf_; }
  // Where the library may record the login, to learn why an encrypted login failed.
  const std::string& record_path() const noexcept { return record_; }
  // What the library recorded (empty when nothing).
  std::string record() const;

 private:
  std::string dir_;
  std::string conf_;
  std::string record_;
};
