// Write-behind for long script files: see tk_write_behind.h.
#include "tk/tk_write_behind.h"

#include <fcntl.h>

void tk_write_behind::advance(std::size_t size) noexcept {
  written_ += static_cast<off_t>(size);
  while (written_ - started_ >= k_step) {
    // Hints only: the data is in the file either way, and a failing disk shows in the writes
    // and the close that follow, so their results are not looked at.
    ::sync_file_range(fd_, started_, k_step, SYNC_FILE_RANGE_WRITE);
    if (started_ >= 2 * k_step) {
      const off_t done = started_ - 2 * k_step;
      ::sync_file_range(
          fd_, done, k_step,
          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
      ::posix_fadvise(fd_, done, k_step, POSIX_FADV_DONTNEED);
    }
    started_ += k_step;
  }
}
