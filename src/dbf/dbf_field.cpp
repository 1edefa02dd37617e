#include "dbf/dbf_field.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ole/ole_number_text.h"
#include "tk/tk_log.h"

namespace {

std::uint64_t be(const char* p, int n) {
  std::uint64_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | static_cast<unsigned char>(p[i]);
  return v;
}

bool all_zero(const char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] != '\0') return false;
  }
  return true;
}

// Civil date of a count of days since 1970-01-01 (proleptic Gregorian calendar).
void civil_from_days(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
}

// The date `days` after 0001-01-01 at `seconds` (below a day) and `ms` past midnight.
void set_date_time(std::int64_t days, std::int64_t seconds, unsigned ms, ole_variant& out) {
  std::int64_t year = 0;
  unsigned month = 0;
  unsigned mday = 0;
  civil_from_days(days - dbf_days_0001_to_1970, year, month, mday);
  if (year > 9999) {
    // No date value reaches that far; the field has no usable value.
    out.set_empty();
    return;
  }
  ole_systemtime st;
  st.year = static_cast<std::uint16_t>(year);
  st.month = static_cast<std::uint16_t>(month);
  st.day = static_cast<std::uint16_t>(mday);
  st.day_of_week = static_cast<std::uint16_t>((days + 1) % 7);  // 0001-01-01 was a Monday
  st.hour = static_cast<std::uint16_t>(seconds / 3600);
  st.minute = static_cast<std::uint16_t>(seconds % 3600 / 60);
  st.second = static_cast<std::uint16_t>(seconds % 60);
  st.milliseconds = static_cast<std::uint16_t>(ms);
  TK_LOG(1, "SYSTEMTIME=%04d-%02d-%02d %02d:%02d:%02d", st.year, st.month, st.day, st.hour,
         st.minute, st.second);
  out.set_date(st);
}

// Julian day and milliseconds since midnight; milliseconds are dropped after rounding
// 999 up into the next second, and whole days of seconds carry into the date.
void decode_datetime(const char* bytes, ole_variant& out) {
  TK_LOG(1, "Processing as DATETIME");
  const std::int64_t day = dbf_little_endian<std::int32_t>(bytes);
  const std::int64_t ms = dbf_little_endian<std::int32_t>(bytes + 4);
  if (day < dbf_julian_day_0001) {
    out.set_empty();
    return;
  }
  std::int64_t seconds = (ms + 1) / 1000;
  if (seconds < 0) seconds = 0;
  const std::int64_t days = day - dbf_julian_day_0001 + seconds / 86400;
  seconds %= 86400;
  TK_LOG(1, "lDay=%d, lHour=%d, lMin=%d, lSec=%d", static_cast<int>(day - dbf_julian_day_0001),
         static_cast<int>(seconds / 3600), static_cast<int>(seconds % 3600 / 60),
         static_cast<int>(seconds % 60));
  set_date_time(days, seconds, 0, out);
}

// dBase 7 timestamp: milliseconds since 0000-12-31 as a plain big-endian double. Zero (a
// blank field) and values before 0001-01-01 or past the last date have no date.
void decode_timestamp(const char* bytes, ole_variant& out) {
  TK_LOG(1, "Processing as TIMESTAMP");
  const double ms = std::bit_cast<double>(be(bytes, 8));
  constexpr double k_last = 3652060.0 * dbf_ms_per_day;  // past 9999-12-31
  if (!(ms >= dbf_ms_per_day && ms < k_last)) {
    out.set_empty();
    return;
  }
  const auto whole = static_cast<std::int64_t>(ms);
  const std::int64_t days = whole / dbf_ms_per_day - 1;
  const std::int64_t of_day = whole % dbf_ms_per_day;
  set_date_time(days, of_day / 1000, static_cast<unsigned>(of_day % 1000), out);
}

// dBase 7 keeps numbers so that their bytes sort as the numbers do: integers big-endian with
// the sign bit flipped, doubles with the sign bit set when positive and every bit inverted
// when negative. All-zero bytes are a blank field.
void decode_sortable_int(const char* bytes, ole_variant& out) {
  TK_LOG(1, "Processing as INTEGER");
  if (all_zero(bytes, 4)) {
    out.set_empty();
    return;
  }
  out.set_i4(static_cast<std::int32_t>(static_cast<std::uint32_t>(be(bytes, 4)) ^ 0x80000000u));
}

