// Text literals: quotes doubled, GUIDs recognised, and NULs, runner commands and sqlcmd
// variables kept out of the quotes.

#include "mss/mss_text_literal.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mss/mss_server_facts.h"
#include "ole/ole_guid_extractor.h"
#include "tk/tk_block16.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"

namespace {

// Whether one of four UTF-16 units below 0x80 (as one little-endian word) is `unit`: a lane
// of the word xor the unit is then zero.
bool has_unit(std::uint64_t four, std::uint64_t unit) {
  const std::uint64_t x = four ^ (unit * 0x0001000100010001ull);
  return ((x - 0x0001000100010001ull) & ~x & 0x8000800080008000ull) != 0;
}

// Whether one of four UTF-16 units below 0x80 (as one little-endian word) is a control
// character (below 0x20).
bool has_control_unit(std::uint64_t four) {
  return ((four - 0x0020002000200020ull) & ~four & 0x8000800080008000ull) != 0;
}

// What the text of a literal holds that a script runner could act on.
struct literal_marks {
  bool line_break = false;  // a CR or LF: the line after it may read as a runner's command
  bool variable = false;    // "$(": sqlcmd would put a scripting variable in its place
};

// Appends UTF-16 text as UTF-8, doubling single quotes when asked, up to the first NUL unit
// when asked to stop there; returns the count of units taken. With `marks` given, they are set
// from the units taken (looked for only when stopping at NUL).
std::size_t append_utf8_run(std::string& out, std::u16string_view text, bool double_quotes,
                            bool stop_at_nul, literal_marks* marks = nullptr) {
  // Written through a pointer into room made beforehand: a UTF-16 unit never takes more than
  // three bytes (a doubled quote two, a surrogate pair four for its two units).
  const std::size_t start = out.size();
  const std::size_t n = text.size();
  out.resize(start + 3 * n);
  char* const base = out.data();
  char* p = base + start;
  const char16_t* const units = text.data();
  std::size_t i = 0;
  for (; i < n; ++i) {
    bool at_other = false;  // unit i is known not to be plain ASCII
#if defined(__SSE2__)
    // Runs of plain ASCII (no quote to double, no control character or dollar sign to look at
    // when stopping at NUL), eight units at a time. A unit from 0x8000 up compares as negative
    // against the control limit, but it is not ASCII anyway.
    const __m128i high_bits = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i quotes = _mm_set1_epi16(double_quotes ? 0x27 : 0x7FFF);
    const __m128i control_limit = _mm_set1_epi16(stop_at_nul ? 0x20 : 0);
    const __m128i dollars = _mm_set1_epi16(stop_at_nul ? 0x24 : 0x7FFF);
    const __m128i zero = _mm_setzero_si128();
    while (i + 8 <= n) {
      const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
      const __m128i special = _mm_or_si128(
          _mm_or_si128(_mm_cmpeq_epi16(eight, quotes), _mm_cmpeq_epi16(eight, dollars)),
          _mm_cmplt_epi16(eight, control_limit));
      const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(eight, high_bits), zero);
      const auto plain = static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(special, ascii)));
      // All eight bytes are stored (the room is there); only the plain ones before the first
      // other unit count.
      _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(eight, eight));
      const auto taken = static_cast<std::size_t>(std::countr_one(plain) / 2);
      p += taken;
      i += taken;
      if (taken < 8) {
        at_other = true;
        break;
      }
    }
#endif
    // Runs of ASCII without quotes or (when stopping at NUL) control characters and dollar
    // signs, four units at a time.
    while (!at_other && i + 4 <= n) {
      std::uint64_t four;
      std::memcpy(&four, units + i, sizeof four);
      if ((four & 0xFF80FF80FF80FF80ull) != 0 || (double_quotes && has_unit(four, u'\'')) ||
          (stop_at_nul && (has_control_unit(four) || has_unit(four, u'$'))))
        break;
      p[0] = static_cast<char>(four);
      p[1] = static_cast<char>(four >> 16);
      p[2] = static_cast<char>(four >> 32);
      p[3] = static_cast<char>(four >> 48);
      p += 4;
      i += 4;
    }
    if (i == n) break;
    char32_t c = text[i];
    if (c < 0x80) {
      if (c == 0 && stop_at_nul) break;
      if (marks != nullptr) {
        if (c == u'\r' || c == u'\n') marks->line_break = true;
        if (c == u'$' && i + 1 < n && text[i + 1] == u'(') marks->variable = true;
      }
      *p++ = static_cast<char>(c);
      if (double_quotes && c == U'\'') *p++ = '\'';
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      const bool paired =
          c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
      if (!paired) {
        out.resize(static_cast<std::size_t>(p - base));
        throw tk_exception("Cannot create string representation", 0);
      }
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
      *p++ = static_cast<char>(0xE0 | (c >> 12));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    } else {
      *p++ = static_cast<char>(0xF0 | (c >> 18));
      *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  out.resize(static_cast<std::size_t>(p - base));
  return i;
}

