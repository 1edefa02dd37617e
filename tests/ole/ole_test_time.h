#pragma once

// A broken-down date and time from its parts, for tests that build dates by hand.

#include <cstdint>

#include "ole/ole_systemtime.h"

inline ole_systemtime ole_test_time(int y, int mo, int d, int h = 0, int mi = 0, int s = 0,
                                    int ms = 0) {
  ole_systemtime st;
  st.year = static_cast<std::uint16_t>(y);
  st.month = static_cast<std::uint16_t>(mo);
  st.day = static_cast<std::uint16_t>(d);
  st.hour = static_cast<std::uint16_t>(h);
  st.minute = static_cast<std::uint16_t>(mi);
  st.second = static_cast<std::uint16_t>(s);
  st.milliseconds = static_cast<std::uint16_t>(ms);
  return st;
}
