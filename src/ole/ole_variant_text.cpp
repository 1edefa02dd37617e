#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "ole/ole_date.h"
#include "ole/ole_number_text.h"
#include "ole/ole_utf.h"
#include "ole/ole_variant.h"
#include "tk/tk_log.h"

namespace {

constexpr std::size_t k_max_binary_text = 100000000;  // bytes written as text at most
constexpr unsigned k_type_mismatch = 0x80020005;

bool iequals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lx = static_cast<char>(x >= 'A' && x <= 'Z' ? x - 'A' + 'a' : x);
           return lx == y;
         });
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The leading integer of the text, which must fit [low, high].
long long leading_integer_in(std::string_view text, long long low, long long high) {
  bool overflow = false;
  const long long v = ole_leading_integer(text, &overflow);
  if (overflow || v < low || v > high) throw ole_cast_exception();
  return v;
}

// The leading floating-point number of the text ("," counting as the decimal point), or 0.
template <class T>
T leading_float(std::string_view text) {
  std::size_t start = 0;
  const std::size_t len = ole_leading_number(text, &start, true);
  if (len == 0) return 0;
  char small[128];
  std::string large;
  char* buf = small;
  if (len > sizeof small) {
    large.resize(len);
    buf = large.data();
  }
  std::size_t n = 0;
  for (std::size_t i = start; i < start + len; ++i) {
    const char c = text[i];
    if (c == '+') continue;  // from_chars reads no plus sign
    buf[n++] = c == ',' ? '.' : c;
  }
  T value = 0;
  const auto result = std::from_chars(buf, buf + n, value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too small gives zero as strtod does; too large cannot be held.
    ole_number_text num;
    if (ole_number_text::scan(std::string_view(buf, n), num) &&
        (num.count == 0 || num.count + num.exponent < 0)) {
      return num.negative ? -T(0) : T(0);
    }
    throw ole_cast_exception();
  }
  return value;
}

// Decimal and currency texts take "," as the decimal point as well.
template <class F>
bool parse_with_point(std::string_view text, F&& parse) {
  char small[128];
  if (text.size() > sizeof small) {
    std::string copy(text);
    std::replace(copy.begin(), copy.end(), ',', '.');
    return parse(std::string_view(copy));
  }
  std::replace_copy(text.begin(), text.end(), small, ',', '.');
  return parse(std::string_view(small, text.size()));
}

template <std::size_t N, std::size_t M>
std::size_t copy_text(char (&to)[N], const char (&from)[M], std::size_t n) {
  static_assert(M <= N);
  std::copy(from, from + n, to);
  to[n] = '\0';
  return n;
}

void append_hex(std::string& out, std::span<const std::uint8_t> bytes) {
  static constexpr char k_digits[] = "0123456789ABCDEF";
  const std::size_t n = std::min(bytes.size(), k_max_binary_text);
  if (n == 0) return;
  const std::size_t at = out.size();
  out.resize(at + 2 + 2 * n);
  char* p = out.data() + at;
  *p++ = '0';
  *p++ = 'x';
  for (std::size_t i = 0; i < n; ++i) {
    *p++ = k_digits[bytes[i] >> 4];
    *p++ = k_digits[bytes[i] & 0x0f];
  }
}

}  // namespace

void ole_variant::attach_string(std::string_view narrow) {
  TK_LOG(1, "ole_variant::attach_string('%s')", narrow);
  TK_LOG(1, "=== RIGHT BEFORE A2W_EX ===");
  become_text();
  if (!ole_utf8_to_utf16(narrow, text_)) {
    vt_ = VT_EMPTY;
    throw tk_exception_ex("Cannot convert to UNICODE string: ", EILSEQ, 0);
  }
}

void ole_variant::attach_wstring(std::u16string_view wide) {
  TK_LOG(1, "ole_variant::attach_wstring('%s')", wide);
  TK_LOG(1, "=== RIGHT BEFORE SysAllocStringLen ===");
  set_text(wide);
}

ole_variant ole_variant::from_string(std::string_view text, ole_vartype kind) {
  ole_variant v;
  v.assign_from_string(text, kind);
  return v;
}

ole_variant ole_variant::from_wstring(std::u16string_view text, ole_vartype kind) {
  ole_variant v;
  v.assign_from_wstring(text, kind);
  return v;
}

