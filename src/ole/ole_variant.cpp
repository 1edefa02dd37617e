#include "ole/ole_variant.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "ole/ole_utf.h"
#include "tk/tk_log.h"

ole_cast_exception::ole_cast_exception()
    : tk_exception("Cannot cast from source type to destination type", 0) {}

ole_type_exception::ole_type_exception()
    : tk_exception("The operating type is not supported yet", 0) {}

namespace {

// A whole number of a floating value truncated toward zero, when it fits the range.
template <class T>
bool truncate_to(double v, T& out) {
  const double t = std::trunc(v);
  const double low = static_cast<double>(std::numeric_limits<T>::min());
  const double high = std::ldexp(1.0, std::numeric_limits<T>::digits);  // exclusive
  if (!(t >= low && t < high)) return false;
  out = static_cast<T>(t);
  return true;
}

}  // namespace

// Constructors.

void ole_variant::trace_ctor() const {
  TK_LOG(1, "ole_variant::initialize");
  TK_LOG(1, "src.vt=%d", static_cast<int>(vt_));
}

template <class T, class Shown>
ole_variant::ole_variant(const char* format, Shown shown, void (ole_variant::*set)(T) noexcept,
                         std::type_identity_t<T> value) {
  trace_ctor();
  TK_LOG(1, format, shown);
  (this->*set)(value);
}

ole_variant::ole_variant() {
  trace_ctor();
  TK_LOG(1, "ole_variant::empty ctor");
}

ole_variant::ole_variant(const ole_systemtime& st) {
  trace_ctor();
  TK_LOG(1, "Construct ole_variant from SYSTEMTIME");
  if (!set_date(st)) TK_LOG(1, "Failed to convert SYSTEMTIME->VARIANT");
}

ole_variant::ole_variant(const ole_currency& cy) {
  trace_ctor();
  TK_LOG(1, "Construct ole_variant from CY");
  set_cy(cy);
}

ole_variant::ole_variant(const ole_decimal& dec) {
  trace_ctor();
  TK_LOG(1, "Construct ole_variant from DECIMAL");
  set_decimal(dec);
}

ole_variant::ole_variant(const char16_t* bstr) {
  trace_ctor();
  TK_LOG(1, "Construct ole_variant from BSTR");
  set_text(bstr == nullptr ? std::u16string_view() : std::u16string_view(bstr));
}

ole_variant::ole_variant(bool value)
    : ole_variant("ole_variant::ctor from bool (%d)", static_cast<int>(value),
                  &ole_variant::set_bool, value) {}

ole_variant::ole_variant(char value)
    : ole_variant("ole_variant::ctor from char(%d)", static_cast<int>(value), &ole_variant::set_i1,
                  value) {}

ole_variant::ole_variant(signed char value)
    : ole_variant("ole_variant::ctor from char(%d)", static_cast<int>(value), &ole_variant::set_i1,
                  value) {}

ole_variant::ole_variant(unsigned char value)
    : ole_variant("ole_variant::ctor from byte(%d)", static_cast<int>(value), &ole_variant::set_ui1,
                  value) {}

ole_variant::ole_variant(short value)
    : ole_variant("ole_variant::ctor from short(%d)", static_cast<int>(value), &ole_variant::set_i2,
                  value) {}

ole_variant::ole_variant(unsigned short value)
    : ole_variant("ole_variant::ctor from ushort(%d)", static_cast<int>(value),
                  &ole_variant::set_ui2, value) {}

ole_variant::ole_variant(int value)
    : ole_variant("ole_variant::ctor from int(%d)", value, &ole_variant::set_i4, value) {}

ole_variant::ole_variant(unsigned int value)
    : ole_variant("ole_variant::ctor from uint(%u)", value, &ole_variant::set_ui4, value) {}

ole_variant::ole_variant(long value) : ole_variant(static_cast<long long>(value)) {}

ole_variant::ole_variant(unsigned long value)
    : ole_variant(static_cast<unsigned long long>(value)) {}

ole_variant::ole_variant(long long value)
    : ole_variant("ole_variant::ctor(hyper, %lld)", value, &ole_variant::set_i8, value) {}

ole_variant::ole_variant(unsigned long long value)
    : ole_variant("ole_variant::ctor(uhyper, %llu)", value, &ole_variant::set_ui8, value) {}

