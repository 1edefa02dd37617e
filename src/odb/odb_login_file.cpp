// The private login folder (see the header).
#include "odb/odb_login_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "odb/odb_exception.h"

odb_login_file::odb_login_file(const std::string& text) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/quorvik-login.XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr) {  // mkdtemp makes it 0700
    throw odb_exception("Cannot create a private folder for the login in " + pattern + ": " +
                        std::strerror(errno));
  }
  dir_ = name.data();
  conf_ = dir_ + "/freetds.conf";
  record_ = dir_ + "/login.log";
  const int fd = ::open(conf_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  bool written = fd >= 0;
  std::size_t done = 0;
  while (written && done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (written) done += static_cast<std::size_t>(n);
  }
  if (fd >= 0 && ::close(fd) != 0) written = false;
  if (!written) {
    const std::string reason = std::strerror(errno);
    ::unlink(conf_.c_str());
    ::rmdir(dir_.c_str());
    throw odb_exception("Cannot write the login's configuration file " + conf_ + ": " + reason);
  }
}

odb_login_file::~odb_login_file() {
  ::unlink(conf_.c_str());
  ::unlink(record_.c_str());
  ::rmdir(dir_.c_str());
}

std::string odb_login_file::record() const {
  std::ifstream in(record_);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
