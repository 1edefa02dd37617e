#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

struct tk_error_pair {
  std::int32_t code;
  const char* text;
};

// Maps error codes to message texts.
class tk_error_converter {
 public:
  tk_error_converter(std::size_t count, const tk_error_pair* pairs);

  // The text for the code, or an empty string.
  std::string convert(std::int32_t code) const;

 private:
  std::map<std::int32_t, std::string> messages_;
};