void decode_sortable_double(const char* bytes, ole_variant& out) {
  TK_LOG(1, "Processing as DOUBLE");
  constexpr std::uint64_t k_sign = 0x8000000000000000ull;
  std::uint64_t bits = be(bytes, 8);
  if (bits == 0) {
    out.set_empty();
    return;
  }
  bits = (bits & k_sign) != 0 ? bits & ~k_sign : ~bits;
  const double value = std::bit_cast<double>(bits);
  if (std::isnan(value)) {
    out.set_empty();  // no number to write
    return;
  }
  out.set_r8(value);
}

// Length of the text without its trailing blanks, which fill most of a wide C field: looked
// at eight bytes at a time from the end.
std::size_t trimmed_length(std::string_view text) {
  std::size_t n = text.size();
  while (n >= 8) {
    std::uint64_t eight;
    std::memcpy(&eight, text.data() + n - 8, sizeof eight);
    // Little-endian: the last byte is the most significant one, and a blank xor blanks is 0.
    const std::uint64_t other = eight ^ 0x2020202020202020ull;
    if (other != 0) return n - static_cast<std::size_t>(std::countl_zero(other) / 8);
    n -= 8;
  }
  while (n > 0 && text[n - 1] == ' ') --n;
  return n;
}

// Bytes of a V or Q value: the whole field, or as many as its last byte says when the
// field's length bit is set.
std::size_t length_of(const char* bytes, const dbf_field_layout& layout, const char* record) {
  if (layout.width == 0 || !layout.length_bit.is_set(record)) return layout.width;
  return std::min<std::size_t>(static_cast<unsigned char>(bytes[layout.width - 1]),
                               layout.width - 1);
}

// Bytes before the first NUL, or the width. Most text-read fields (numbers, dates, short
// texts) are narrower than a library call is worth.
std::size_t text_length(const char* bytes, std::size_t width) {
  if (width > 16) {
    const void* nul = std::memchr(bytes, '\0', width);
    return nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes) : width;
  }
  std::size_t n = 0;
  while (n < width && bytes[n] != '\0') ++n;
  return n;
}

bool is_ascii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

dbf_field::dbf_field(const dbf_field_layout& layout) {
  name = layout.name;
  size = static_cast<std::int32_t>(layout.size);
}

dbf_field::dbf_field(const dbf_field_layout& layout, const char* record,
                     const dbf_char_table& chars)
    : dbf_field(layout) {
  TK_LOG(1, "dbf_field::ctor");
  dbf_decode_buffers buffers;
  get_variant(record, layout, chars, *this, buffers);
}

std::string_view dbf_field::text_of(const char* record, const dbf_field_layout& layout) {
  const char* const bytes = record + layout.offset;
  if (layout.fd.field_type() == 'C') {
    const std::string_view text(bytes, text_length(bytes, layout.width));
    return text.substr(0, trimmed_length(text));
  }
  // Numbers and dates stand at the right of their field: the blanks before them are skipped
  // first, and only the rest is searched for a NUL.
  std::size_t first = 0;
  while (first < layout.width && bytes[first] == ' ') ++first;
  return std::string_view(bytes + first, text_length(bytes + first, layout.width - first));
}

bool dbf_field::plain_date(std::string_view text, ole_systemtime& st) {
  if (text.size() != 8) return false;
  unsigned digits[8];
  for (std::size_t i = 0; i < 8; ++i) {
    digits[i] = static_cast<unsigned char>(text[i]) - static_cast<unsigned>('0');
    if (digits[i] > 9) return false;
  }
  st = ole_systemtime();
  st.year =
      static_cast<std::uint16_t>(digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3]);
  st.month = static_cast<std::uint16_t>(digits[4] * 10 + digits[5]);
  st.day = static_cast<std::uint16_t>(digits[6] * 10 + digits[7]);
  return st.year >= 1 && st.month >= 1 && st.month <= 12 && st.day >= 1 &&
         st.day <= ole_days_in_month(st.year, st.month);
}

