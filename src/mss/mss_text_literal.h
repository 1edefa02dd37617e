#pragma once

// The T-SQL literal of a text: N'...' with quotes doubled, a GUID with its marker as a GUID,
// NUL characters, runner commands and sqlcmd variables joined on outside the quotes, and
// UTF-16 written as UTF-8. The value literals (mss_literal) write their texts with it; the
// script row formatter (talvex_row_formatter) calls the fast forms straight from the bytes.

#include <array>
#include <string>
#include <string_view>

#include "ole/ole_variant.h"

// A text (VT_BSTR) value's literal, appended as UTF-8 to a caller's buffer: no allocation per
// field once the buffer has grown. A text holding a lone surrogate cannot be written and
// raises tk_exception "Cannot create string representation".
void mss_append_text_value(std::string& out, const ole_variant& text);
// The same for a text given as UTF-16.
void mss_append_text_literal(std::string& out, std::u16string_view text);

// For a writer that reads a text from its source itself, with detail traces off and no
// conversion rule taking texts: what mss_append_fld_str appends for it. A text of printable
// ASCII bytes alone, as every code page reads them, false for a text with a quote, a dollar
// sign or what may be a GUID; with `padded`, 16 bytes past the text's end may be read.
bool mss_append_ascii_text(std::string& out, std::string_view text, bool padded = false);
// The same for a text of single bytes that `utf8` maps to their UTF-8 sequences (up to
// three bytes, their count last; bytes below 0x80 to themselves); false for a text with a
// control character or a dollar sign, or what may be a GUID.
bool mss_append_mapped_text(std::string& out, std::string_view bytes,
                            const std::array<std::array<char, 4>, 256>& utf8, bool padded = false);

// Appends UTF-16 text as UTF-8, doubling every single quote when asked.
void mss_append_utf8(std::string& out, std::u16string_view text, bool double_quotes);
