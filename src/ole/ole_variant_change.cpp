#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ole/ole_date.h"
#include "ole/ole_number_text.h"
#include "ole/ole_utf.h"
#include "ole/ole_variant.h"
#include "tk/tk_log.h"

namespace {

__extension__ typedef __int128 i128;

constexpr std::size_t k_max_binary_text = 100000000;

bool is_integer_kind(ole_vartype k) {
  switch (k) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
      return true;
    default:
      return false;
  }
}

// The range of an integer kind.
void range_of(ole_vartype k, i128& low, i128& high) {
  switch (k) {
    case VT_I1:
      low = INT8_MIN, high = INT8_MAX;
      break;
    case VT_UI1:
      low = 0, high = UINT8_MAX;
      break;
    case VT_I2:
      low = INT16_MIN, high = INT16_MAX;
      break;
    case VT_UI2:
      low = 0, high = UINT16_MAX;
      break;
    case VT_I4:
    case VT_INT:
      low = INT32_MIN, high = INT32_MAX;
      break;
    case VT_UI4:
    case VT_UINT:
      low = 0, high = UINT32_MAX;
      break;
    case VT_I8:
      low = INT64_MIN, high = INT64_MAX;
      break;
    default:  // VT_UI8
      low = 0, high = UINT64_MAX;
      break;
  }
}

bool iequals(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (c != lower[i]) return false;
  }
  return true;
}

// A whole text that is a number ("." as decimal point), as an exact decimal.
bool text_to_decimal(std::string_view text, ole_decimal& out) {
  return ole_decimal::parse(text, out);
}

// A whole text that is a number, as the nearest double.
bool text_to_double(std::string_view text, double& out) {
  ole_number_text num;
  if (!ole_number_text::scan(text, num)) return false;
  std::size_t start = 0;
  const std::size_t len = ole_leading_number(text, &start, false);
  const char* first = text.data() + start + (text[start] == '+' ? 1 : 0);
  const auto r = std::from_chars(first, text.data() + start + len, out);
  if (r.ec == std::errc::result_out_of_range) {
    if (num.count == 0 || num.count + num.exponent < 0) {
      out = num.negative ? -0.0 : 0.0;
      return true;
    }
    return false;
  }
  return r.ec == std::errc();
}

}  // namespace

