#pragma once

#include "tk/tk_exception.h"

// Process-wide object: the first constructed T registers itself, later ones do not replace it.
template <class T>
class tk_singleton {
 public:
  // The registration keeps the base pointer: while this base is being built or torn down the
  // object is not yet (or no longer) a T, so it is turned into a T only when asked for.
  tk_singleton() {
    if (self_ == nullptr) self_ = this;
  }
  virtual ~tk_singleton() {
    if (self_ == this) self_ = nullptr;
  }
  tk_singleton(const tk_singleton&) = delete;
  tk_singleton& operator=(const tk_singleton&) = delete;

  static T& instance() {
    if (self_ == nullptr) throw tk_mail_assertion("tk_singl.h", __LINE__);
    return *instance_ptr();
  }
  static T* instance_ptr() noexcept { return static_cast<T*>(self_); }

 private:
  static inline tk_singleton* self_ = nullptr;
};
