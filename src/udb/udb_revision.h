#pragma once

#include <atomic>
#include <cstdint>

// A process-wide stamp for "this list changed": every change takes a fresh value, so a
// cached lookup that stored the stamp of one state can never mistake another state for it,
// even across copies and moves.
inline std::uint64_t udb_next_revision() noexcept {
  static std::atomic<std::uint64_t> counter{0};
  return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}
