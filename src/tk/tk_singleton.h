#pragma once

#include "tk/tk_exception.h"

// Process-wide object: the first constructed T registers itself, later ones do not replace it.
template <class T>
class tk_singleton {
 public:
  tk_singleton() {
    if (instance_ == nullptr) instance_ = static_cast<T*>(this);
  }
  virtual ~tk_singleton() {
    if (instance_ == static_cast<T*>(this)) instance_ = nullptr;
  }
  tk_singleton(const tk_singleton&) = delete;
  tk_singleton& operator=(const tk_singleton&) = delete;

  static T& instance() {
    if (instance_ == nullptr) throw tk_mail_assertion("tk_singl.h", __LINE__);
    return *instance_;
  }
  static T* instance_ptr() noexcept { return instance_; }

 private:
  static inline T* instance_ = nullptr;
};
