#include "dbf/dbf_error_sink.h"

#include "tk/tk_log.h"

namespace {
dbf_error_sink* g_sink = nullptr;
}

void dbf_set_error_sink(dbf_error_sink* sink) noexcept {
  g_sink = sink;
}

dbf_error_sink* dbf_get_error_sink() noexcept {
  return g_sink;
}

void dbf_report_error(const std::string& context, const tk_exception& error) {
  if (g_sink != nullptr) {
    g_sink->report(context, error);
    return;
  }
  TK_LOG(3, "%s: %s", context, error.message());
}
