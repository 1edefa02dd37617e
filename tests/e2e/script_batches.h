// A script runner's view of a T-SQL script: its batches, the text between lines that read GO.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Line ends are kept as they are (text values may hold CR LF of their own).
inline std::vector<std::string> script_batches(const std::string& script) {
  std::vector<std::string> batches;
  std::string batch;
  std::size_t start = 0;
  while (start < script.size()) {
    std::size_t end = script.find('\n', start);
    end = end == std::string::npos ? script.size() : end + 1;
    const std::string_view line(script.data() + start, end - start);
    std::string_view bare = line;
    while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r')) bare.remove_suffix(1);
    if (bare == "GO") {
      batches.push_back(batch);
      batch.clear();
    } else {
      batch += line;
    }
    start = end;
  }
  if (batch.find_first_not_of(" \r\n\t") != std::string::npos) batches.push_back(batch);
  return batches;
}
