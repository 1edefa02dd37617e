#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "tk/tk_replacement_file.h"
#include "tk/tk_write_behind.h"

// The script file: bytes are gathered in a large buffer; a full buffer is written with one
// write(), on a helper thread where there are processors enough (started with the first full
// buffer and kept for the file's life) while the next one fills, so formatting and the
// kernel's copying overlap. Every failure to create
// or write the file is a tk_exception_ex of level 1 (the run ends) naming the file, raised by the
// next write that passes a buffer's end or by close(); a failure inside a destructor is kept and
// raised the same way.
//
// A long script is sent to the disk as it grows instead of filling the page cache
// (tk_write_behind).
//
// A regular file is written under a temporary name and replaces the old script only at close();
// a stream left unclosed (the run failed) leaves the old script as it was. Standard output ("-"
// or a path to it), a pipe, a FIFO or a device is opened once for writing and written in order.
class mss_dmp_stream {
 public:
  static constexpr std::size_t k_buffer_size = std::size_t{1} << 20;
  // Processors the process may use before the buffers go out on a helper thread: one for the
  // caller and one for the thread formatting rows beside it, both busy, and one for the writer,
  // which on two processors took turns with them for no gain (measured: the writer alone saves
  // the caller the kernel's copying, 10 to 25 % of a one-thread run).
  static constexpr int k_writer_cpus = 3;
  // Room left for a row formatted in place before the buffer is written out.
  static constexpr std::size_t k_row_room = std::size_t{64} << 10;

  explicit mss_dmp_stream(std::string path);
  // Without close(), what is still buffered is dropped and a regular file is not replaced.
  ~mss_dmp_stream();
  mss_dmp_stream(const mss_dmp_stream&) = delete;
  mss_dmp_stream& operator=(const mss_dmp_stream&) = delete;

  void write(std::string_view bytes);
  // For a writer that formats a row in place: the buffer to append the row to (written out
  // first when it is nearly full, so a row seldom makes it grow). A row whose formatting fails
  // is taken back with drop_row(the size the buffer had); no other write may come between.
  std::string& row_buffer();
  void drop_row(std::size_t size) noexcept { buffer_.resize(size); }
  // For destructors: never throws; a failure is raised by the next write or close().
  void write_noexcept(std::string_view bytes) noexcept;
  // Writes the buffer out, closes the file and puts it in the old one's place; raises any
  // failure seen so far (and then leaves the old file).
  void close();

  const std::string& path() const noexcept { return path_; }
  bool is_open() const noexcept { return fd_ >= 0; }

 private:
  // Hands the buffer to the helper thread (after the previous one has gone out).
  void flush();
  // Waits for the buffer going out; raises its failure.
  void wait_for_writer();
  // The helper thread: writes each buffer handed over until told to stop.
  void run_writer() noexcept;
  void stop_writer() noexcept;
  void write_all(const char* data, std::size_t size);
  // The bytes out, or the errno of the failure; never throws (runs on the helper thread).
  int write_bytes(const char* data, std::size_t size) noexcept;
  [[noreturn]] void fail(int error_code) const;
  void raise_pending();

  std::string path_;
  std::unique_ptr<tk_replacement_file> replacement_;  // none for streams and devices
  std::optional<tk_write_behind> write_behind_;       // with the replacement file
  std::string buffer_;
  std::string outgoing_;  // the buffer the helper thread writes

  std::thread writer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool outgoing_ready_ = false;  // outgoing_ handed over and not yet written
  bool stopping_ = false;
  int writer_errno_ = 0;  // failure of the last buffer written, 0 if none
  int fd_ = -1;
  int pending_errno_ = 0;
};