ole_variant::ole_variant(float value)
    : ole_variant("ole_variant::ctor from float(%f)", static_cast<double>(value),
                  &ole_variant::set_r4, value) {}

ole_variant::ole_variant(double value)
    : ole_variant("ole_variant::ctor from double(%e)", value, &ole_variant::set_r8, value) {}

ole_variant::ole_variant(std::string_view narrow) {
  trace_ctor();
  TK_LOG(1, "ole_variant::ctor from string(%s)", narrow);
  attach_string(narrow);
}

ole_variant::ole_variant(const char* narrow)
    : ole_variant(narrow == nullptr ? std::string_view() : std::string_view(narrow)) {}

ole_variant::ole_variant(const std::string& narrow) : ole_variant(std::string_view(narrow)) {}

ole_variant::ole_variant(std::u16string_view wide) {
  trace_ctor();
  TK_LOG(1, "ole_variant::ctor from wstring(%s)", wide);
  attach_wstring(wide);
}

ole_variant::ole_variant(const std::u16string& wide) : ole_variant(std::u16string_view(wide)) {}

ole_variant::ole_variant(const ole_variant& other) : vt_(VT_EMPTY) {
  TK_LOG(1, "ole_variant::initialize");
  TK_LOG(1, "src.vt=%d", static_cast<int>(other.vt_));
  TK_LOG(1, "ole_variant::copy ctor");
  if (other.vt_ == VT_I8 || other.vt_ == VT_UI8) TK_LOG(1, "Special processing for VT_(U)I8 type");
  if (other.vt_ == VT_DATE) TK_LOG(1, "Special processing for VT_DATE");
  copy_from(other);
}

ole_variant::ole_variant(ole_variant&& other) noexcept
    : vt_(other.vt_),
      u_((other.dec(), other.u_)),
      date_pending_(other.date_pending_),
      st_(other.st_) {
  trace_ctor();
  if (vt_ == VT_BSTR) {
    // The text moves in whichever forms it has.
    text_ = std::move(other.text_);
    utf8_ = std::move(other.utf8_);
    utf8_known_ = other.utf8_known_;
    wide_pending_ = other.wide_pending_;
  }
  if (ole_is_binary(vt_)) bytes_ = std::move(other.bytes_);
  other.vt_ = VT_EMPTY;
}

// Assignment keeps this value's buffers, so refilling a record allocates only to grow them.
void ole_variant::copy_from(const ole_variant& other) {
  vt_ = other.vt_;
  utf8_known_ = false;
  other.dec();  // a decimal travels parsed
  decimal_pending_ = false;
  u_ = other.u_;
  date_pending_ = other.date_pending_;
  st_ = other.st_;
  wide_pending_ = false;
  if (vt_ == VT_BSTR) text_.assign(other.wide());
  if (ole_is_binary(vt_)) bytes_.assign(other.bytes_.begin(), other.bytes_.end());
}

ole_variant& ole_variant::operator=(const ole_variant& other) {
  if (this != &other) copy_from(other);
  return *this;
}

ole_variant& ole_variant::operator=(ole_variant&& other) noexcept {
  if (this == &other) return *this;
  vt_ = other.vt_;
  utf8_known_ = false;
  other.dec();  // a decimal travels parsed
  decimal_pending_ = false;
  u_ = other.u_;
  date_pending_ = other.date_pending_;
  st_ = other.st_;
  // Swapping hands this value's old buffers to the source instead of freeing them.
  wide_pending_ = false;
  if (vt_ == VT_BSTR) {
    text_.swap(other.text_);
    utf8_.swap(other.utf8_);
    utf8_known_ = other.utf8_known_;
    wide_pending_ = other.wide_pending_;
  }
  if (ole_is_binary(vt_)) bytes_.swap(other.bytes_);
  other.vt_ = VT_EMPTY;
  return *this;
}

ole_variant& ole_variant::operator=(std::u16string_view bstr) {
  TK_LOG(1, "ole_variant::operator = (const BSTR)");
  set_text(bstr);
  return *this;
}

// Setters.

void ole_variant::set_decimal(const ole_decimal& value) {
  TK_ASSERT(value.scale <= ole_decimal::k_max_scale);
  vt_ = VT_DECIMAL;
  u_.dec = value;
  decimal_pending_ = false;
}

