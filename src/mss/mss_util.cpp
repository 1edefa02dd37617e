#include "mss/mss_util.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mss/mss_names.h"
#include "mss/mss_server_facts.h"
#include "ole/ole_date.h"
#include "ole/ole_guid_extractor.h"
#include "tk/tk_block16.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "udb/t_ftd.h"
#include "udb/udb_custom_conversion.h"
#include "udb/udb_field.h"
#include "udb/udb_name_compare.h"
#include "udb/udb_names_map.h"
#include "udb/udb_relationships.h"
#include "udb/udb_schema.h"

namespace {

constexpr double k_max_float = 1.79e308;
constexpr double k_min_float = 2.23e-308;

// Integer digits of a decimal text without sign and leading zeros ("-0.5" has none).
int integer_digits(std::string_view s) {
  std::size_t i = (!s.empty() && s.front() == '-') ? 1 : 0;
  const std::size_t point = s.find('.');
  const std::size_t end = point == std::string_view::npos ? s.size() : point;
  while (i < end && s[i] == '0') ++i;
  return static_cast<int>(end > i ? end - i : 0);
}

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

void append_doubling(std::string& out, std::string_view s) {
  for (const char c : s) {
    out += c;
    if (c == '\'') out += '\'';
  }
}

template <class T>
void append_number(std::string& out, T value) {
  char buf[32];
  const auto result = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, static_cast<std::size_t>(result.ptr - buf));
}

// printf's "%.Ne", which is what the variant's text form of a double uses.
void append_scientific(std::string& out, double value, int precision) {
  char buf[40];
  const auto result =
      std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision);
  out.append(buf, static_cast<std::size_t>(result.ptr - buf));
}