bool is_hex_unit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The text begins with a GUID in its 8-4-4-4-12 form.
bool starts_with_guid(std::u16string_view g) {
  if (g.size() < 36) return false;
  for (std::size_t i = 0; i < 36; ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? g[i] != u'-' : !is_hex_unit(g[i])) return false;
  }
  return true;
}

// Texts the GUID extractor would look at: 36 to 45 characters without the blanks around,
// with the marker "guid" or "GUID". Checked first so that ordinary text costs no copy. In
// UTF-8, where a character may take several bytes, only the lower bound can be checked: the
// answer is then "perhaps", and the UTF-16 text has the last word.
template <class Char>
bool may_hold_guid(std::basic_string_view<Char> s) {
  using view = std::basic_string_view<Char>;
  if (s.size() < 36) return false;  // shorter even with its blanks
  const std::size_t first = s.find_first_not_of(Char{' '});
  if (first == view::npos) return false;
  const std::size_t last = s.find_last_not_of(Char{' '});
  const std::size_t length = last - first + 1;
  if (length < 36 || (sizeof(Char) == 2 && length > 45)) return false;
  constexpr Char lower[] = {'g', 'u', 'i', 'd'};
  constexpr Char upper[] = {'G', 'U', 'I', 'D'};
  return s.find(view(lower, 4)) != view::npos || s.find(view(upper, 4)) != view::npos;
}

// The text of a literal: its UTF-8 form when a reader gave it, and its UTF-16 form, which a
// value given as UTF-8 works out only when asked (for the rare texts the UTF-8 form cannot
// settle).
class literal_text {
 public:
  explicit literal_text(std::u16string_view wide) : wide_(wide) {}
  explicit literal_text(const ole_variant& value) : value_(&value), utf8_(value.utf8_form()) {}

  std::u16string_view wide() const {
    return value_ != nullptr ? std::u16string_view(value_->text()) : wide_;
  }
  const std::string* utf8() const { return utf8_; }
  bool empty() const { return utf8_ != nullptr ? utf8_->empty() : wide().empty(); }

 private:
  std::u16string_view wide_;
  const ole_variant* value_ = nullptr;
  const std::string* utf8_ = nullptr;
};

// Whether the line beginning at `p` would read as a command of a script runner instead of as
// part of the statement: after blanks, a ':' command or "!!", or one of the words GO, RESET,
// ED, QUIT and EXIT (any case) not followed by a letter. Runners act on such a line even inside
// a quoted literal: GO cuts the statement in two, QUIT and EXIT end the whole run.
bool runner_command_at(const char* p, const char* end) {
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  if (p == end) return false;
  if (*p == ':' || (end - p >= 2 && p[0] == '!' && p[1] == '!')) return true;
  char word[6] = {};
  std::size_t length = 0;
  for (; p < end; ++p) {
    const auto lower = static_cast<char>(*p | 0x20);
    if (lower < 'a' || lower > 'z') break;
    if (length == 5) return false;
    word[length++] = lower;
  }
  if (p < end && *p == '_') return false;
  const std::string_view w(word, length);
  return w == "go" || w == "reset" || w == "ed" || w == "quit" || w == "exit";
}

bool has_runner_command(std::string_view text) {
  const char* const end = text.data() + text.size();
  for (const char line_break : {'\n', '\r'}) {
    const char* p = text.data();
    while ((p = static_cast<const char*>(
                std::memchr(p, line_break, static_cast<std::size_t>(end - p)))) != nullptr) {
      if (runner_command_at(++p, end)) return true;
    }
  }
  return false;
}

#if defined(__SSE2__)
// One bit per byte of the block that a literal must look at: a quote, a dollar sign or a
// control character.
unsigned special_bytes(__m128i sixteen) {
  const __m128i quote = _mm_or_si128(_mm_cmpeq_epi8(sixteen, _mm_set1_epi8('\'')),
                                     _mm_cmpeq_epi8(sixteen, _mm_set1_epi8('$')));
  const __m128i control = _mm_cmpeq_epi8(
      _mm_and_si128(sixteen, _mm_set1_epi8(static_cast<char>(0xE0))), _mm_setzero_si128());
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(quote, control)));
}
#endif