bool ole_variant::set_decimal_text(std::string_view plain) {
  if (!ole_decimal::is_plain(plain)) return false;
  utf8_.assign(plain);
  vt_ = VT_DECIMAL;
  decimal_pending_ = true;
  return true;
}

std::size_t ole_variant::format_decimal(char (&out)[ole_decimal::k_text_size]) const {
  TK_ASSERT(vt_ == VT_DECIMAL);
  return decimal_pending_ ? ole_decimal::format_plain(utf8_, out) : u_.dec.format(out);
}

const ole_decimal& ole_variant::dec() const noexcept {
  if (vt_ == VT_DECIMAL && decimal_pending_) {
    // The text was checked when it was given, so it parses.
    ole_decimal::parse_plain(utf8_, u_.dec);
    decimal_pending_ = false;
  }
  return u_.dec;
}

bool ole_variant::set_date(const ole_systemtime& st) noexcept {
  vt_ = VT_DATE;
  st_ = st;
  u_.date = 0;
  date_pending_ = true;
  return ole_systemtime_has_variant_time(st);
}

bool ole_variant::set_date(double ole_date) noexcept {
  ole_systemtime st;
  if (!ole_variant_time_to_systemtime(ole_date, st)) {
    vt_ = VT_EMPTY;
    return false;
  }
  vt_ = VT_DATE;
  st_ = st;
  u_.date = ole_date;
  date_pending_ = false;
  return true;
}

void ole_variant::set_text(std::u16string_view text) {
  become_text();
  text_.assign(text);
}

std::u16string& ole_variant::text_buffer() noexcept {
  become_text();
  text_.clear();
  return text_;
}

