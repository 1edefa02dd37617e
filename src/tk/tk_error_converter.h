#pragma once

#include <map>
#include <string>
#include <utility>

// Error code to message text, for the error handler's friendly provider messages.
class tk_error_converter {
 public:
  tk_error_converter(int count, const std::pair<int, const char*>* pairs);

  // The text for the code, or an empty string.
  std::string convert(int code) const;

 private:
  std::map<int, std::string> messages_;
};