#if defined(__SSE2__)
// One bit per byte of the block at 0x7F or above, where printable ASCII ends.
unsigned outside_printable(__m128i sixteen) {
  const __m128i del = _mm_cmpeq_epi8(sixteen, _mm_set1_epi8(static_cast<char>(0x7F)));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(sixteen, del)));
}

// Sixteen bytes of text from `src`; `padded` text may be read past its end.
__m128i load_block16(const char* src, std::size_t left, bool padded) {
  return padded ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(src))
                : tk_load_block16(src, left);
}
#endif

// Bytes before the first that a literal must look at.
std::size_t plain_prefix(std::string_view text) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    if (const unsigned special = special_bytes(sixteen); special != 0)
      return i + static_cast<std::size_t>(std::countr_zero(special));
  }
#endif
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\'' || c == '$' || static_cast<unsigned char>(c) < 0x20) break;
  }
  return i;
}

// Appends UTF-8 text with single quotes doubled; false at a NUL byte, which cannot stand
// inside a literal. `marks` are set from the bytes taken.
bool append_doubled_utf8(std::string& out, std::string_view whole, literal_marks& marks) {
  // Plain text (most of it) is appended as it is, without first preparing (and clearing) room
  // for every byte doubled.
  const std::size_t plain = plain_prefix(whole);
  out.append(whole.data(), plain);
  if (plain == whole.size()) return true;
  const std::string_view text = whole.substr(plain);
  // The rest is written through a pointer into room for two bytes per byte (a doubled quote)
  // and a block.
  const std::size_t start = out.size();
  out.resize(start + 2 * text.size() + 16);
  char* const base = out.data();
  char* p = base + start;
  const char* src = text.data();
  const char* const end = src + text.size();
  while (src != end) {
#if defined(__SSE2__)
    // Sixteen bytes at a time, the last few through a padded copy: stored as they are, and
    // those before the first quote, control character or dollar sign count.
    const auto left = static_cast<std::size_t>(end - src);
    const __m128i sixteen = tk_load_block16(src, left);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), sixteen);
    const std::size_t run =
        std::min<std::size_t>(left, std::countr_zero(special_bytes(sixteen) | 0x10000u));
    src += run;
    p += run;
    if (src == end) break;
#endif
    const char c = *src++;
    if (c == '\0') return false;
    if (c == '\r' || c == '\n') marks.line_break = true;
    if (c == '$' && src != end && *src == '(') marks.variable = true;
    *p++ = c;
    if (c == '\'') *p++ = '\'';
  }
  out.resize(static_cast<std::size_t>(p - base));
  return true;
}

// Quoted runs joined by NCHAR(n) (CHAR(n) without Unicode) for every unit that cannot stand
// inside them: NUL always, and line breaks when `join_breaks` is set, which keeps the whole
// literal on one line of the script. Joined line breaks follow each other directly. With
// `split_variables`, a run also ends between "$" and "(", so that sqlcmd finds no variable.
void append_joined_runs(std::string& out, std::u16string_view s, bool unicode, bool join_breaks,
                        bool split_variables) {
  const std::string_view open = unicode ? "N'" : "'";
  const std::string_view join = unicode ? "NCHAR(" : "CHAR(";
  const auto is_break = [&](std::size_t i) {
    return join_breaks && i < s.size() && (s[i] == u'\r' || s[i] == u'\n');
  };
  out += open;
  std::size_t begin = 0;
  for (std::size_t i = 0;; ++i) {
    const bool end = i == s.size();
    const bool split = !end && split_variables && i > 0 && s[i] == u'(' && s[i - 1] == u'$';
    if (!end && !split && s[i] != 0 && !is_break(i)) continue;
    append_utf8_run(out, s.substr(begin, i - begin), true, false);
    if (end) break;
    out += "' + ";
    if (split) {
      out += open;
      begin = i;
      continue;
    }
    for (;; ++i) {
      out += join;
      char code[8];
      const auto printed = std::to_chars(code, code + sizeof code, static_cast<int>(s[i]));
      out.append(code, printed.ptr);
      out += ") + ";
      if (!is_break(i) || !is_break(i + 1)) break;
    }
    out += open;
    begin = i + 1;
  }
  out += '\'';
}

