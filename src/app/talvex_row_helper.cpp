// The second thread of a script's rows (see the header).
#include "app/talvex_row_helper.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "dbf/dbf_field.h"
#include "dbf/dbf_recordset.h"
#include "mss/mss_dmp_recordset.h"

talvex_row_helper::talvex_row_helper(const dbf_recordset& source, const mss_dmp_recordset& script,
                                     bool skip_deleted)
    : values_(source, script.schema(), true),
      script_(script),
      record_size_(source.header().rec_size),
      run_records_(static_cast<std::int64_t>(
          std::max<std::size_t>(1, k_run_bytes / std::max<std::size_t>(1, record_size_)))),
      skip_deleted_(skip_deleted),
      thread_([this] { work(); }) {}

talvex_row_helper::~talvex_row_helper() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void talvex_row_helper::start(dbf_recordset& source, std::int64_t first, std::int64_t count) {
  records_.resize(static_cast<std::size_t>(count) * record_size_ + dbf_field::k_block_pad);
  for (std::int64_t i = 0; i < count; ++i) {
    std::memcpy(records_.data() + static_cast<std::size_t>(i) * record_size_,
                source.record_bytes(first + i), record_size_);
  }
  count_ = count;
  {
    const std::lock_guard lock(mutex_);
    pending_ = true;
  }
  changed_.notify_all();
}

const std::vector<talvex_row_helper::row>& talvex_row_helper::finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !pending_; });
  if (failure_ != nullptr) std::rethrow_exception(std::exchange(failure_, nullptr));
  return rows_;
}

void talvex_row_helper::work() noexcept {
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return pending_ || stopping_; });
      if (!pending_) return;
    }
    try {
      format_run();
    } catch (...) {  // growing a buffer failed
      failure_ = std::current_exception();
    }
    {
      const std::lock_guard lock(mutex_);
      pending_ = false;
    }
    changed_.notify_all();
  }
}

void talvex_row_helper::format_run() {
  text_.clear();
  rows_.clear();
  for (std::int64_t i = 0; i < count_ && text_.size() < k_text_bytes; ++i) {
    const char* bytes = records_.data() + static_cast<std::size_t>(i) * record_size_;
    row done;
    done.deleted = bytes[0] == '*';
    if (!(skip_deleted_ && done.deleted)) {
      const std::size_t start = text_.size();
      values_.set_record(bytes);
      try {
        script_.format_values(text_, values_);
      } catch (...) {
        text_.resize(start);
        done.error = std::current_exception();
      }
      done.unreadable = values_.unreadable();
    }
    done.end = text_.size();
    rows_.push_back(std::move(done));
  }
}
