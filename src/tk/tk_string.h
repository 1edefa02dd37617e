#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Trims remove the blank U+0020 only; tabs and other white space stay.
std::string& tk_trim_right(std::string& text);
std::string& tk_trim_left(std::string& text);
std::string& tk_trim(std::string& text);
std::u16string& tk_trim_right(std::u16string& text);
std::u16string& tk_trim_left(std::u16string& text);
std::u16string& tk_trim(std::u16string& text);

struct tk_string {
  // Fills up to `length` with `fill`; a string already that long comes back unchanged.
  static std::string pad_right(std::string_view text, std::size_t length, char fill = ' ');
  static std::string pad_left(std::string_view text, std::size_t length, char fill = ' ');

  // The pieces between separators; "" gives no pieces, "a-" gives "a" and "".
  static std::vector<std::string> split(std::string_view text, char separator);

  // Position of the first `count` characters of `pattern` at or after `start`, or -1.
  static long long find(std::string_view text, std::string_view pattern, std::size_t start,
                        std::size_t count);

  // Tail comparison, exactly or with case folding; an empty suffix always matches.
  static bool ends_with(std::string_view text, std::string_view suffix, bool exact);

  // Two upper-case hexadecimal digits per byte, most significant nibble first.
  static std::string hex(const void* bytes, std::size_t length);
};

struct tk_wstring {
  // Replaces every `from` by `to`, searching on after the inserted text; changes `text` in place
  // and returns a copy.
  static std::u16string replace_all(std::u16string& text, std::u16string_view from,
                                    std::u16string_view to);

  // Root-locale lower-casing; changes `text` in place and returns a copy.
  static std::u16string to_lower(std::u16string& text);

  static long long find(std::u16string_view text, std::u16string_view pattern, std::size_t start,
                        std::size_t count);
  static bool ends_with(std::u16string_view text, std::u16string_view suffix, bool exact);
};

// Root-locale lower-casing without a trace line, for callers that are not
// tk_wstring::to_lower; text ICU cannot lower-case comes back unchanged.
std::u16string tk_to_lower(std::u16string_view text);

// Case-insensitive equality by Unicode case folding (narrow text is UTF-8).
bool tk_equal_nocase(std::u16string_view a, std::u16string_view b);
bool tk_equal_nocase(std::string_view a, std::string_view b);

// Writes the hexadecimal text of `length` bytes and a terminating NUL into `out`, which holds
// at least 2 * length + 1 characters; a null `out` is an internal error.
void tk_to_hex(const void* bytes, std::size_t length, char* out);
