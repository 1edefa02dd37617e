#include "tk/tk_exception.h"

#include <cerrno>
#include <cstring>

#include "tk/tk_encoding.h"
#include "tk/tk_log.h"

namespace {
constexpr const char* k_unknown = "Unknown exception";
}

tk_exception::tk_exception(int level) : message_(k_unknown), level_(level) {}

tk_exception::tk_exception(std::string_view message, int level)
    : message_(message.empty() ? std::string_view(k_unknown) : message), level_(level) {}

tk_exception::tk_exception(std::u16string_view message, int level)
    : tk_exception(tk_to_utf8_lossy(message), level) {}

void tk_exception::set_message(std::string message) {
  message_ = message.empty() ? std::string(k_unknown) : std::move(message);
}

tk_exception_ex::tk_exception_ex(std::string_view prefix, int level)
    : tk_exception_ex(prefix, errno, level) {}

tk_exception_ex::tk_exception_ex(std::string_view prefix, int error_code, int level)
    : tk_exception(level) {
  set_code(error_code);
  const char* text = error_code != 0 ? std::strerror(error_code) : nullptr;
  if (text != nullptr && *text != '\0') {
    set_message(std::string(prefix) + text);
    TK_LOG(2, "GetLastError: %s", text);
  }
}

tk_mail_assertion::tk_mail_assertion(std::string_view file, int line) : tk_exception(2) {
  // Only the file's own name: the user is shown a code, never a build path.
  const auto slash = file.find_last_of('/');
  if (slash != std::string_view::npos) file.remove_prefix(slash + 1);
  TK_LOG(2, "make_err_meggase(%s, %d)", file, line);
  const std::string location = std::string(file) + "\\" + std::to_string(line);
  TK_LOG(2, "result=%s", location);
  static constexpr char k_hex[] = "0123456789abcdef";
  std::string code = "Internal error: \ncode=";
  for (const unsigned char c : location) {
    code += k_hex[c >> 4];
    code += k_hex[c & 0x0f];
  }
  set_message(std::move(code));
  TK_LOG(2, "tk_mail_assertion::ctor(%s)", file);
}
