#pragma once

#include <string>
#include <string_view>

// Text conversions. Wide text is UTF-16; narrow text leaving the program (paths, console,
// logs, profiles, scripts) is UTF-8, which is also what "ANSI" means on this platform.
// Every conversion stops at the first NUL of its input.

inline constexpr int tk_cp_ansi = -1;  // the system ANSI code page (UTF-8 here)
inline constexpr int tk_cp_utf8 = 65001;

// Failures raise tk_exception_ex at level 0 with "Cannot convert to UTF8 string: ",
// "Cannot convert to ANSI string: " or "Cannot convert to UNICODE string: ".
std::string tk_to_utf8(std::u16string_view text);
std::string tk_to_ansi(std::u16string_view text, int code_page = tk_cp_ansi);
std::u16string tk_from_utf8(std::string_view text);
std::u16string tk_from_ansi(std::string_view text);
std::u16string tk_from_codepage(std::string_view text, int code_page);

// Never fail: ill-formed input becomes U+FFFD. Used for traces and exception messages.
std::string tk_to_utf8_lossy(std::u16string_view text);
std::u16string tk_from_utf8_lossy(std::string_view text);

// True when the code page number names a converter this system has.
bool tk_is_codepage_known(int code_page);

// The most bytes one character takes in the code page (1 for single-byte code pages); 0 for
// an unknown code page.
int tk_codepage_char_size(int code_page);

// Replaces `out` with the decoded bytes, reusing its capacity: sequences the code page does
// not define, or cut short at the end, become U+FFFD instead of failing. Does not stop at NUL.
// The code page must be known.
void tk_decode_codepage(std::string_view bytes, int code_page, std::u16string& out);
