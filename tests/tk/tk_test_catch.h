#pragma once

#include <functional>
#include <string>

#include "tk/tk_exception.h"

// The message of the toolkit exception `action` throws, or "no exception".
inline std::string tk_message_of(const std::function<void()>& action) {
  try {
    action();
  } catch (const tk_exception& e) {
    return e.message();
  }
  return "no exception";
}

// The level of the toolkit exception `action` throws, or -1 when it throws none.
inline int tk_level_of(const std::function<void()>& action) {
  try {
    action();
  } catch (const tk_exception& e) {
    return e.level();
  }
  return -1;
}
