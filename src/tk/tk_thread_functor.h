#pragma once

#include <chrono>
#include <thread>

// A runnable object: run() idles until is_done() reports true, then finishes.
class tk_thread_functor {
 public:
  virtual ~tk_thread_functor() = default;

  virtual void run() {
    while (!is_done()) idle();
    finish();
  }
  virtual bool is_done() { return false; }
  virtual void idle() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }
  virtual void finish() {}
};
