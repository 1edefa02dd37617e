#pragma once

#include <atomic>

// Set by the console program's signal handler when the user asks the run to stop (Ctrl-C);
// the conversion looks at it between records and stops there. Lock-free, so the handler may
// write it.
inline std::atomic<int> tk_interrupt_signal{0};

inline bool tk_interrupted() noexcept {
  return tk_interrupt_signal.load(std::memory_order_relaxed) != 0;
}