// A quoted text literal: N'...' (or '...' without Unicode), quotes doubled. A NUL character
// cannot stand inside a literal of a script, so it is joined on as NCHAR(0); so are the line
// breaks of a text with a line that would read as a script runner's command, and "$(" is
// split in two.
void append_quoted_text(std::string& out, const literal_text& text, bool unicode) {
  const std::size_t start = out.size();
  out += unicode ? "N'" : "'";
  literal_marks marks;
  const std::string* utf8_form = text.utf8();
  const bool whole = utf8_form != nullptr ? append_doubled_utf8(out, *utf8_form, marks)
                                          : append_utf8_run(out, text.wide(), true, true, &marks) ==
                                                text.wide().size();
  if (whole) {
    out += '\'';
  } else {
    // The text after the first NUL has not been looked at.
    out.resize(start);
    append_joined_runs(out, text.wide(), unicode, false, false);
    marks.line_break = true;
    marks.variable = text.wide().find(u"$(") != std::u16string_view::npos;
  }
  const bool join_breaks =
      marks.line_break && has_runner_command(std::string_view(out).substr(start));
  if (join_breaks || marks.variable) {
    out.resize(start);
    append_joined_runs(out, text.wide(), unicode, join_breaks, marks.variable);
  }
}

void append_bstr_literal(std::string& out, const literal_text& text) {
  const std::string* utf8_form = text.utf8();
  if ((utf8_form == nullptr || may_hold_guid(std::string_view(*utf8_form))) &&
      may_hold_guid(text.wide())) {
    const std::u16string_view s = text.wide();
    const ole_guid_extractor extractor(s);
    if (extractor.found()) {
      const std::u16string guid = extractor.guid();
      if (starts_with_guid(guid)) {
        TK_LOG(1, "BSTR IS AN GUID");
        out += '\'';
        mss_append_utf8(out, guid, true);
        out += '\'';
        return;
      }
    }
  }
  append_quoted_text(out, text, mss_current_unicode());
}

void append_text_literal(std::string& out, const literal_text& text) {
  if (text.empty()) {
    out += mss_current_unicode() ? "N''" : "''";
  } else {
    append_bstr_literal(out, text);
  }
}

}  // namespace

void mss_append_text_value(std::string& out, const ole_variant& text) {
  append_text_literal(out, literal_text(text));
}

void mss_append_text_literal(std::string& out, std::u16string_view text) {
  append_text_literal(out, literal_text(text));
}

bool mss_append_ascii_text(std::string& out, std::string_view text, [[maybe_unused]] bool padded) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i < text.size(); i += 16) {
    const __m128i sixteen = load_block16(text.data() + i, text.size() - i, padded);
    const unsigned odd = special_bytes(sixteen) | outside_printable(sixteen);
    const std::size_t left = text.size() - i;
    if ((left >= 16 ? odd : odd & ((1u << left) - 1)) != 0) return false;
  }
#else
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F || c == '\'' || c == '$') return false;
  }
#endif
  if (may_hold_guid(text)) return false;
  out += mss_current_unicode() ? "N'" : "'";
  out += text;
  out += '\'';
  return true;
}

bool mss_append_mapped_text(std::string& out, std::string_view bytes,
                            const std::array<std::array<char, 4>, 256>& utf8,
                            [[maybe_unused]] bool padded) {
  const std::size_t start = out.size();
  const std::string_view open = mss_current_unicode() ? "N'" : "'";
  // Room for three bytes per byte (a doubled quote takes two), a block and the closing quote.
  out.resize(start + open.size() + 3 * bytes.size() + 17);
  char* const base = out.data();
  char* p = base + start;
  std::memcpy(p, open.data(), open.size());
  p += open.size();
  char* const body = p;
  const char* src = bytes.data();
  const char* const end = src + bytes.size();
  while (src != end) {
#if defined(__SSE2__)
    // Sixteen bytes at a time: stored as they are, and those before the first that is not
    // plain ASCII count.
    const auto left = static_cast<std::size_t>(end - src);
    const __m128i sixteen = load_block16(src, left, padded);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), sixteen);
    const unsigned odd = special_bytes(sixteen) | outside_printable(sixteen);
    const std::size_t run = std::min<std::size_t>(left, std::countr_zero(odd | 0x10000u));
    src += run;
    p += run;
    if (src == end) break;
#endif
    const std::array<char, 4>& sequence = utf8[static_cast<unsigned char>(*src++)];
    if (sequence[3] != 1) {
      std::memcpy(p, sequence.data(), 4);
      p += sequence[3];
      continue;
    }
    const char c = sequence[0];
    if (static_cast<unsigned char>(c) < 0x20 || c == '$') {
      out.resize(start);
      return false;
    }
    *p++ = c;
    if (c == '\'') *p++ = '\'';
  }
  if (may_hold_guid(std::string_view(body, static_cast<std::size_t>(p - body)))) {
    out.resize(start);
    return false;
  }
  *p++ = '\'';
  out.resize(static_cast<std::size_t>(p - base));
  return true;
}

void mss_append_utf8(std::string& out, std::u16string_view text, bool double_quotes) {
  append_utf8_run(out, text, double_quotes, false);
}