// The steps below follow the VARIANT type change of OLE Automation for the kinds this
// system uses, with two rules of its own: numbers never wrap (a value out of the target's
// range is a failed change) and floating values round half away from zero into the 16- and
// 32-bit integer kinds.
void ole_variant::change_type(ole_vartype kind) {
  TK_LOG(1, "ole_variant::change_type(old=%d,new=%d)", static_cast<int>(vt_),
         static_cast<int>(kind));
  const ole_vartype old = vt_;
  if (kind == old || old == VT_EMPTY || old == VT_NULL ||
      (ole_is_binary(old) && ole_is_binary(kind))) {
    TK_LOG(1, "Type cannot be changed");
    return;
  }
  if (old == VT_I8 || old == VT_UI8) {
    if (kind == VT_DECIMAL) TK_LOG(1, old == VT_I8 ? "VT_I8->VT_DECIMAL" : "VT_UI8->VT_DECIMAL");
    const bool supported = is_integer_kind(kind) || kind == VT_BOOL || kind == VT_R4 ||
                           kind == VT_R8 || kind == VT_CY || kind == VT_BSTR ||
                           kind == VT_DECIMAL || ole_is_binary(kind);
    if (!supported) throw ole_cast_exception();
    if (ole_is_binary(kind)) {
      change_to_binary();
    } else {
      change_general(kind);
    }
    return;
  }
  if (old == VT_DATE) {
    if (kind != VT_BSTR) throw ole_cast_exception();
    const std::u16string text = ole_date(*this).to_wstring(true);
    set_text(text);
    return;
  }
  if (kind == VT_I8 || kind == VT_UI8) {
    if (old == VT_DECIMAL) TK_LOG(1, kind == VT_I8 ? "VT_DECIMAL->VT_I8" : "VT_DECIMAL->VT_UI8");
    i128 v = 0;
    switch (old) {
      case VT_R4:
      case VT_R8: {
        // Truncated toward zero.
        const double d = std::trunc(old == VT_R4 ? u_.r4 : u_.r8);
        if (!(d >= -9223372036854775808.0 && d < 18446744073709551616.0)) {
          throw ole_cast_exception();
        }
        v = d < 0 ? static_cast<i128>(static_cast<std::int64_t>(d))
                  : static_cast<i128>(static_cast<std::uint64_t>(d));
        break;
      }
      case VT_CY: {
        // Half up for values of zero or more, truncated toward zero below zero.
        const std::int64_t raw = u_.cy.int64;
        v = raw / ole_currency::k_scale;
        if (raw >= 0 && raw % ole_currency::k_scale >= ole_currency::k_scale / 2) ++v;
        break;
      }
      case VT_BSTR:
      case VT_DECIMAL:
      case VT_BOOL:
      case VT_I1:
      case VT_UI1:
      case VT_I2:
      case VT_UI2:
      case VT_I4:
      case VT_UI4:
      case VT_INT:
      case VT_UINT:
        change_general(kind);
        return;
      default:
        throw ole_cast_exception();
    }
    i128 low, high;
    range_of(kind, low, high);
    if (v < low || v > high) throw ole_cast_exception();
    if (kind == VT_I8) {
      set_i8(static_cast<std::int64_t>(v));
    } else {
      set_ui8(static_cast<std::uint64_t>(v));
    }
    return;
  }
  if ((kind == VT_I4 || kind == VT_I2 || kind == VT_UI4 || kind == VT_UI2) &&
      (old == VT_R4 || old == VT_R8)) {
    // Half away from zero.
    const double d = std::round(old == VT_R4 ? u_.r4 : u_.r8);
    i128 low, high;
    range_of(kind, low, high);
    if (!(d >= static_cast<double>(low) && d <= static_cast<double>(high))) {
      throw ole_cast_exception();
    }
    set_integer(kind, static_cast<long long>(d));
    return;
  }
  if (kind == VT_DATE) {
    if (old != VT_BSTR) throw ole_cast_exception();
    const ole_date date{std::u16string_view(wide())};
    if (!date.is_valid()) throw ole_cast_exception();
    ole_systemtime st = date.systemtime();
    if (st.month != 0 && st.day != 0) st.year = static_cast<std::uint16_t>(ole_widen_year(st.year));
    set_date(st);
    return;
  }
  if (ole_is_binary(old)) {
    TK_LOG(1, "src.vt is binary, a_type=%d", static_cast<int>(kind));
    // Only text can be made from bytes; reading them as a number would be guesswork.
    if (kind != VT_BSTR) throw ole_cast_exception();
    const std::size_t n = std::min(bytes_.size(), k_max_binary_text);
    const std::string_view narrow(reinterpret_cast<const char*>(bytes_.data()), n);
    std::u16string text;
    if (!ole_utf8_to_utf16(narrow, text)) throw ole_cast_exception();
    become_text();
    text_.swap(text);
    return;
  }
  if (ole_is_binary(kind)) {
    TK_LOG(1, "a_type is binary, src.vt=%d", static_cast<int>(old));
    change_to_binary();
    return;
  }
  change_general(kind);
}

void ole_variant::change_to_binary() {
  const void* source = nullptr;
  std::size_t size = 0;
  switch (vt_) {
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      source = &u_.i2, size = 2;
      break;
    case VT_I4:
    case VT_R4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
      source = &u_.i4, size = 4;
      break;
    case VT_R8:
    case VT_CY:
    case VT_I8:
    case VT_UI8:
      source = &u_.i8, size = 8;
      break;
    case VT_I1:
    case VT_UI1:
      source = &u_.i1, size = 1;
      break;
    case VT_DECIMAL:
      source = &dec(), size = sizeof(ole_decimal);
      break;
    case VT_DATE:
      source = &st_, size = sizeof(ole_systemtime);
      break;
    case VT_BSTR: {
      TK_LOG(1, "VT_BSTR->binary");
      std::string narrow;
      if (!ole_utf16_to_utf8(wide(), narrow)) throw ole_cast_exception();
      TK_LOG(1, "char_buf=%s", narrow);
      set_bytes(std::span(reinterpret_cast<const std::uint8_t*>(narrow.data()), narrow.size()));
      return;
    }
    default:
      throw ole_cast_exception();
  }
  std::uint8_t bytes[16];
  std::memcpy(bytes, source, size);
  set_bytes(std::span<const std::uint8_t>(bytes, size));
}