void ole_variant::assign_from_wstring(std::u16string_view text, ole_vartype kind) {
  TK_LOG(1, "ole_variant::from_wstring");
  if (kind == VT_BSTR) {
    set_text(text);
    return;
  }
  TK_LOG(1, "=== RIGHT BEFORE W2A_EX ===");
  // Numbers and dates are short ASCII texts: narrowed on the stack.
  char small[128];
  if (text.size() <= sizeof small &&
      std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
    std::transform(text.begin(), text.end(), small,
                   [](char16_t c) { return static_cast<char>(c); });
    assign_from_string(std::string_view(small, text.size()), kind);
    return;
  }
  std::string narrow;
  if (!ole_utf16_to_utf8(text, narrow)) {
    throw tk_exception_ex("Cannot convert to ANSI string: ", EILSEQ, 0);
  }
  assign_from_string(narrow, kind);
}

void ole_variant::assign_from_string(std::string_view text, ole_vartype kind) {
  TK_LOG(1, "ole_variant::from_string('%s', 0x%08X)", text, static_cast<unsigned>(kind));
  if (text.empty()) {
    if (kind == VT_BSTR) {
      text_buffer();
    } else {
      set_empty();
    }
    return;
  }
  switch (kind) {
    case VT_I1:
      set_i1(static_cast<std::int8_t>(leading_integer_in(text, INT8_MIN, INT8_MAX)));
      return;
    case VT_UI1:
      set_ui1(static_cast<std::uint8_t>(leading_integer_in(text, 0, UINT8_MAX)));
      return;
    case VT_I2:
      set_i2(static_cast<std::int16_t>(leading_integer_in(text, INT16_MIN, INT16_MAX)));
      return;
    case VT_UI2:
      set_ui2(static_cast<std::uint16_t>(leading_integer_in(text, 0, UINT16_MAX)));
      return;
    case VT_I4:
      set_i4(static_cast<std::int32_t>(leading_integer_in(text, INT32_MIN, INT32_MAX)));
      return;
    case VT_UI4:
      set_ui4(static_cast<std::uint32_t>(leading_integer_in(text, 0, UINT32_MAX)));
      return;
    case VT_I8:
      set_i8(leading_integer_in(text, INT64_MIN, INT64_MAX));
      return;
    case VT_UI8: {
      // Beyond the signed range: read the digits again as unsigned.
      bool overflow = false;
      const long long v = ole_leading_integer(text, &overflow);
      if (!overflow) {
        if (v < 0) throw ole_cast_exception();
        set_ui8(static_cast<std::uint64_t>(v));
        return;
      }
      std::size_t start = 0;
      const std::size_t len = ole_leading_number(text, &start, false);
      std::uint64_t u = 0;
      const char* first = text.data() + start + (text[start] == '+' ? 1 : 0);
      const auto r = std::from_chars(first, text.data() + start + len, u);
      if (text[start] == '-' || r.ec != std::errc()) throw ole_cast_exception();
      set_ui8(u);
      return;
    }
    case VT_R4:
      set_r4(leading_float<float>(text));
      return;
    case VT_R8:
      set_r8(leading_float<double>(text));
      return;
    case VT_CY: {
      TK_LOG(1, "GOT VT_CY");
      ole_currency cy;
      if (parse_with_point(text, [&](std::string_view t) { return ole_currency::parse(t, cy); })) {
        set_cy(cy);
      } else {
        TK_LOG(1, "VarCyFromStr failed: %08X", k_type_mismatch);
        set_empty();
      }
      return;
    }
    case VT_DECIMAL: {
      TK_LOG(1, "GOT VT_DECIMAL");
      ole_decimal dec;
      if (parse_with_point(text, [&](std::string_view t) { return ole_decimal::parse(t, dec); })) {
        set_decimal(dec);
      } else {
        TK_LOG(1, "ERROR: VarDecFromStr for '%s' failed (hr=%08X)", text, k_type_mismatch);
        set_empty();
      }
      return;
    }
    case VT_DATE: {
      TK_LOG(1, "GOT VT_DATE");
      const ole_date date(text);
      if (!date.is_valid()) {
        set_empty();
        return;
      }
      // The value holds the real year: a two-digit year is widened as it prints.
      ole_systemtime st = date.systemtime();
      if (st.month != 0 && st.day != 0)
        st.year = static_cast<std::uint16_t>(ole_widen_year(st.year));
      set_date(st);
      return;
    }
    case VT_BOOL:
      if (iequals(text, "yes") || iequals(text, "true")) {
        set_bool(true);
      } else if (iequals(text, "no") || iequals(text, "false")) {
        set_bool(false);
      } else {
        bool overflow = false;
        set_bool(ole_leading_integer(text, &overflow) != 0);
      }
      return;
    case VT_BLOB:
    case VT_BLOB_OBJECT:
    case VT_BINARY: {
      if (text.size() % 2 != 0) {
        TK_LOG(1, "Incorrect BLOB (size is odd)");
        set_empty();
        return;
      }
      const bool prefix = text.size() >= 2 && (text[0] == '0' || text[0] == '\\') &&
                          (text[1] == 'x' || text[1] == 'X');
      if (prefix) TK_LOG(1, "b_prefix=true");
      const std::size_t size = text.size() / 2 - (prefix ? 1 : 0);
      TK_LOG(1, "Got BLOB size: %d", static_cast<int>(size));
      std::vector<std::uint8_t>& bytes = bytes_buffer();
      bytes.resize(size);
      for (std::size_t i = 0, pos = prefix ? 2 : 0; i < size; ++i, pos += 2) {
        const int high = hex_value(text[pos]);
        const int low = hex_value(text[pos + 1]);
        if (high < 0 || low < 0) {
          set_empty();
          throw ole_type_exception();
        }
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
      }
      return;
    }
    case VT_BSTR:
      attach_string(text);
      return;
    default:
      attach_string(text);
      try {
        change_type(kind);
      } catch (const ole_cast_exception&) {
        throw ole_type_exception();
      }
      TK_LOG(1, "VariantChangeType succeeded");
      return;
  }
}

