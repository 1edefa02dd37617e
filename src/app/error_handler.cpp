#include "app/error_handler.h"

#include <cstdio>
#include <cstdlib>

#include "tk/tk_console.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"

namespace {

// Known provider error codes (low sixteen bits of the OLE DB error plus 0x80000).
const std::pair<int, const char*> k_provider_messages[] = {
    {527875, "Given values violate the database schema."},
    {527879, "Literal value could not be converted to the correct type."},
    {527881,
     "You are not allowed to access MS SQL database. Ask your\nsystem administrator to grant you "
     "necessary privileges."},
    {527889, "Invalid column ID."},
    {527891, "Invalid value."},
    {527895, "Data source with the specified name already exists."},
    {527901, "Requested conversion is not supported."},
    {527905, "Errors occurred."},
    {527919,
     "The specified record violates the integrity constraints.\nSee 'Troubleshooting' article of "
     "the product documentation\nfor solution."},
    {527920, "The given type name is unrecognized."},
    {527924, "The specified index already exists."},
    {527925, "The specified index does not exist."},
    {527927, "The specified table does not exist."},
    {527930, "The specified precision is invalid."},
    {527931, "The specified scale is invalid."},
    {527932, "Invalid table ID."},
    {527933, "The specified type is invalid."},
    {527934, "The column ID is occurred more than once in the column list."},
    {527935,
     "The specified table already exists. Try to connect as database owner\nusing the appropriate "
     "checkbox on 'Connect to MS SQL server' wizard page."},
    {527938, "The specified record number is invalid."},
    {527949, "Invalid user name or password."},
    {527957, "The specified column did not exist."},
    {527959, "Literal value overflowed the range of the type of the associated column.\n"},
    {527973, "The supplied columnID is invalid."},
    {527986, "The index ID is invalid."},
    {528065,
     "One or more column types are incompatible; conversion errors will\noccur during copying."},
    {528090, "Errors occurred."},
};

[[noreturn]] void exit_process() {
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(255);
}

}  // namespace

error_handler::error_handler()
    : messages_(static_cast<int>(std::size(k_provider_messages)), k_provider_messages) {
  TK_LOG(2, "error_handler::ctor");
}

void error_handler::report(std::string context, const tk_exception& e) {
  const std::lock_guard lock(reporting_);
  context_ = std::move(context);
  // The dialog's Abort leaves by an exception; the next report starts without this context.
  struct clear_context {
    std::string& context;
    ~clear_context() { context.clear(); }
  } const clear{context_};
  handle(e, false);
}

std::string error_handler::record_context(std::u16string_view table, long long record) {
  return tk_to_utf8_lossy(table) + ", record #" + std::to_string(record);
}

std::string error_handler::format(const tk_exception& e) const {
  std::string text = context_.empty() ? std::string() : context_ + ": ";
  const std::string known = messages_.convert(e.code());
  text += known.empty() ? std::string(e.what()) : known;
  TK_LOG(3, "Error:\n%s", text);
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

void error_handler::handle(const tk_exception& e, bool final) {
  TK_LOG(2, "error_handler::handle");
  if (e.level() >= 2) {
    internal_error(e);
    return;
  }
  present(e, format(e), final);
}

void console_error_handler::internal_error(const tk_exception& e) {
  TK_LOG(3, "Internal error:\n%s", e.what());
  std::fprintf(tk_console_stream(), "Internal error: %s\n", e.what());
  exit_process();
}

void console_error_handler::present(const tk_exception& e, const std::string& text, bool) {
  if (!quiet()) std::fprintf(tk_console_stream(), "Error:\n%s\n", text.c_str());
  if (e.level() == 1) {
    TK_LOG(1, "Got 1-level error");
    exit_process();
  }
  TK_LOG(1, "Got 0-level error");
}
