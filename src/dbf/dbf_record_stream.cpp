#include "dbf/dbf_record_stream.h"

#include <algorithm>
#include <system_error>

#include "dbf/dbf_memo_file.h"
#include "dbf/dbf_recordset.h"
#include "tk/tk_cpu.h"

namespace {

// A record that held more than this much text gives its buffers back before the next fill.
constexpr std::size_t k_keep_bytes = 64 * 1024;

std::size_t records_per_batch(std::size_t fields) {
  return std::clamp<std::size_t>(
      dbf_record_stream::k_batch_fields / std::max<std::size_t>(fields, 1), 4,
      dbf_record_stream::k_batch_records);
}

// Whether decoding a batch ahead on another processor saves the caller more than it costs
// it. The caller then reads every decoded value from the other processor's cache, which costs
// about as much per byte of text as decoding it (a table lookup or a block copy); what pays is
// the parsing of numbers and dates. So the helper is used where a record's text, memo text
// included (the memo file's size spread over the records), comes to at most
// k_text_per_parsed_field bytes per parsed field. On the benchmark tables this starts it for the
// numeric, wide, Visual FoxPro and dBase III tables and not for the text and memo ones, on
// which it made the run slower than one processor alone.
bool decoding_ahead_pays(const dbf_recordset& table) {
  constexpr std::uint64_t k_text_per_parsed_field = 64;
  std::uint64_t text_bytes = 0;
  std::uint64_t parsed = 0;
  for (const dbf_field_layout& layout : table.layouts()) {
    const bool text = layout.decode == dbf_decode::varchar || layout.decode == dbf_decode::bytes ||
                      (layout.decode == dbf_decode::text && layout.vartype == VT_BSTR);
    if (text) {
      text_bytes += layout.width;
    } else if (!layout.is_memo() && layout.decode != dbf_decode::logical &&
               layout.decode != dbf_decode::null_flags) {
      ++parsed;
    }
  }
  const dbf_memo_file* memo = table.memo_file();
  if (memo != nullptr && table.record_count() > 0)
    text_bytes += memo->size() / static_cast<std::uint64_t>(table.record_count());
  return text_bytes <= k_text_per_parsed_field * parsed;
}

}  // namespace

dbf_record_stream::dbf_record_stream(dbf_recordset& table, helper_use use)
    : table_(table),
      end_(table.record_count()),
      batch_records_(records_per_batch(table.layouts().size())),
      position_(table.position()) {
  // Without a second processor, where decoding ahead does not pay, or without a thread to be
  // had, next() decodes each record itself.
  if (tk_usable_cpus() < 2 || (use == helper_use::where_it_pays && !decoding_ahead_pays(table)))
    return;
  try {
    helper_ = std::thread([this, start = position_] { produce(start); });
  } catch (const std::system_error&) {
  }
}

dbf_record_stream::~dbf_record_stream() {
  if (helper_.joinable()) {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    helper_.join();
  }
  table_.set_position(position_);
}

void dbf_record_stream::fill(batch& b, std::int64_t& position) {
  b.error = nullptr;
  std::size_t count = 0;
  std::size_t memo_bytes = 0;
  while (count < batch_records_ && position < end_ && memo_bytes < k_batch_memo_bytes) {
    if (b.records.size() == count) b.records.push_back(table_.make_record());
    dbf_record& record = *b.records[count];
    if (record.memo_bytes() > k_keep_bytes) record.release_buffers(k_keep_bytes);
    try {
      table_.fill_record(record, position);
    } catch (...) {
      b.count = count;
      b.error = std::current_exception();
      b.last = true;
      return;
    }
    memo_bytes += record.memo_bytes();
    ++count;
    ++position;
  }
  b.count = count;
  b.last = position >= end_;
}

void dbf_record_stream::produce(std::int64_t position) noexcept {
  for (std::size_t i = 0;; i = (i + 1) % batches_.size()) {
    batch& b = batches_[i];
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || !b.ready; });
      if (stop_) return;
    }
    // The batch is not ready, so the caller does not touch it while it is filled.
    try {
      fill(b, position);
    } catch (...) {  // growing the batch's records failed
      b.count = 0;
      b.error = std::current_exception();
      b.last = true;
    }
    {
      const std::lock_guard lock(mutex_);
      b.ready = true;
    }
    changed_.notify_all();
    if (b.last) return;
  }
}

dbf_record* dbf_record_stream::next() {
  if (!helper_.joinable()) return next_here();
  while (!finished_) {
    batch& b = batches_[current_];
    if (taken_ == 0) {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return b.ready; });
    }
    if (taken_ < b.count) {
      ++position_;
      return b.records[taken_++].get();
    }
    if (b.error != nullptr || b.last) {
      finished_ = true;
      if (b.error != nullptr) std::rethrow_exception(b.error);
      break;
    }
    // The batch is used up: the helper may refill it while the caller reads the next.
    {
      const std::lock_guard lock(mutex_);
      b.ready = false;
    }
    changed_.notify_all();
    current_ = (current_ + 1) % batches_.size();
    taken_ = 0;
  }
  return nullptr;
}

dbf_record* dbf_record_stream::next_here() {
  if (position_ >= end_) return nullptr;
  batch& b = batches_[0];
  if (b.records.empty()) b.records.push_back(table_.make_record());
  table_.fill_record(*b.records[0], position_);
  ++position_;
  return b.records[0].get();
}
