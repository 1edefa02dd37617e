#pragma once

#include <string>

// A file written under a temporary name in its destination's folder and renamed over the
// destination only once it is complete, so that a reader never finds half a file where the
// old one was. Until then the old file stays as it was; a replacement that is not committed
// (a failed run, a destructor, the process ending on exit() or a signal) removes its
// temporary file.
class tk_replacement_file {
 public:
  // Creates the temporary file beside `path` (beside the file a symbolic link names), with
  // the permissions of the file it will replace, or 0666 less the umask for a new one. A
  // failure is a tk_exception_ex of level 1 whose text starts with `failure_prefix`.
  tk_replacement_file(const std::string& path, const std::string& failure_prefix);
  ~tk_replacement_file();
  tk_replacement_file(const tk_replacement_file&) = delete;
  tk_replacement_file& operator=(const tk_replacement_file&) = delete;

  // The temporary file's descriptor, for the caller to write and close before commit().
  int fd() const noexcept { return fd_; }
  const std::string& temporary_path() const noexcept { return temporary_; }

  // Renames the temporary file over the destination; raises as the constructor does.
  void commit();
  // Removes the temporary file (once; later calls do nothing).
  void discard() noexcept;

  // Removes the temporary file of the replacement in progress, if any; async-signal-safe, for
  // a handler of a signal that ends the process.
  static void remove_pending() noexcept;

 private:
  std::string destination_;
  std::string temporary_;
  std::string failure_prefix_;
  int fd_ = -1;
  bool pending_ = false;
};
