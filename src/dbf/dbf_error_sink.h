#pragma once

#include <string>

#include "tk/tk_exception.h"

// Where the DBF reader reports a failure that the table survives (a missing memo file): the
// application installs its error handler here. Without one, the failure is only traced.
class dbf_error_sink {
 public:
  virtual ~dbf_error_sink() = default;
  // `context` is the table file's path; the failure is handled at the exception's level.
  virtual void report(const std::string& context, const tk_exception& error) = 0;
};

// The installed sink (not owned), or null. Install before opening tables.
void dbf_set_error_sink(dbf_error_sink* sink) noexcept;
dbf_error_sink* dbf_get_error_sink() noexcept;

// Reports through the installed sink, or traces the failure at level 3 when there is none.
void dbf_report_error(const std::string& context, const tk_exception& error);
