#include "tk/tk_log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <vector>

#include "tk/tk_self_path.h"

tk_logger::tk_logger(std::optional<std::string> file_name, bool enabled, int threshold,
                     bool time_stamps)
    : threshold_(threshold), enabled_(enabled), time_stamps_(time_stamps) {
  if (file_name) {
    file_name_ = std::move(*file_name);
  } else {
    file_name_ = tk_self_path();
    const auto slash = file_name_.find_last_of('/');
    const auto dot = file_name_.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
      file_name_.erase(dot);
    }
    file_name_ += ".log";
  }
  if (enabled_) truncate();
  if (instance_ptr() == this) update_gate();
}

tk_logger::~tk_logger() {
  if (instance_ptr() == this) tk_log_gate = INT_MAX;
}

void tk_logger::set_file_name(const char* path) {
  TK_ASSERT(path != nullptr);
  // A new file starts fresh too: its first entry of the run empties it.
  if (file_name_ != path) truncated_ = false;
  file_name_ = path;
  update_gate();
}

void tk_logger::set_enabled(bool enabled) {
  enabled_ = enabled;
  update_gate();
}

void tk_logger::set_threshold(int threshold) {
  threshold_ = threshold;
  update_gate();
}

void tk_logger::update_gate() const {
  if (instance_ptr() != this) return;
  tk_log_gate = !enabled_ ? INT_MAX : (!truncated_ ? INT_MIN : threshold_);
}

void tk_logger::truncate() {
  if (std::FILE* f = std::fopen(file_name_.c_str(), "wb")) std::fclose(f);
  truncated_ = true;
  update_gate();
}

void tk_logger::emit(int level, bool wide, const char* format, ...) {
  const std::lock_guard lock(mutex_);
  if (!enabled_) return;
  if (!truncated_) truncate();
  if (level < threshold_) return;

  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(needed > 0 ? static_cast<std::size_t>(needed) : 0, '\0');
  if (needed > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);

  if (wide) {
    std::u16string units = tk_from_utf8_lossy(text);
    if (units.size() > k_wide_limit) {
      units.resize(k_wide_limit);
      text = tk_to_utf8_lossy(units);
    }
  }

  std::FILE* f = std::fopen(file_name_.c_str(), "ab");
  if (f == nullptr) return;
  if (time_stamps_) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::fprintf(f, "%02d:%02d:%02d ", local.tm_hour, local.tm_min, local.tm_sec);
  }
  std::fwrite(text.data(), 1, text.size(), f);
  if (line_end_) std::fwrite("\r\n", 1, 2, f);
  std::fclose(f);
}