bool dbf_field::plain_i4(std::string_view text, std::int32_t& value) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::size_t first = negative ? 1 : 0;
  const std::size_t n = text.size() - first;
  if (n == 0 || n > 9) return false;
  std::int32_t magnitude = 0;
  for (std::size_t i = first; i < text.size(); ++i) {
    const unsigned digit = static_cast<unsigned char>(text[i]) - static_cast<unsigned>('0');
    if (digit > 9) return false;
    magnitude = magnitude * 10 + static_cast<std::int32_t>(digit);
  }
  value = negative ? -magnitude : magnitude;
  return true;
}

std::size_t dbf_field::print_decimal(const char* record, const dbf_field_layout& layout,
                                     char (&out)[k_print_size], int& whole_digits) {
  const std::uint32_t width = layout.width;
#if defined(__SSE2__)
  if (width <= 32) {
    // One bit per byte of the field (32 at most), for each kind of byte.
    const char* const bytes = record + layout.offset;
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16));
    const auto bits = [&](char c) {
      const __m128i wanted = _mm_set1_epi8(c);
      return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, wanted))) |
             static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, wanted))) << 16;
    };
    const auto digit_bits = [](__m128i block) {
      const __m128i d = _mm_sub_epi8(block, _mm_set1_epi8('0'));
      return static_cast<std::uint32_t>(
          _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d)));
    };
    const auto below = [](std::uint32_t n) {
      return n >= 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << n) - 1;
    };
    std::uint32_t text = below(width);
    // The text ends at the first NUL.
    if (const std::uint32_t nul = bits('\0') & text; nul != 0) text &= (nul - 1) & ~nul;
    const std::uint32_t shown = text & ~bits(' ');
    if (shown == 0) return k_blank;
    const auto first = static_cast<std::uint32_t>(std::countr_zero(shown));
    text &= ~below(first);
    const auto end = 32 - static_cast<std::uint32_t>(std::countl_zero(text));
    const bool negative = ((bits('-') >> first) & 1) != 0;
    const std::uint32_t body = negative ? text & (text - 1) : text;
    const std::uint32_t digits = (digit_bits(low) | digit_bits(high) << 16) & body;
    const std::uint32_t point = bits('.') & body;
    // Digits and at most one point, so the digits are the body's bytes but the point.
    const std::uint32_t count = end - first - (negative ? 1 : 0) - (point != 0 ? 1 : 0);
    if ((body & ~(digits | point)) != 0 || (point & (point - 1)) != 0 || count == 0 || count > 18)
      return 0;
    const std::uint32_t point_at =
        point != 0 ? static_cast<std::uint32_t>(std::countr_zero(point)) : end;
    const std::uint32_t nonzero = digits & ~bits('0');
    // Whole digits from the first that is not 0 to the point; decimals up to the last that
    // is not 0. Each run is copied as a block of 32 bytes, of which its own count.
    const std::uint32_t whole = nonzero & below(point_at);
    const std::uint32_t fraction = nonzero & ~below(point_at);
    char* p = out;
    if (whole == 0 && fraction == 0) {
      *p++ = '0';  // zero has no sign
      whole_digits = 0;
    } else {
      if (negative) *p++ = '-';
      if (whole == 0) {
        *p++ = '0';
        whole_digits = 0;
      } else {
        const auto from = static_cast<std::uint32_t>(std::countr_zero(whole));
        std::memcpy(p, bytes + from, 32);
        p += point_at - from;
        whole_digits = static_cast<int>(point_at - from);
      }
      if (fraction != 0) {
        std::memcpy(p, bytes + point_at, 32);
        p += 32 - static_cast<std::uint32_t>(std::countl_zero(fraction)) - point_at;
      }
    }
    return static_cast<std::size_t>(p - out);
  }
#endif
  const std::string_view text = text_of(record, layout);
  if (text.empty()) return k_blank;
  char printed[ole_decimal::k_text_size];
  const std::size_t size = ole_decimal::print_plain(text, printed);
  std::memcpy(out, printed, size);
  const std::string_view shown(printed, size);
  const std::size_t sign = shown.starts_with('-') ? 1 : 0;
  const std::size_t point = std::min(shown.find('.'), size);
  whole_digits = size == 0 || shown[sign] == '0' ? 0 : static_cast<int>(point - sign);
  return size;
}

