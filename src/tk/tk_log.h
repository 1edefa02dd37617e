#pragma once

#include <climits>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "tk/tk_encoding.h"
#include "tk/tk_singleton.h"

// The level a trace call must reach to do any work: INT_MAX while no log is enabled,
// INT_MIN until the first call of a run has emptied the file, the threshold afterwards.
// A filtered call therefore costs one comparison and never formats its arguments.
inline int tk_log_gate = INT_MAX;

// The process-wide trace log. Each entry opens, writes and closes the file, so the log is
// complete up to the last entry even when the process ends abruptly.
class tk_logger : public tk_singleton<tk_logger> {
 public:
  // Without a file name the log goes next to the program, with the extension ".log".
  tk_logger(std::optional<std::string> file_name, bool enabled, int threshold, bool time_stamps);
  ~tk_logger() override;

  void set_file_name(const char* path);
  void set_enabled(bool enabled);
  void set_threshold(int threshold);
  void set_time_stamps(bool on) { time_stamps_ = on; }
  void set_line_end(bool on) { line_end_ = on; }

  const std::string& file_name() const { return file_name_; }
  bool enabled() const { return enabled_; }
  int threshold() const { return threshold_; }

  // Called only past the gate; wide entries are cut at 10240 UTF-16 units.
  void emit(int level, bool wide, const char* format, ...);

  static constexpr std::size_t k_wide_limit = 10240;

 private:
  void update_gate() const;
  void truncate();

  std::string file_name_;
  int threshold_;
  bool line_end_ = true;
  bool enabled_;
  bool truncated_ = false;
  bool time_stamps_;
  std::mutex mutex_;
};

namespace tk_log_detail {

// Strings of either width become UTF-8 text for "%s"; everything else passes unchanged.
template <class T>
auto hold(const T& value) {
  if constexpr (std::is_convertible_v<const T&, std::u16string_view>) {
    return tk_to_utf8_lossy(std::u16string_view(value));
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    return std::string(std::string_view(value));
  } else {
    return value;
  }
}

inline const char* pass(const std::string& s) {
  return s.c_str();
}
template <class T>
requires(!std::is_same_v<T, std::string>) T pass(const T& v) {
  return v;
}

template <class... A>
void write(int level, bool wide, const char* format, const A&... args) {
  tk_logger* logger = tk_logger::instance_ptr();
  if (logger == nullptr) return;
  auto held = std::make_tuple(hold(args)...);
  std::apply([&](const auto&... h) { logger->emit(level, wide, format, pass(h)...); }, held);
}

}  // namespace tk_log_detail

// Trace calls: printf formats; std::string, std::u16string and C strings all print with "%s".
#define TK_LOG(level, ...)                                                         \
  do {                                                                             \
    if ((level) >= tk_log_gate) tk_log_detail::write((level), false, __VA_ARGS__); \
  } while (0)
#define TK_WLOG(level, ...)                                                       \
  do {                                                                            \
    if ((level) >= tk_log_gate) tk_log_detail::write((level), true, __VA_ARGS__); \
  } while (0)
