#include "tk/tk_string.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"

namespace {

template <class S>
S& trim_right(S& text) {
  const auto last = text.find_last_not_of(typename S::value_type(' '));
  if (last == S::npos) {
    if (!text.empty()) TK_LOG(1, "Special processing for all-spaces-string");
    text.clear();
  } else {
    text.erase(last + 1);
  }
  return text;
}

template <class S>
S& trim_left(S& text) {
  text.erase(0, text.find_first_not_of(typename S::value_type(' ')));
  return text;
}

template <class V>
long long find_in(V text, V pattern, std::size_t start, std::size_t count) {
  if (start > text.size()) return -1;
  const auto pos = text.find(pattern.substr(0, count), start);
  return pos == V::npos ? -1 : static_cast<long long>(pos);
}

// Full Unicode case folding of both sides, then a code unit comparison.
bool equal_folded(std::u16string_view a, std::u16string_view b) {
  UErrorCode status = U_ZERO_ERROR;
  const int32_t result =
      u_strCaseCompare(a.data(), static_cast<int32_t>(a.size()), b.data(),
                       static_cast<int32_t>(b.size()), U_FOLD_CASE_DEFAULT, &status);
  return U_SUCCESS(status) && result == 0;
}

}  // namespace

std::string& tk_trim_right(std::string& text) {
  return trim_right(text);
}
std::string& tk_trim_left(std::string& text) {
  return trim_left(text);
}
std::string& tk_trim(std::string& text) {
  return trim_left(trim_right(text));
}
std::u16string& tk_trim_right(std::u16string& text) {
  return trim_right(text);
}
std::u16string& tk_trim_left(std::u16string& text) {
  return trim_left(text);
}
std::u16string& tk_trim(std::u16string& text) {
  return trim_left(trim_right(text));
}

std::string tk_string::pad_right(std::string_view text, std::size_t length, char fill) {
  TK_LOG(1, "tk_string::pad_right(%d)", static_cast<int>(length));
  std::string out(text);
  if (out.size() < length) out.append(length - out.size(), fill);
  return out;
}

std::string tk_string::pad_left(std::string_view text, std::size_t length, char fill) {
  TK_LOG(1, "tk_string::pad_left(%d)", static_cast<int>(length));
  if (text.size() >= length) return std::string(text);
  std::string out(length - text.size(), fill);
  out += text;
  return out;
}

std::vector<std::string> tk_string::split(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  std::size_t begin = 0;
  for (;;) {
    const auto end = text.find(separator, begin);
    pieces.emplace_back(text.substr(begin, end == std::string_view::npos ? end : end - begin));
    if (end == std::string_view::npos) break;
    begin = end + 1;
  }
  return pieces;
}

long long tk_string::find(std::string_view text, std::string_view pattern, std::size_t start,
                          std::size_t count) {
  return find_in(text, pattern, start, count);
}

bool tk_string::ends_with(std::string_view text, std::string_view suffix, bool exact) {
  if (suffix.empty()) return true;
  if (suffix.size() > text.size()) return false;
  const auto tail = text.substr(text.size() - suffix.size());
  return exact ? tail == suffix : tk_equal_nocase(tail, suffix);
}

std::string tk_string::hex(const void* bytes, std::size_t length) {
  std::string out(length * 2 + 1, '\0');
  tk_to_hex(bytes, length, out.data());
  out.pop_back();
  return out;
}

std::u16string tk_wstring::replace_all(std::u16string& text, std::u16string_view from,
                                       std::u16string_view to) {
  TK_LOG(1, "tk_wstring::replace_all(%s,%s)", from, to);
  if (from.empty()) return text;  // nothing to find; an empty pattern would never advance
  std::size_t pos = 0;
  while ((pos = text.find(from, pos)) != std::u16string::npos) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
  return text;
}

std::u16string tk_wstring::to_lower(std::u16string& text) {
  TK_LOG(1, "tk_wstring::to_lower(%s)", text);
  text = tk_to_lower(text);
  return text;
}

long long tk_wstring::find(std::u16string_view text, std::u16string_view pattern, std::size_t start,
                           std::size_t count) {
  return find_in(text, pattern, start, count);
}

bool tk_wstring::ends_with(std::u16string_view text, std::u16string_view suffix, bool exact) {
  if (suffix.empty()) return true;
  if (suffix.size() > text.size()) return false;
  const auto tail = text.substr(text.size() - suffix.size());
  return exact ? tail == suffix : equal_folded(tail, suffix);
}

std::u16string tk_to_lower(std::u16string_view text) {
  if (text.empty()) return std::u16string();
  std::u16string out(text.size(), u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = u_strToLower(out.data(), static_cast<int32_t>(out.size()), text.data(),
                                static_cast<int32_t>(text.size()), "", &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    out.assign(static_cast<std::size_t>(length), u'\0');
    status = U_ZERO_ERROR;
    length = u_strToLower(out.data(), length, text.data(), static_cast<int32_t>(text.size()), "",
                          &status);
  }
  if (U_FAILURE(status)) return std::u16string(text);
  out.resize(static_cast<std::size_t>(length));
  return out;
}

bool tk_equal_nocase(std::u16string_view a, std::u16string_view b) {
  return equal_folded(a, b);
}

bool tk_equal_nocase(std::string_view a, std::string_view b) {
  if (a == b) return true;
  return equal_folded(tk_from_utf8_lossy(a), tk_from_utf8_lossy(b));
}

void tk_to_hex(const void* bytes, std::size_t length, char* out) {
  TK_ASSERT(out != nullptr);
  static constexpr char k_digits[] = "0123456789ABCDEF";
  const auto* in = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < length; ++i) {
    *out++ = k_digits[in[i] >> 4];
    *out++ = k_digits[in[i] & 0x0f];
  }
  *out = '\0';
}
