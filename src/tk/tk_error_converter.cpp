#include "tk/tk_error_converter.h"

#include "tk/tk_log.h"

tk_error_converter::tk_error_converter(int count, const std::pair<int, const char*>* pairs) {
  for (int i = 0; i < count; ++i) messages_.emplace(pairs[i].first, pairs[i].second);
}

std::string tk_error_converter::convert(int code) const {
  TK_LOG(2, "tk_error_converter::convert(%d)", code);
  const auto it = messages_.find(code);
  if (it == messages_.end()) {
    TK_LOG(1, "Error message not found!");
    return {};
  }
  TK_LOG(1, "Error message has been found: %s", it->second);
  return it->second;
}
