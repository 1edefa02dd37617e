#pragma once

#include <string>
#include <string_view>

// UTF-8 and UTF-16 conversions into a caller's buffer, reusing its capacity and keeping
// embedded NULs. False (and an empty buffer) for ill-formed input.
bool ole_utf8_to_utf16(std::string_view in, std::u16string& out);
bool ole_utf16_to_utf8(std::u16string_view in, std::string& out);