void ole_variant::set_integer(ole_vartype kind, long long v) {
  switch (kind) {
    case VT_I1:
      set_i1(static_cast<std::int8_t>(v));
      break;
    case VT_UI1:
      set_ui1(static_cast<std::uint8_t>(v));
      break;
    case VT_I2:
      set_i2(static_cast<std::int16_t>(v));
      break;
    case VT_UI2:
      set_ui2(static_cast<std::uint16_t>(v));
      break;
    case VT_I4:
    case VT_INT:
      set_i4(static_cast<std::int32_t>(v));
      vt_ = kind;
      break;
    case VT_UI4:
    case VT_UINT:
      set_ui4(static_cast<std::uint32_t>(v));
      vt_ = kind;
      break;
    default:
      throw tk_mail_assertion(__FILE__, __LINE__);
  }
}

// The VARIANT type change between numbers, booleans and text. Integer targets round half to
// even; booleans are -1 and 0 and print as such.
void ole_variant::change_general(ole_vartype kind) {
  // The source as one of: an exact integer, a double, a currency, a decimal, or text.
  enum class from { integer, real, currency, decimal, text } source;
  i128 integer = 0;
  double real = 0;
  switch (vt_) {
    case VT_I1:
      integer = u_.i1, source = from::integer;
      break;
    case VT_UI1:
      integer = u_.ui1, source = from::integer;
      break;
    case VT_I2:
      integer = u_.i2, source = from::integer;
      break;
    case VT_UI2:
      integer = u_.ui2, source = from::integer;
      break;
    case VT_BOOL:
      integer = u_.bool_val, source = from::integer;
      break;
    case VT_I4:
    case VT_INT:
      integer = u_.i4, source = from::integer;
      break;
    case VT_UI4:
    case VT_UINT:
      integer = u_.ui4, source = from::integer;
      break;
    case VT_I8:
      integer = u_.i8, source = from::integer;
      break;
    case VT_UI8:
      integer = u_.ui8, source = from::integer;
      break;
    case VT_R4:
      real = u_.r4, source = from::real;
      break;
    case VT_R8:
      real = u_.r8, source = from::real;
      break;
    case VT_CY:
      source = from::currency;
      break;
    case VT_DECIMAL:
      source = from::decimal;
      break;
    case VT_BSTR:
      source = from::text;
      break;
    default:
      fail_change();
  }
  std::string narrow;
  if (source == from::text && !ole_utf16_to_utf8(wide(), narrow)) fail_change();
  if (vt_ == VT_DECIMAL && (kind == VT_I4 || kind == VT_I2 || kind == VT_UI4 || kind == VT_UI2)) {
    static constexpr const char* k_traces[] = {"VT_DECIMAL->VT_I2", "VT_DECIMAL->VT_I4",
                                               "VT_DECIMAL->VT_UI2", "VT_DECIMAL->VT_UI4"};
    const int index = (kind == VT_I4 || kind == VT_UI4 ? 1 : 0) + (kind >= VT_UI2 ? 2 : 0);
    TK_LOG(1, k_traces[index]);
    if (kind == VT_I4) TK_LOG(1, "to_string()=%s", to_string());
  }

  if (is_integer_kind(kind)) {
    i128 v = 0;
    switch (source) {
      case from::integer:
        v = integer;
        break;
      case from::real: {
        const double d = std::nearbyint(real);  // half to even
        if (!(d > -1.8446744073709552e19 && d < 1.8446744073709552e19)) fail_change();
        v = static_cast<i128>(d);
        break;
      }
      case from::currency:
        v = u_.cy.to_i8();
        break;
      case from::decimal:
      case from::text: {
        ole_decimal dec = this->dec();
        if (source == from::text && !text_to_decimal(narrow, dec)) fail_change();
        std::int64_t s;
        std::uint64_t u;
        if (dec.to_i8(s)) {
          v = s;
        } else if (dec.to_ui8(u)) {
          v = u;
        } else {
          fail_change();
        }
        break;
      }
    }
    i128 low, high;
    range_of(kind, low, high);
    if (v < low || v > high) fail_change();
    if (kind == VT_I8) {
      set_i8(static_cast<std::int64_t>(v));
    } else if (kind == VT_UI8) {
      set_ui8(static_cast<std::uint64_t>(v));
    } else {
      set_integer(kind, static_cast<long long>(v));
    }
    return;
  }

  switch (kind) {
    case VT_EMPTY:
      set_empty();
      return;
    case VT_BOOL: {
      bool b = false;
      switch (source) {
        case from::integer:
          b = integer != 0;
          break;
        case from::real:
          b = real != 0;
          break;
        case from::currency:
          b = u_.cy.int64 != 0;
          break;
        case from::decimal:
          b = !dec().is_zero();
          break;
        case from::text: {
          std::string_view t = narrow;
          while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
          while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
          ole_decimal dec;
          if (iequals(t, "true")) {
            b = true;
          } else if (iequals(t, "false")) {
            b = false;
          } else if (text_to_decimal(t, dec)) {
            b = !dec.is_zero();
          } else {
            fail_change();
          }
          break;
        }
      }
      set_bool(b);
      return;
    }
    case VT_R4:
    case VT_R8: {
      double d = 0;
      switch (source) {
        case from::integer:
          d = static_cast<double>(integer);
          break;
        case from::real:
          d = real;
          break;
        case from::currency:
          d = u_.cy.to_double();
          break;
        case from::decimal:
          d = dec().to_double();
          break;
        case from::text:
          if (!text_to_double(narrow, d)) fail_change();
          break;
      }
      if (kind == VT_R8) {
        set_r8(d);
      } else {
        if (std::isfinite(d) && std::fabs(d) > FLT_MAX) fail_change();
        set_r4(static_cast<float>(d));
      }
      return;
    }
    case VT_CY: {
      ole_currency cy;
      bool ok = false;
      switch (source) {
        case from::integer:
          ok = integer < 0 ? ole_currency::from_i8(static_cast<std::int64_t>(integer), cy)
                           : ole_currency::from_ui8(static_cast<std::uint64_t>(integer), cy);
          break;
        case from::real:
          ok = ole_currency::from_double(real, cy);
          break;
        case from::currency:
          ok = true, cy = u_.cy;
          break;
        case from::decimal:
          ok = dec().to_currency(cy);
          break;
        case from::text:
          ok = ole_currency::parse(narrow, cy);
          break;
      }
      if (!ok) fail_change();
      set_cy(cy);
      return;
    }
    case VT_DECIMAL: {
      ole_decimal dec;
      bool ok = true;
      switch (source) {
        case from::integer:
          dec = integer < 0 ? ole_decimal::from_i8(static_cast<std::int64_t>(integer))
                            : ole_decimal::from_ui8(static_cast<std::uint64_t>(integer));
          break;
        case from::real:
          ok = ole_decimal::from_double(real, dec);
          break;
        case from::currency:
          dec = ole_decimal::from_currency(u_.cy);
          break;
        case from::decimal:
          dec = this->dec();
          break;
        case from::text:
          ok = text_to_decimal(narrow, dec);
          break;
      }
      if (!ok) fail_change();
      set_decimal(dec);
      return;
    }
    case VT_BSTR: {
      char buf[64];
      int n = 0;
      switch (source) {
        case from::integer:
          n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(integer));
          if (integer > INT64_MAX) {
            n = std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(integer));
          }
          break;
        case from::real:
          // The shortest text that keeps the digits a double or a float holds.
          n = std::snprintf(buf, sizeof buf, vt_ == VT_R4 ? "%.7G" : "%.15G", real);
          break;
        case from::currency: {
          char text[ole_currency::k_text_size];
          n = static_cast<int>(u_.cy.format(text));
          std::memcpy(buf, text, static_cast<std::size_t>(n));
          break;
        }
        case from::decimal: {
          char text[ole_decimal::k_text_size];
          n = static_cast<int>(format_decimal(text));
          std::memcpy(buf, text, static_cast<std::size_t>(n));
          break;
        }
        case from::text:
          return;
      }
      std::u16string& text = text_buffer();
      text.assign(buf, buf + n);
      return;
    }
    default:
      fail_change();
  }
}

void ole_variant::fail_change() const {
  TK_LOG(1, "VariantChangeType failed");
  TK_LOG(1, "to_string()=%s", to_string());
  throw ole_cast_exception();
}
