// The desktop's secret store as the settings see it: a password kept under a key, outside
// the settings file. The wizard fills it with the real store; tests give a store of their own.
#pragma once

#include <string>

class tk_secret_store {
 public:
  enum class status {
    ok,
    not_found,    // the store answered and holds nothing under the key
    unavailable,  // no store answered: nothing can be kept
  };
  struct secret {
    status state = status::unavailable;
    std::u16string value;
  };

  tk_secret_store() = default;
  virtual ~tk_secret_store() = default;
  tk_secret_store(const tk_secret_store&) = delete;
  tk_secret_store& operator=(const tk_secret_store&) = delete;

  virtual secret read(const std::u16string& key) = 0;
  // ok once the store holds `value` under `key`.
  virtual status write(const std::u16string& key, const std::u16string& value) = 0;
  // ok or not_found once the store holds nothing under `key`.
  virtual status remove(const std::u16string& key) = 0;
};
