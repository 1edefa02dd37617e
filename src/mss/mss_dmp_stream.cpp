#include "mss/mss_dmp_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "tk/tk_console.h"
#include "tk/tk_cpu.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"

mss_dmp_stream::mss_dmp_stream(std::string path) : path_(std::move(path)) {
  const std::string failure = "Cannot create the dump file '" + path_ + "': ";
  struct stat st {};
  if (tk_is_standard_output(path_)) {
    fd_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
  } else if (::stat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  } else {
    replacement_ = std::make_unique<tk_replacement_file>(path_, failure);
    fd_ = replacement_->fd();
    write_behind_.emplace(fd_);
  }
  if (fd_ < 0) {
    const int error_code = errno;
    TK_LOG(2, "Failed to open file");
    throw tk_exception_ex(failure, error_code, 1);
  }
  buffer_.reserve(k_buffer_size);
  outgoing_.reserve(k_buffer_size);
}

mss_dmp_stream::~mss_dmp_stream() {
  stop_writer();
  if (fd_ >= 0) ::close(fd_);
}

void mss_dmp_stream::fail(int error_code) const {
  throw tk_exception_ex("Cannot write the dump file '" + path_ + "': ", error_code, 1);
}

void mss_dmp_stream::raise_pending() {
  if (pending_errno_ != 0) fail(std::exchange(pending_errno_, 0));
}

int mss_dmp_stream::write_bytes(const char* data, std::size_t size) noexcept {
  if (fd_ < 0) return EBADF;
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    if (write_behind_) write_behind_->advance(static_cast<std::size_t>(n));
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

void mss_dmp_stream::write_all(const char* data, std::size_t size) {
  wait_for_writer();
  const int error_code = write_bytes(data, size);
  if (error_code != 0) fail(error_code);
}

void mss_dmp_stream::wait_for_writer() {
  if (!writer_.joinable()) return;
  int error_code = 0;
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !outgoing_ready_; });
    error_code = std::exchange(writer_errno_, 0);
  }
  if (error_code != 0) fail(error_code);
}

void mss_dmp_stream::run_writer() noexcept {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return outgoing_ready_ || stopping_; });
    if (!outgoing_ready_) return;
    lock.unlock();
    const int error_code = write_bytes(outgoing_.data(), outgoing_.size());
    lock.lock();
    writer_errno_ = error_code;
    outgoing_ready_ = false;
    changed_.notify_all();
  }
}

void mss_dmp_stream::stop_writer() noexcept {
  if (!writer_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  writer_.join();
  stopping_ = false;
}

void mss_dmp_stream::flush() {
  if (buffer_.empty()) return;
  // The buffer is dropped even when writing fails: the file is broken either way, and the
  // failure ends the run.
  try {
    wait_for_writer();
  } catch (...) {
    buffer_.clear();
    throw;
  }
  buffer_.swap(outgoing_);
  buffer_.clear();
  if (!writer_.joinable() && tk_usable_cpus() >= k_writer_cpus) {
    try {
      writer_ = std::thread([this] { run_writer(); });
    } catch (const std::system_error&) {
    }
  }
  if (!writer_.joinable()) {
    // A single processor, or no thread to be had: the buffer goes out here.
    const int error_code = write_bytes(outgoing_.data(), outgoing_.size());
    if (error_code != 0) fail(error_code);
    return;
  }
  {
    const std::lock_guard lock(mutex_);
    outgoing_ready_ = true;
  }
  changed_.notify_all();
}

void mss_dmp_stream::write(std::string_view bytes) {
  raise_pending();
  if (buffer_.size() + bytes.size() > k_buffer_size) {
    flush();
    if (bytes.size() >= k_buffer_size) {
      write_all(bytes.data(), bytes.size());
      return;
    }
  }
  buffer_.append(bytes);
}

std::string& mss_dmp_stream::row_buffer() {
  raise_pending();
  if (fd_ < 0) fail(EBADF);
  if (buffer_.size() + k_row_room > k_buffer_size) flush();
  return buffer_;
}

void mss_dmp_stream::write_noexcept(std::string_view bytes) noexcept {
  try {
    write(bytes);
  } catch (const tk_exception_ex& e) {
    if (pending_errno_ == 0) pending_errno_ = e.code() != 0 ? e.code() : EIO;
    TK_LOG(2, "%s", e.message());
  } catch (...) {
    if (pending_errno_ == 0) pending_errno_ = ENOMEM;
  }
}

void mss_dmp_stream::close() {
  if (fd_ < 0) {
    raise_pending();
    return;
  }
  int error_code = pending_errno_;
  pending_errno_ = 0;
  try {
    if (error_code == 0) {
      flush();
    } else {
      buffer_.clear();
    }
    wait_for_writer();
  } catch (const tk_exception_ex& e) {
    if (error_code == 0) error_code = e.code() != 0 ? e.code() : EIO;
  }
  stop_writer();
  buffer_.clear();
  if (::close(fd_) != 0 && error_code == 0) error_code = errno;
  fd_ = -1;
  if (error_code != 0) {
    if (replacement_) replacement_->discard();
    fail(error_code);
  }
  if (replacement_) replacement_->commit();
}