std::size_t ole_variant::format_scalar(char (&buf)[k_scalar_text_size]) const {
  int n = 0;
  switch (vt_) {
    case VT_DECIMAL: {
      TK_LOG(1, "Converting VT_DECIMAL");
      char text[ole_decimal::k_text_size];
      return copy_text(buf, text, format_decimal(text));
    }
    case VT_DATE: {
      TK_LOG(1, "Converting VT_DATE");
      char text[ole_date::k_text_size];
      return copy_text(buf, text, ole_date(*this).print(text, true, false));
    }
    case VT_CY: {
      TK_LOG(1, "Converting VT_CY");
      char text[ole_currency::k_text_size];
      return copy_text(buf, text, u_.cy.format(text));
    }
    case VT_BOOL:
      TK_LOG(1, "to_string - bool: %d", static_cast<int>(u_.bool_val));
      TK_LOG(1, "Mapping BOOL like ANSI!");
      buf[0] = u_.bool_val == ole_variant_true ? '1' : '0';
      buf[1] = '\0';
      return 1;
    case VT_I1:
      n = std::snprintf(buf, sizeof buf, "%d", u_.i1);
      break;
    case VT_I2:
      n = std::snprintf(buf, sizeof buf, "%d", u_.i2);
      break;
    case VT_I4:
    case VT_INT:
      n = std::snprintf(buf, sizeof buf, "%d", u_.i4);
      break;
    case VT_UI1:
      n = std::snprintf(buf, sizeof buf, "%u", u_.ui1);
      break;
    case VT_UI2:
      n = std::snprintf(buf, sizeof buf, "%u", u_.ui2);
      break;
    case VT_UI4:
    case VT_UINT:
      n = std::snprintf(buf, sizeof buf, "%u", u_.ui4);
      break;
    case VT_R4:
      n = std::snprintf(buf, sizeof buf, "%.6e", static_cast<double>(u_.r4));
      break;
    case VT_R8:
      n = std::snprintf(buf, sizeof buf, "%.16e", u_.r8);
      break;
    case VT_I8:
      n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(u_.i8));
      break;
    case VT_UI8:
      n = std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(u_.ui8));
      break;
    default:
      break;
  }
  if (n <= 0) {
    buf[0] = '\0';
    return 0;
  }
  return static_cast<std::size_t>(n);
}

void ole_variant::to_string(std::string& out) const {
  TK_LOG(1, "ole_variant::to_string (vt=%08X)", static_cast<unsigned>(vt_));
  out.clear();
  if (ole_is_binary(vt_)) {
    TK_LOG(1, "Converting VT_ARRAY");
    append_hex(out, bytes_);
  } else if (vt_ == VT_BSTR) {
    TK_LOG(1, "Processing VT_BSTR");
    if (!ole_utf16_to_utf8(wide(), out)) out.clear();
  } else {
    char buf[k_scalar_text_size];
    out.assign(buf, format_scalar(buf));
  }
}

std::string ole_variant::to_string() const {
  std::string out;
  to_string(out);
  return out;
}

void ole_variant::to_wstring(std::u16string& out) const {
  TK_LOG(1, "ole_variant::to_wstring (vt=%08X)", static_cast<unsigned>(vt_));
  if (vt_ == VT_BSTR) {
    TK_LOG(1, "Processing VT_BSTR");
    out.assign(wide());
    return;
  }
  // Every other text form is ASCII.
  if (ole_is_binary(vt_)) {
    const std::string narrow = to_string();
    out.assign(narrow.begin(), narrow.end());
    return;
  }
  char buf[k_scalar_text_size];
  const std::size_t n = format_scalar(buf);
  out.assign(buf, buf + n);
}

std::u16string ole_variant::to_wstring() const {
  std::u16string out;
  to_wstring(out);
  return out;
}
