#include "app/init_conversion.h"

#include <ctime>

#include "tk/tk_log.h"

namespace {

void trace_time(const char* what) {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  TK_LOG(3, "Conversion %s on %02d/%02d/%04d at %02d:%02d:%02d\n", what, t.tm_mday, t.tm_mon + 1,
         t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
}

}  // namespace

init_conversion::init_conversion(bool& finish_flag) : finish_flag_(finish_flag) {
  TK_LOG(2, "init_conversion::ctor");
  finish_flag_ = false;
  trace_time("started");
  TK_LOG(2, "finish_flag=%d", static_cast<int>(finish_flag_));
}

init_conversion::~init_conversion() {
  TK_LOG(2, "init_conversion::dtor");
  trace_time("ended");
  finish_flag_ = true;
}
