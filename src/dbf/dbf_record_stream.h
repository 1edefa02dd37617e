#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "dbf/dbf_record.h"

class dbf_recordset;

// Reads a table's records in order from its current position to its end, decoding them on a
// helper thread a batch ahead of the caller, so that decoding overlaps with whatever the
// caller does with the previous batch. The table must not be used otherwise while the stream
// lives; afterwards its position is past the records the stream handed out.
class dbf_record_stream {
 public:
  // When the helper thread is used: only where decoding ahead pays for the table's shape, or
  // wherever a second processor is there (for tests of the helper itself).
  enum class helper_use { where_it_pays, always };

  explicit dbf_record_stream(dbf_recordset& table, helper_use use = helper_use::where_it_pays);
  ~dbf_record_stream();
  dbf_record_stream(const dbf_record_stream&) = delete;
  dbf_record_stream& operator=(const dbf_record_stream&) = delete;

  // The next record, or null past the last; it stays valid until the following call. An
  // error met decoding a record is thrown here, in that record's turn, and ends the stream.
  dbf_record* next();

  // Records per batch at most, and fields per batch at most: the caller reads each decoded
  // value once, from the other processor's cache, and a batch of wide records that no longer
  // fits there costs the caller more than decoding saves (measured: a 200-field table ran a
  // third faster in batches of 20 records than in batches of 256). The memo text after which
  // a batch is handed over early (records keep their buffers between batches, so this bounds
  // what a batch of long memos holds).
  static constexpr std::size_t k_batch_records = 256;
  static constexpr std::size_t k_batch_fields = 4096;
  static constexpr std::size_t k_batch_memo_bytes = 1 << 20;

 private:
  // Each batch, and the caller's own counters, on cache lines of their own: the helper fills
  // one batch while the caller reads another, and neither should stall the other.
  struct alignas(64) batch {
    std::vector<std::unique_ptr<dbf_record>> records;
    std::size_t count = 0;     // records filled
    std::exception_ptr error;  // met after the filled records
    bool last = false;         // nothing follows this batch
    bool ready = false;        // filled and not yet taken back by the helper
  };

  // The helper thread: fills the batches in turn from `position` on.
  void produce(std::int64_t position) noexcept;
  void fill(batch& b, std::int64_t& position);
  // Without a helper thread: decodes the next record in place.
  dbf_record* next_here();

  dbf_recordset& table_;
  const std::int64_t end_;
  const std::size_t batch_records_;
  std::array<batch, 3> batches_;
  alignas(64) std::size_t current_ = 0;  // batch being read by the caller
  std::size_t taken_ = 0;                // records of it handed out
  bool finished_ = false;
  std::int64_t position_;  // of the next record handed out

  alignas(64) std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  std::thread helper_;  // not joinable when no thread could be started
};
