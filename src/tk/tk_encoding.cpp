#include "tk/tk_encoding.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <cerrno>
#include <map>
#include <memory>

#include "tk/tk_exception.h"

namespace {

std::string_view until_nul(std::string_view s) {
  return s.substr(0, s.find('\0'));
}
std::u16string_view until_nul(std::u16string_view s) {
  return s.substr(0, s.find(u'\0'));
}

struct converter_closer {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using converter_ptr = std::unique_ptr<UConverter, converter_closer>;

// Windows code page numbers to ICU converter names; ICU knows most of them under one of
// these spellings.
UConverter* open_converter(int code_page) {
  if (code_page <= 0) return nullptr;
  const std::string n = std::to_string(code_page);
  for (const std::string& name : {"windows-" + n, "cp" + n, "ibm-" + n}) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* c = ucnv_open(name.c_str(), &status);
    if (U_SUCCESS(status)) return c;
  }
  // Windows numbers the ISO 8859 parts 28591 to 28606.
  if (code_page > 28590 && code_page <= 28606) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* c = ucnv_open(("ISO-8859-" + std::to_string(code_page - 28590)).c_str(), &status);
    return U_SUCCESS(status) ? c : nullptr;
  }
  switch (code_page) {
    case 10000:
      return ucnv_open("macintosh", nullptr);
    default:
      return nullptr;
  }
}

// One converter per code page and thread, kept for the thread's life.
UConverter* converter_for(int code_page) {
  thread_local std::map<int, converter_ptr> cache;
  auto it = cache.find(code_page);
  if (it == cache.end()) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* c =
        code_page == tk_cp_utf8 ? ucnv_open("UTF-8", &status) : open_converter(code_page);
    it = cache.emplace(code_page, converter_ptr(c)).first;
  }
  return it->second.get();
}

std::u16string from_utf8(std::string_view text) {
  text = until_nul(text);
  std::u16string out(text.size(), u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string to_utf8(std::u16string_view text) {
  text = until_nul(text);
  std::string out(text.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                     static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

}  // namespace

std::string tk_to_utf8_lossy(std::u16string_view text) {
  return to_utf8(text);
}
std::u16string tk_from_utf8_lossy(std::string_view text) {
  return from_utf8(text);
}

std::string tk_to_utf8(std::u16string_view text) {
  return to_utf8(text);
}
std::u16string tk_from_utf8(std::string_view text) {
  return from_utf8(text);
}
std::u16string tk_from_ansi(std::string_view text) {
  return from_utf8(text);
}

std::string tk_to_ansi(std::u16string_view text, int code_page) {
  if (code_page == tk_cp_ansi || code_page == 0 || code_page == tk_cp_utf8) return to_utf8(text);
  UConverter* c = converter_for(code_page);
  if (c == nullptr) throw tk_exception_ex("Cannot convert to ANSI string: ", EINVAL, 0);
  text = until_nul(text);
  std::string out(
      static_cast<std::size_t>(UCNV_GET_MAX_BYTES_FOR_STRING(text.size(), ucnv_getMaxCharSize(c))),
      '\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = ucnv_fromUChars(c, out.data(), static_cast<int32_t>(out.size()),
                                         text.data(), static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) throw tk_exception_ex("Cannot convert to ANSI string: ", EILSEQ, 0);
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::u16string tk_from_codepage(std::string_view text, int code_page) {
  if (code_page == tk_cp_utf8) return from_utf8(text);
  UConverter* c = converter_for(code_page);
  if (c == nullptr) throw tk_exception_ex("Cannot convert to UNICODE string: ", EINVAL, 0);
  text = until_nul(text);
  std::u16string out(text.size() * 2 + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = ucnv_toUChars(c, out.data(), static_cast<int32_t>(out.size()), text.data(),
                                       static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) throw tk_exception_ex("Cannot convert to UNICODE string: ", EILSEQ, 0);
  out.resize(static_cast<std::size_t>(length));
  return out;
}

bool tk_is_codepage_known(int code_page) {
  return code_page == tk_cp_utf8 || converter_for(code_page) != nullptr;
}

int tk_codepage_char_size(int code_page) {
  if (code_page == tk_cp_utf8) return 4;
  UConverter* c = converter_for(code_page);
  return c == nullptr ? 0 : ucnv_getMaxCharSize(c);
}

void tk_decode_codepage(std::string_view bytes, int code_page, std::u16string& out) {
  // One unit per byte is enough for every code page the tables use; a longer result is
  // converted again into the room it needs.
  out.resize(bytes.size());
  for (int attempt = 0; attempt < 2; ++attempt) {
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    if (code_page == tk_cp_utf8) {
      u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, bytes.data(),
                           static_cast<int32_t>(bytes.size()), 0xFFFD, nullptr, &status);
    } else {
      UConverter* c = converter_for(code_page);
      TK_ASSERT(c != nullptr);
      ucnv_reset(c);
      length = ucnv_toUChars(c, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                             static_cast<int32_t>(bytes.size()), &status);
    }
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(static_cast<std::size_t>(length));
      continue;
    }
    // The substituting callbacks report no failure, only a full buffer's missing terminator.
    if (U_FAILURE(status)) throw tk_exception_ex("Cannot convert to UNICODE string: ", EILSEQ, 0);
    out.resize(static_cast<std::size_t>(length));
    return;
  }
}