void ole_variant::set_bytes(std::span<const std::uint8_t> bytes) {
  vt_ = VT_BINARY;
  bytes_.assign(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t>& ole_variant::bytes_buffer() noexcept {
  vt_ = VT_BINARY;
  bytes_.clear();
  return bytes_;
}

void ole_variant::release_buffers(std::size_t keep) noexcept {
  dec();  // a decimal's text may go
  if (text_.capacity() * sizeof(char16_t) > keep || utf8_.capacity() > keep) {
    if (vt_ == VT_BSTR) vt_ = VT_EMPTY;
    std::u16string().swap(text_);
    std::string().swap(utf8_);
  }
  if (bytes_.capacity() > keep) {
    if (ole_is_binary(vt_)) vt_ = VT_EMPTY;
    std::vector<std::uint8_t>().swap(bytes_);
  }
}

// Payload accessors.

const ole_decimal& ole_variant::decimal() const {
  TK_ASSERT(vt_ == VT_DECIMAL);
  return dec();
}
double ole_variant::date() const {
  TK_ASSERT(vt_ == VT_DATE);
  if (date_pending_) {
    // Stays 0 when the broken-down form has no OLE date.
    ole_systemtime_to_variant_time(st_, u_.date);
    date_pending_ = false;
  }
  return u_.date;
}
const ole_systemtime& ole_variant::systemtime() const {
  TK_ASSERT(vt_ == VT_DATE);
  return st_;
}
const std::u16string& ole_variant::text() const {
  TK_ASSERT(vt_ == VT_BSTR);
  return wide();
}

const std::u16string& ole_variant::wide() const {
  if (vt_ == VT_BSTR && wide_pending_) {
    // Readers give well-formed UTF-8, so this cannot fail; a malformed form would leave the
    // text empty rather than half made.
    if (!ole_utf8_to_utf16(utf8_, text_)) text_.clear();
    wide_pending_ = false;
  }
  return text_;
}
std::span<const std::uint8_t> ole_variant::bytes() const {
  TK_ASSERT(ole_is_binary(vt_));
  return bytes_;
}

bool operator==(const ole_variant& a, const ole_variant& b) {
  if (a.vt_ != b.vt_) return false;
  switch (a.vt_) {
    case VT_EMPTY:
    case VT_NULL:
      return true;
    case VT_I1:
      return a.u_.i1 == b.u_.i1;
    case VT_UI1:
      return a.u_.ui1 == b.u_.ui1;
    case VT_I2:
      return a.u_.i2 == b.u_.i2;
    case VT_UI2:
      return a.u_.ui2 == b.u_.ui2;
    case VT_BOOL:
      return a.u_.bool_val == b.u_.bool_val;
    case VT_I4:
    case VT_INT:
      return a.u_.i4 == b.u_.i4;
    case VT_UI4:
    case VT_UINT:
      return a.u_.ui4 == b.u_.ui4;
    case VT_I8:
      return a.u_.i8 == b.u_.i8;
    case VT_UI8:
      return a.u_.ui8 == b.u_.ui8;
    case VT_R4:
      return a.u_.r4 == b.u_.r4;
    case VT_R8:
      return a.u_.r8 == b.u_.r8;
    case VT_CY:
      return a.u_.cy == b.u_.cy;
    case VT_DECIMAL:
      return a.dec() == b.dec();
    case VT_DATE: {
      // The day of the week follows from the date.
      ole_systemtime x = a.st_, y = b.st_;
      x.day_of_week = y.day_of_week = 0;
      return x == y;
    }
    case VT_BSTR:
      return a.wide() == b.wide();
    default:
      return ole_is_binary(a.vt_) && a.bytes_ == b.bytes_;
  }
}

// Numbers out. A value that does not fit the requested width raises ole_cast_exception
// instead of wrapping.

std::int64_t ole_variant::to_i8() const {
  TK_LOG(1, "ole_variant::to_i8(%08X)", static_cast<unsigned>(vt_));
  switch (vt_) {
    case VT_I1:
      return u_.i1;
    case VT_UI1:
      return u_.ui1;
    case VT_I2:
      return u_.i2;
    case VT_UI2:
      return u_.ui2;
    case VT_I4:
    case VT_INT:
      return u_.i4;
    case VT_UI4:
    case VT_UINT:
      return u_.ui4;
    case VT_I8:
      return u_.i8;
    case VT_UI8:
      if (u_.ui8 > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        throw ole_cast_exception();
      }
      return static_cast<std::int64_t>(u_.ui8);
    case VT_R4:
    case VT_R8: {
      std::int64_t v;
      if (!truncate_to(vt_ == VT_R4 ? u_.r4 : u_.r8, v)) throw ole_cast_exception();
      return v;
    }
    case VT_CY: {
      const std::int64_t v = u_.cy.to_i8();
      TK_LOG(1, "from CURRECY: res=%lld, hr=%08X", static_cast<long long>(v), 0u);
      return v;
    }
    case VT_DECIMAL: {
      std::int64_t v = 0;
      const bool ok = dec().to_i8(v);
      TK_LOG(1, "from DECIMAL: res=%lld, hr=%08X", static_cast<long long>(v),
             ok ? 0u : 0x8002000Au);
      if (!ok) throw ole_cast_exception();
      return v;
    }
    case VT_BOOL:
      TK_LOG(1, "src.boolVal=%d", static_cast<int>(u_.bool_val));
      return u_.bool_val == ole_variant_true ? 1 : u_.bool_val;
    default:
      return 0;
  }
}

std::int32_t ole_variant::to_long() const {
  TK_LOG(1, "ole_variant::to_long(%08X)", static_cast<unsigned>(vt_));
  switch (vt_) {
    case VT_R4:
    case VT_R8: {
      std::int32_t v;
      if (!truncate_to(vt_ == VT_R4 ? u_.r4 : u_.r8, v)) throw ole_cast_exception();
      return v;
    }
    default: {
      const std::int64_t v = to_i8();
      if (v < std::numeric_limits<std::int32_t>::min() ||
          v > std::numeric_limits<std::int32_t>::max()) {
        throw ole_cast_exception();
      }
      return static_cast<std::int32_t>(v);
    }
  }
}

std::uint64_t ole_variant::to_ui8() const {
  TK_LOG(1, "ole_variant::to_i8(%08X)", static_cast<unsigned>(vt_));
  switch (vt_) {
    case VT_UI8:
      return u_.ui8;
    case VT_R4:
    case VT_R8: {
      std::uint64_t v;
      if (!truncate_to(vt_ == VT_R4 ? u_.r4 : u_.r8, v)) throw ole_cast_exception();
      return v;
    }
    case VT_DECIMAL: {
      std::uint64_t v = 0;
      const bool ok = dec().to_ui8(v);
      TK_LOG(1, "from DECIMAL: res=%llu, hr=%08X", static_cast<unsigned long long>(v),
             ok ? 0u : 0x8002000Au);
      if (!ok) throw ole_cast_exception();
      return v;
    }
    default: {
      const std::int64_t v = to_i8();
      if (v < 0) throw ole_cast_exception();
      return static_cast<std::uint64_t>(v);
    }
  }
}

double ole_variant::to_double() const {
  TK_LOG(1, "ole_variant::to_double(%08X)", static_cast<unsigned>(vt_));
  switch (vt_) {
    case VT_EMPTY:
    case VT_NULL:
      return 0.0;
    case VT_R4:
      return u_.r4;
    case VT_R8:
      return u_.r8;
    case VT_UI8:
      return static_cast<double>(u_.ui8);
    case VT_CY: {
      const double v = u_.cy.to_double();
      TK_LOG(1, "from CURRECY: res=%lg, hr=%08X", v, 0u);
      return v;
    }
    case VT_DECIMAL: {
      const double v = dec().to_double();
      TK_LOG(1, "from DECIMAL: res=%lg, hr=%08X", v, 0u);
      return v;
    }
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_INT:
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
    case VT_BOOL:
      return static_cast<double>(to_i8());
    default:
      throw tk_mail_assertion(__FILE__, __LINE__);
  }
}

bool ole_variant::to_bool() const {
  switch (vt_) {
    case VT_R4:
      return u_.r4 != 0;
    case VT_R8:
      return u_.r8 != 0;
    case VT_BOOL:
      return u_.bool_val == ole_variant_true;
    case VT_CY:
    case VT_DECIMAL:
      try {
        return to_long() != 0;
      } catch (const ole_cast_exception&) {
        return true;  // too large for 32 bits: certainly not zero
      }
    case VT_UI8:
      return u_.ui8 != 0;
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_INT:
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
      return to_i8() != 0;
    default:
      return false;
  }
}

// Binary values.

void ole_variant::allocate_safe_array(std::size_t size) {
  TK_LOG(1, "ole_variant::allocate_safe_array (size=%d)", static_cast<int>(size));
  if (ole_is_binary(vt_)) {
    if (bytes_.size() != size) {
      TK_LOG(1, "Redimension array");
      bytes_.resize(size);
    }
  } else {
    vt_ = VT_BINARY;
    bytes_.assign(size, 0);
  }
  vt_ = VT_BINARY;
}

void ole_variant::attach_binary(const std::vector<std::uint8_t>& bytes) {
  TK_LOG(1, "ole_variant::attach_binary(1)");
  TK_LOG(1, "Step #1");
  allocate_safe_array(bytes.size());
  TK_LOG(1, "Step #2");
  std::copy(bytes.begin(), bytes.end(), bytes_.begin());
  TK_LOG(1, "ole_variant::attach_binary(1) - end");
}

void ole_variant::attach_binary(std::size_t size, const std::uint8_t* bytes) {
  TK_LOG(1, "ole_variant::attach_binary(2)");
  TK_ASSERT(bytes != nullptr || size == 0);
  TK_LOG(1, "Step #1");
  allocate_safe_array(size);
  TK_LOG(1, "Step #2");
  if (size > 0) std::memcpy(bytes_.data(), bytes, size);
  TK_LOG(1, "ole_variant::attach_binary(2) - end");
}

std::size_t ole_variant::get_bytes(std::vector<std::uint8_t>& out) const {
  TK_LOG(1, "ole_variant::get_bytes(%d)", static_cast<int>(vt_));
  if (vt_ == VT_EMPTY || vt_ == VT_NULL) {
    out.clear();
    return 0;
  }
  TK_ASSERT(ole_is_binary(vt_));
  const std::size_t n = get_safe_array_size(bytes_);
  out.assign(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}

std::size_t get_safe_array_size(std::span<const std::uint8_t> array) {
  TK_LOG(1, "get_safe_array_size");
  TK_LOG(1, "lower=%d, upper=%d", 0, static_cast<int>(array.size()) - 1);
  return array.size();
}

void convert_to_byte_array(const std::uint8_t* bytes, std::size_t n,
                           std::vector<std::uint8_t>& out) {
  TK_LOG(1, "convert_to_byte_array(%d)", static_cast<int>(n));
  TK_ASSERT(bytes != nullptr || n == 0);
  out.assign(bytes, bytes + n);
}