bool dbf_field::get_variant(const char* record, const dbf_field_layout& layout,
                            const dbf_char_table& chars, ole_variant& out,
                            dbf_decode_buffers& buffers) {
  const char* const bytes = record + layout.offset;
  const char letter = layout.fd.field_type();
  TK_LOG(1, "dbf_field::get_variant(%s, '%c')", layout.fd.name(), letter);
  const std::uint32_t width = layout.width;
  switch (layout.decode) {
    case dbf_decode::logical:
      TK_LOG(1, "Processing as BOOLEAN");
      if (width < 1) break;
      out.set_bool(is_true(bytes[0]));
      return true;
    case dbf_decode::currency:
      TK_LOG(1, "Processing as CURRENCY");
      if (width < 8) break;
      out.set_cy(ole_currency::from_raw(dbf_little_endian<std::int64_t>(bytes)));
      return true;
    case dbf_decode::int_le:
      TK_LOG(1, "Processing as INTEGER");
      if (width < 4) break;
      out.set_i4(dbf_little_endian<std::int32_t>(bytes));
      return true;
    case dbf_decode::double_le:
      TK_LOG(1, "Processing as DOUBLE");
      if (width < 8) break;
      out.set_r8(dbf_little_endian<double>(bytes));
      return true;
    case dbf_decode::julian_datetime:
      if (width < 8) break;
      decode_datetime(bytes, out);
      return true;
    case dbf_decode::int_sortable:
      if (width < 4) break;
      decode_sortable_int(bytes, out);
      return true;
    case dbf_decode::double_sortable:
      if (width < 8) break;
      decode_sortable_double(bytes, out);
      return true;
    case dbf_decode::timestamp:
      if (width < 8) break;
      decode_timestamp(bytes, out);
      return true;
    case dbf_decode::bytes: {
      // Kept whole: blanks and 0 bytes are part of a binary value.
      TK_LOG(1, "Processing as BINARY");
      const auto* first = reinterpret_cast<const std::uint8_t*>(bytes);
      out.set_bytes(std::span(first, length_of(bytes, layout, record)));
      return true;
    }
    case dbf_decode::varchar: {
      const std::string_view text(bytes, length_of(bytes, layout, record));
      chars.decode(text, out);
      return true;
    }
    case dbf_decode::memo_text:
    case dbf_decode::memo_bytes:
    case dbf_decode::null_flags:
      break;
    case dbf_decode::text: {
      const std::string_view text = text_of(record, layout);
      if (text.empty() && letter == 'C') TK_LOG(1, "Special processing for all-spaces-string");
      ole_systemtime st;
      if (layout.vartype == VT_BSTR) {
        chars.decode(text, out);
      } else if (letter == 'D' && layout.vartype == VT_DATE && plain_date(text, st)) {
        // YYYYMMDD needs no parser, and its year stays as written: the parser would widen
        // the years below 100 as if they had two digits.
        out.set_date(st);
      } else if (std::int32_t i4 = 0;
                 layout.vartype == VT_I4 && tk_log_gate > 1 && plain_i4(text, i4)) {
        // Detail traces off: plain integers need no number reader either,
        out.set_i4(i4);
      } else if (layout.vartype == VT_DECIMAL && tk_log_gate > 1 && out.set_decimal_text(text)) {
        // and neither do plain decimals, which are parsed only if something asks for the number.
      } else if ((letter == 'N' || letter == 'F') && !text.empty() &&
                 !ole_number_text::scan(text, buffers.number, true)) {
        // Asterisks (dBase's mark of a value too wide for its field) or other text that is no
        // number: no value is better than an invented one.
        out.set_empty();
        return false;
      } else if (is_ascii(text)) {
        // Every code page of the mark table keeps ASCII as it is, so the bytes are already
        // the text the number or date parser reads.
        if (layout.vartype != VT_BSTR && layout.vartype != VT_DATE &&
            text.find_first_of("eE") != std::string_view::npos) {
          // Some writers store a number as "1.2345678901234E+05": it means the value at the
          // field's own scale, as the xBase program shows it.
          out.assign_from_string(text, VT_DECIMAL);
          out.set_decimal(out.decimal().rounded_to(layout.fd.decimals()));
          if (layout.vartype != VT_DECIMAL) out.change_type(layout.vartype);
        } else {
          out.assign_from_string(text, layout.vartype);
        }
      } else {
        chars.decode(text, buffers.wide);
        out.assign_from_wstring(buffers.wide, layout.vartype);
      }
      return true;
    }
  }
  // A binary field narrower than its value: nothing sound to read.
  out.set_empty();
  return true;
}
