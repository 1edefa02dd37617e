// A second thread formatting runs of a table's script rows from their records' bytes while
// the caller formats the runs between them. The caller hands a run over, formats its own run
// into the script, then writes the helper's rows in order: each processor formats about half
// of the rows, and only finished text crosses from one to the other.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/talvex_row_formatter.h"

class dbf_recordset;
class mss_dmp_recordset;

class talvex_row_helper {
 public:
  // What became of one record of a run.
  struct row {
    std::size_t end = 0;         // where its text ends in text()
    std::size_t unreadable = 0;  // number fields that held no number
    bool deleted = false;
    std::exception_ptr error;  // its failure, when it could not be written; no text then
  };

  // Records of this many bytes make a run.
  static constexpr std::size_t k_run_bytes = std::size_t{256} << 10;
  // A run stops early, after the row that passes this much text.
  static constexpr std::size_t k_text_bytes = std::size_t{4} << 20;

  // Rows of deleted records are not formatted with `skip_deleted`.
  talvex_row_helper(const dbf_recordset& source, const mss_dmp_recordset& script,
                    bool skip_deleted);
  // Lets a run in progress end, then stops the thread.
  ~talvex_row_helper();
  talvex_row_helper(const talvex_row_helper&) = delete;
  talvex_row_helper& operator=(const talvex_row_helper&) = delete;

  // Records a run holds: at least one.
  std::int64_t run_records() const noexcept { return run_records_; }
  // Hands over `count` records from `first` (their bytes are copied) while no run is pending.
  void start(dbf_recordset& source, std::int64_t first, std::int64_t count);
  // Waits for the run handed over; its rows, from its first record on (fewer than handed over
  // when its text grew past k_text_bytes). A failure of the run as a whole is raised here.
  const std::vector<row>& finish();
  // The text of the rows, one after the other.
  std::string_view text() const noexcept { return text_; }

 private:
  void work() noexcept;
  void format_run();

  talvex_row_formatter values_;
  const mss_dmp_recordset& script_;
  const std::size_t record_size_;
  const std::int64_t run_records_;
  const bool skip_deleted_;
  std::string records_;  // the run's bytes, followed by the room a formatter may read past them
  std::int64_t count_ = 0;
  std::string text_;
  std::vector<row> rows_;
  std::exception_ptr failure_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool pending_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: started once everything it uses is there
};