bool is_hex_literal(std::string_view s) {
  if (s.size() < 2 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) return false;
  for (std::size_t i = 2; i < s.size(); ++i) {
    const char c = s[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

bool is_decimal_digits(std::string_view s) {
  for (const char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
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

// The literal of a non-text value from its text form (ASCII: numbers, dates, hex bytes).
void append_narrow_literal(std::string& out, std::string_view s, ole_vartype vt) {
  if (s.empty()) {
    out += "''";
    return;
  }
  if (vt == VT_DATE) {
    const ole_date date(s);
    char buf[ole_date::k_text_size];
    const std::string_view printed(buf, date.print(buf, true, true));
    out += '\'';
    const std::size_t zero = printed.find("0000-00-00");
    if (zero != std::string_view::npos) {
      TK_LOG(2, "Null date has been found");
      append_doubling(out, printed.substr(0, zero));
      out += "1899-12-30";
      append_doubling(out, printed.substr(zero + 10));
    } else {
      append_doubling(out, printed);
    }
    out += '\'';
    return;
  }
  if (ole_is_binary(vt)) {
    TK_LOG(1, "GOT BLOB!!!");
    if (s.size() < 2) return;
    if (is_hex_literal(s) || is_decimal_digits(s)) {
      out += s;
    } else {
      out += '\'';
      append_doubling(out, s);
      out += '\'';
    }
    return;
  }
  append_doubling(out, s);
}

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
      append_number(out, static_cast<int>(s[i]));
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

double safe_double(double d) {
  if (d > 0) {
    if (d >= k_max_float) return k_max_float;
    if (d <= k_min_float) return k_min_float;
  } else if (d < 0) {
    if (d <= -k_max_float) return -k_max_float;
    if (d >= -k_min_float) return -k_min_float;
  }
  return d;
}

// How a column holds dates, which decides both the range a value must keep and the literal's
// form: DATETIME holds 1753 to 9999 and reads only 'YYYY-MM-DDThh:mm:ss' the same under every
// SET LANGUAGE and SET DATEFORMAT; DATE holds years 1 to 9999 and reads 'YYYY-MM-DD' alike
// everywhere. TIME columns keep the general path.
enum class date_form { datetime, date, other };

date_form form_of(const t_ftd& column) {
  if (column.vartype != VT_DATE) return date_form::datetime;
  switch (column.reserved & 3) {
    case 2: {
      // A server before 2008 has no DATE: the column is DATETIME there.
      const mss_server_facts* facts = mss_server_facts::instance_ptr();
      const bool has_date = facts == nullptr || !facts->is_initialized() || facts->version() >= 5;
      return has_date ? date_form::date : date_form::datetime;
    }
    case 3:
      return date_form::other;
    default:
      return date_form::datetime;
  }
}

bool date_fits(const ole_systemtime& st, date_form form) {
  const int first_year = form == date_form::date ? 1 : 1753;
  return st.year >= first_year && st.year <= 9999 && st.month >= 1 && st.month <= 12 &&
         st.day >= 1 && st.day <= ole_days_in_month(st.year, st.month) && st.hour <= 23 &&
         st.minute <= 59 && st.second <= 59 && st.milliseconds <= 999;
}

bool date_in_range(const ole_variant& value) {
  ole_systemtime st;
  if (!ole_variant_time_to_systemtime(value.date(), st)) return false;
  return st.year >= 1753 && st.year <= 9999;
}

const ole_variant& latest_date() {
  static const ole_variant value = ole_variant::from_string("9999-12-30", VT_DATE);
  return value;
}

char* put_digits(char* p, unsigned value, int width) {
  for (int i = width - 1; i >= 0; --i, value /= 10) p[i] = static_cast<char>('0' + value % 10);
  return p + width;
}

// The literal of a date for a DATETIME or DATE column, printed straight from its parts; a
// value the column cannot hold becomes 9999-12-30.
void append_date_literal(std::string& out, const ole_systemtime& date, date_form form) {
  const ole_systemtime* st = &date;
  if (!date_fits(*st, form)) {
    TK_LOG(1, "Skip date-out-of-range");
    st = &latest_date().systemtime();
  }
  char buf[32];
  char* p = buf;
  *p++ = '\'';
  p = put_digits(p, st->year, 4);
  *p++ = '-';
  p = put_digits(p, st->month, 2);
  *p++ = '-';
  p = put_digits(p, st->day, 2);
  const bool has_time =
      st->hour != 0 || st->minute != 0 || st->second != 0 || st->milliseconds != 0;
  if (form == date_form::datetime || has_time) {
    *p++ = form == date_form::datetime ? 'T' : ' ';
    p = put_digits(p, st->hour, 2);
    *p++ = ':';
    p = put_digits(p, st->minute, 2);
    *p++ = ':';
    p = put_digits(p, st->second, 2);
    if (st->milliseconds != 0) {
      *p++ = '.';
      p = put_digits(p, st->milliseconds, 3);
    }
  }
  *p++ = '\'';
  out.append(buf, static_cast<std::size_t>(p - buf));
}

// A date column's default as a date, when it reads as one (empty otherwise).
ole_variant date_default(const t_ftd& column) {
  const ole_variant& def = column.def_value;
  if (column.vartype != VT_DATE) return ole_variant();
  if (def.vt() == VT_DATE) return def;
  if (def.vt() != VT_BSTR || def.text().empty()) return ole_variant();
  return ole_variant::from_string(tk_to_utf8_lossy(def.text()), VT_DATE);
}

// A logical value's literal as the column's values take it: a bit, or what a conversion
// rule writes instead.
std::u16string bool_literal(const ole_variant& value) {
  const udb_field field(std::u16string(), 1, value);
  if (udb_custom_conversion::is_acceptable2(field)) return udb_custom_conversion::handle2(field);
  return value.to_bool() ? u"1" : u"0";
}

// Whether a decimal's printed integer digits are more than the column leaves room for.
bool decimal_digits_out_of_range(int digits, const t_ftd& column) {
  if (column.reserved == 0 || column.get_precision() == 0) return false;
  const int room = static_cast<int>(column.get_precision()) - static_cast<int>(column.get_scale());
  return digits > room;
}

std::string& scratch() {
  thread_local std::string text;
  return text;
}

// to_mssql_str of the text of mssql_get_safe_variant(value), without building either.
void append_value_literal(std::string& out, const ole_variant& value, ole_vartype vt,
                          date_form form) {
  if (vt == VT_DATE && form != date_form::other) {
    append_date_literal(out, value.systemtime(), form);
    return;
  }
  // While detail traces are off, the common kinds print straight from the value; with them
  // on, the general path writes its traces.
  if (tk_log_gate > 1) {
    if (vt == VT_DECIMAL) {
      char buf[ole_decimal::k_text_size];
      out.append(buf, value.format_decimal(buf));
      return;
    }
    if (vt == VT_CY) {
      char buf[ole_currency::k_text_size];
      out.append(buf, value.cy().format(buf));
      return;
    }
  }
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
      out += "''";
      return;
    case VT_BSTR:
      mss_append_text_value(out, value);
      return;
    case VT_I1:
      append_number(out, static_cast<int>(value.i1()));
      return;
    case VT_I2:
      append_number(out, static_cast<int>(value.i2()));
      return;
    case VT_I4:
      append_number(out, value.i4());
      return;
    case VT_UI1:
      append_number(out, static_cast<unsigned>(value.ui1()));
      return;
    case VT_UI2:
      append_number(out, static_cast<unsigned>(value.ui2()));
      return;
    case VT_UI4:
    case VT_UINT:
      append_number(out, value.ui4());
      return;
    case VT_I8:
      append_number(out, value.i8());
      return;
    case VT_UI8:
      append_number(out, value.ui8());
      return;
    case VT_R4:
      append_scientific(out, static_cast<double>(value.r4()), 6);
      return;
    case VT_R8:
      mss_append_double(out, value.r8());
      return;
    case VT_BOOL:
      out += value.bool_val() == ole_variant_true ? '1' : '0';
      return;
    case VT_DATE: {
      const bool in_range = date_in_range(value);
      if (!in_range) TK_LOG(1, "Skip date-out-of-range");
      (in_range ? value : latest_date()).to_string(scratch());
      append_narrow_literal(out, scratch(), vt);
      return;
    }
    default:
      value.to_string(scratch());
      append_narrow_literal(out, scratch(), vt);
      return;
  }
}

}  // namespace

void mss_append_text_value(std::string& out, const ole_variant& text) {
  const literal_text literal(text);
  if (literal.empty()) {
    out += mss_current_unicode() ? "N''" : "''";
  } else {
    append_bstr_literal(out, literal);
  }
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

void mss_append_integer(std::string& out, std::int64_t value) {
  append_number(out, value);
}

void mss_append_double(std::string& out, double value) {
  if (value != safe_double(value)) TK_LOG(1, "Clamped double out of range");
  append_scientific(out, safe_double(value), 16);
}

bool mss_append_date_value(std::string& out, const ole_systemtime& date, const t_ftd& column) {
  const date_form form = form_of(column);
  if (form == date_form::other) return false;
  append_date_literal(out, date, form);
  return true;
}

bool mss_append_printed_decimal(std::string& out, std::string_view printed, int whole_digits,
                                const t_ftd& column) {
  // What does not fit the column is the general path's to clamp.
  if (column.reserved != 0 && whole_digits > static_cast<int>(column.get_precision()) -
                                                 static_cast<int>(column.get_scale()))
    return false;
  out += printed;
  return true;
}

void mss_append_utf8(std::string& out, std::u16string_view text, bool double_quotes) {
  append_utf8_run(out, text, double_quotes, false);
}

std::u16string get_mss_native_type(const t_ftd& column, bool type_only) {
  TK_LOG(2, "get_mss_native_type1(bTypeOnly=%d)", type_only ? 1 : 0);
  TK_LOG(2, "vartype=%08X, size=%d", static_cast<unsigned>(column.vartype),
         static_cast<int>(column.size));
  const mss_server_facts* facts = mss_server_facts::instance_ptr();
  const bool unicode = mss_current_unicode();
  const std::uint32_t size = column.size;
  if (facts != nullptr && facts->version() >= 5 && facts->is_initialized() &&
      column.vartype == VT_DATE) {
    if (column.reserved == 2) return u"date";
    if (column.reserved == 3) return u"time";
  }
  auto sized = [&](std::u16string type) {
    if (!type_only) {
      char buf[16];
      const int n = std::snprintf(buf, sizeof buf, "(%u) ", static_cast<unsigned>(size));
      for (int i = 0; i < n; ++i) type += static_cast<char16_t>(buf[i]);
    }
    return type;
  };
  switch (column.vartype) {
    case VT_I2:
    case VT_UI2:
      return u"smallint";
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
      return u"int";
    case VT_R4:
      return u"real";
    case VT_R8:
      return u"float";
    case VT_CY:
      // smallmoney stops at 214748.3647; a currency value needs money.
      return u"money";
    case VT_DATE:
      return u"datetime";
    case VT_BSTR:
      if (size == 0 || size > 4000) return unicode ? u"nvarchar(max)" : u"varchar(max)";
      return sized(unicode ? u"nvarchar" : u"varchar");
    case VT_BOOL:
      return u"bit";
    case VT_DECIMAL:
      TK_LOG(3, "get_mss_native_type: VT_DECIMAL(%d)", static_cast<int>(column.get_precision()));
      return column.get_precision() < 39 ? u"numeric" : u"float";
    case VT_I1:
    case VT_UI1:
      return u"tinyint";
    case VT_I8:
    case VT_UI8:
      return u"bigint";
    case VT_BLOB:
    case VT_BLOB_OBJECT:
    case VT_BINARY:
      if (size == 0 || size > 8000) return u"varbinary(max)";
      return sized(u"varbinary");
    default:
      return unicode ? u"nvarchar(max)" : u"varchar(max)";
  }
}

void mss_append_mssql_str(std::string& out, std::u16string_view text, ole_vartype vt) {
  TK_WLOG(1, "to_mssql_str(%s), unicode=%d", text, mss_current_unicode() ? 1 : 0);
  if (vt == VT_BSTR) {
    if (text.empty()) {
      out += mss_current_unicode() ? "N''" : "''";
    } else {
      append_bstr_literal(out, literal_text(text));
    }
    return;
  }
  std::string& narrow = scratch();
  narrow.clear();
  mss_append_utf8(narrow, text, false);
  append_narrow_literal(out, narrow, vt);
}

std::u16string to_mssql_str(std::u16string_view text, ole_vartype vt) {
  std::string out;
  mss_append_mssql_str(out, text, vt);
  return tk_from_utf8(out);
}

ole_variant mssql_get_safe_variant(const ole_variant& value) {
  TK_LOG(1, "mssql_get_safe_variant");
  if (value.vt() == VT_DATE && !date_in_range(value)) {
    TK_LOG(1, "Skip date-out-of-range");
    return latest_date();
  }
  if (value.vt() == VT_R8) return ole_variant(safe_double(value.r8()));
  return value;
}

const ole_systemtime& mss_safe_date(const ole_variant& value, bool from_year_one) {
  const ole_systemtime& st = value.systemtime();
  if (date_fits(st, from_year_one ? date_form::date : date_form::datetime)) return st;
  TK_LOG(1, "Skip date-out-of-range");
  return latest_date().systemtime();
}

bool dec_is_out_of_range(const udb_field& field, const t_ftd& column) {
  TK_ASSERT(field.get_type() == VT_DECIMAL);
  const ole_decimal& value = field.decimal();
  char buf[ole_decimal::k_text_size];
  const std::string_view text(buf, value.format(buf));
  const int digits = integer_digits(text);
  TK_LOG(2, "Got decimal: %s, scale=%d, prec=%d", text, static_cast<int>(value.scale), digits);
  if (column.reserved == 0 || column.get_precision() == 0) return false;
  const int room = static_cast<int>(column.get_precision()) - static_cast<int>(column.get_scale());
  return digits > room;
}

bool check_dec_str_prec_scale(std::u16string_view text, int precision, int scale) {
  TK_WLOG(1, "check_dec_str_prec_scale(%s,%d,%d)", text, precision - scale, scale);
  std::string narrow;
  for (const char16_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  if (narrow.find('.') != std::string::npos) {
    TK_LOG(1, "Decimal point is found");
  } else {
    TK_LOG(1, "Decimal point is not found");
  }
  if (integer_digits(narrow) <= precision - scale) return true;
  TK_LOG(1, "Precision is out of range");
  return false;
}

std::u16string gen_dec_value(const t_ftd* column, bool negative) {
  TK_ASSERT(column != nullptr);
  const int precision = static_cast<int>(column->get_precision());
  const int scale = static_cast<int>(column->get_scale());
  std::u16string out;
  if (negative) out += u'-';
  out.append(static_cast<std::size_t>(precision > scale ? precision - scale : 0), u'9');
  out += u'.';
  out.append(static_cast<std::size_t>(scale), u'9');
  return out;
}

void mss_append_fld_str(std::string& out, const udb_field& field, const t_ftd& column) {
  TK_LOG(1, "mss_get_fld_append_str");
  const std::size_t start = out.size();
  const ole_vartype vt = field.get_type();
  const date_form form = form_of(column);
  append_value_literal(out, field, vt, form);
  TK_LOG(2, "Got initial string: %s", std::string_view(out).substr(start));

  // The rules are asked only about values of a type one of them takes (and about every value
  // while detail traces are on, so that they show it).
  if ((tk_log_gate <= 1 || udb_custom_conversion::may_accept2(vt)) &&
      udb_custom_conversion::is_acceptable2(field)) {
    out.resize(start);
    // A literal the rule has ready as ASCII goes in as it is (while detail traces are off).
    const std::string_view ready =
        tk_log_gate > 1 ? udb_custom_conversion::ascii_literal2(field) : std::string_view();
    if (!ready.empty()) {
      out += ready;
    } else {
      mss_append_utf8(out, udb_custom_conversion::handle2(field), false);
    }
    TK_LOG(1, "Got string: %s", std::string_view(out).substr(start));
    return;
  }
  const std::string_view s = std::string_view(out).substr(start);
  if (vt == VT_NULL || (vt != VT_BSTR && (s.empty() || s == "''"))) {
    TK_LOG(1, "Put NULL-field");
    out.resize(start);
    if (column.b_not_null) {
      const ole_variant& def = column.def_value;
      const ole_variant date = form != date_form::other ? date_default(column) : ole_variant();
      if (date.vt() == VT_DATE) {
        append_date_literal(out, date.systemtime(), form);
      } else if (def.vt() == VT_BOOL) {
        mss_append_utf8(out, bool_literal(def), false);
      } else if (def.vt() == VT_BSTR) {
        mss_append_mssql_str(out, def.text(), column.vartype);
      } else {
        thread_local std::u16string def_text;
        def.to_wstring(def_text);
        mss_append_mssql_str(out, def_text, column.vartype);
      }
    } else {
      out += "NULL";
    }
  } else if (vt == VT_DECIMAL) {
    // The literal is the decimal's printed text, so it answers without printing again.
    const int digits = integer_digits(s);
    const bool out_of_range = tk_log_gate > 2 ? decimal_digits_out_of_range(digits, column)
                                              : dec_is_out_of_range(field, column);
    if (out_of_range) {
      TK_LOG(1, "Decimal is out of range");
      const ole_decimal& value = field.decimal();
      const std::u16string largest =
          gen_dec_value(&column, value.is_negative() && !value.is_zero());
      out.resize(start);
      mss_append_utf8(out, largest, false);
    } else if (column.reserved != 0) {
      const int precision = static_cast<int>(column.get_precision());
      const int scale = static_cast<int>(column.get_scale());
      if (digits > precision - scale) {
        TK_LOG(3, "Decimal value %s does not conform to precision/scale", s);
        out.resize(start);
        out += '0';
      }
    }
  }
  TK_LOG(1, "Got string: %s", std::string_view(out).substr(start));
}

std::u16string mss_get_fld_append_str(const udb_field* field, const t_ftd* column) {
  TK_ASSERT(field != nullptr && column != nullptr);
  std::string out;
  mss_append_fld_str(out, *field, *column);
  return tk_from_utf8(out);
}

void mss_append_default(std::u16string& out, const t_ftd& column) {
  const ole_variant& value = column.def_value;
  if (value.vt() == VT_BOOL) {
    out += u" DEFAULT " + bool_literal(value);
    return;
  }
  const std::u16string def = value.vt() == VT_BSTR ? value.text() : value.to_wstring();
  TK_WLOG(2, "Got safe default value: %s", def);
  if (def.empty()) return;
  if (column.vartype == VT_DATE && udb_names_equal_nocase(def, u"getdate()")) {
    // The server's clock, as xBase's DATE() and DATETIME() defaults read the machine's.
    out += column.reserved == 2 ? u" DEFAULT CAST(GETDATE() AS date)" : u" DEFAULT GETDATE()";
  } else if (column.vartype == VT_BSTR && column.reserved == 1) {
    if (udb_names_equal_nocase(def, u"newid()") ||
        udb_names_equal_nocase(def, u"uuid_generate_v4()")) {
      out += u" DEFAULT newid()";
    }
  } else if (const ole_variant date = date_default(column);
             date.vt() == VT_DATE && form_of(column) != date_form::other) {
    std::string literal;
    append_date_literal(literal, date.systemtime(), form_of(column));
    out += u" DEFAULT " + tk_from_utf8(literal);
  } else if (column.vartype == VT_BSTR || column.vartype == VT_DATE) {
    out += u" DEFAULT '";
    for (const char16_t c : def) {
      out += c;
      if (c == u'\'') out += u'\'';
    }
    out += u'\'';
  } else {
    out += u" DEFAULT " + def;
  }
}

std::u16string mss_server_column_type(const t_ftd& column) {
  if (!column.native_type.empty()) return column.native_type;
  if (udb_custom_conversion::is_acceptable1(column)) {
    std::u16string type = udb_custom_conversion::handle1(column);
    if (!type.empty()) return type;
  }
  const mss_server_facts* facts = mss_server_facts::instance_ptr();
  const bool modern = facts != nullptr && facts->version() >= 5;
  char buf[32];
  switch (column.vartype) {
    case VT_DECIMAL: {
      const std::uint32_t precision = column.get_precision();
      // No precision given: every integer part a decimal can have, with nine decimals.
      if (precision == 0) return u"numeric(38,9)";
      if (precision >= 39) return u"float";
      std::snprintf(buf, sizeof buf, "numeric(%u,%u)", precision, column.get_scale());
      return std::u16string(buf, buf + std::strlen(buf));
    }
    case VT_BSTR:
      if (column.reserved == 1 && modern) return u"uniqueidentifier";
      break;
    default:
      break;
  }
  std::u16string type = get_mss_native_type(column, false);
  while (!type.empty() && type.back() == u' ') type.pop_back();
  return type;
}

std::string mss_insert_prefix(std::string_view safe_table_utf8, const udb_schema& columns) {
  std::string out = "INSERT INTO ";
  out += safe_table_utf8;
  out += " (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) out += ", ";
    std::u16string bracketed;
    mss_append_bracketed(bracketed, columns[i].name);
    mss_append_utf8(out, bracketed, false);
  }
  return out + ") VALUES (";
}

std::u16string mss_fk_statement(const udb_names_map& names, const udb_relationship& fk,
                                const std::u16string& child_safe, const std::u16string& parent_safe,
                                std::u16string_view foreign_key) {
  const std::u16string child = names.get_tn_mapped_name(fk.fk_table, false);
  const std::u16string parent = names.get_tn_mapped_name(fk.pk_table, false);
  auto fields = [&](const std::u16string& table, const std::vector<std::u16string>& list) {
    std::u16string out;
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (i > 0) out += u", ";
      out += mss_quote_name(names.get_fn_mapped_name(table, list[i], true));
    }
    return out;
  };
  return u"ALTER TABLE " + child_safe + u" ADD CONSTRAINT " + mss_quote_name(fk.name) + u" " +
         std::u16string(foreign_key) + fields(child, fk.child_fields) + u") REFERENCES " +
         parent_safe + u"(" + fields(parent, fk.parent_fields) + u")";
}
