#pragma once

#include <sys/types.h>

#include <cstddef>

// Keeps a long sequential write of a regular file from piling up dirty pages. Left alone, the
// kernel holds gigabytes of a large script in the page cache and then makes the writer pay for
// flushing them, several times the cost of the copying itself; here each step written is sent
// to the disk at once, and the step written two steps earlier is waited for and dropped from
// the cache, so at most a few steps are ever in memory. Files of under three steps are left
// entirely to the kernel.
class tk_write_behind {
 public:
  static constexpr off_t k_step = off_t{16} << 20;

  // `fd` is a regular file written from offset 0, in order.
  explicit tk_write_behind(int fd) noexcept : fd_(fd) {}

  // Called after `size` more bytes have been written.
  void advance(std::size_t size) noexcept;

 private:
  int fd_;
  off_t written_ = 0;
  off_t started_ = 0;  // bytes before this offset have been handed to the disk
};
