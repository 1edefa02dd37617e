// Server and client library failures as exceptions of the conversion's family.
#include "odb/odb_exception.h"

#include "tk/tk_log.h"

namespace {

std::string server_text(std::string_view text, int number, int severity, int state) {
  std::string out = "Msg " + std::to_string(number) + ", Level " + std::to_string(severity) +
                    ", State " + std::to_string(state) + ": ";
  out += text;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) {
    out.pop_back();
  }
  return out;
}

}  // namespace

odb_exception::odb_exception(std::string_view text, int number, int severity, int state)
    : tk_exception(server_text(text, number, severity, state), 0),
      number_(number),
      severity_(severity),
      state_(state) {
  TK_LOG(1, "odb_exception::odb_exception(%d)", number);
  set_code(number);
}

odb_exception::odb_exception(std::u16string_view message) : tk_exception(message, 0) {}

odb_exception::odb_exception(std::string_view message) : tk_exception(message, 0) {}
