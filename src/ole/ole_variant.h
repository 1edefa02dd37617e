#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "ole/ole_currency.h"
#include "ole/ole_decimal.h"
#include "ole/ole_systemtime.h"
#include "tk/tk_exception.h"

// Value kind codes (the published VARIANT type codes).
using ole_vartype = std::uint16_t;

inline constexpr ole_vartype VT_EMPTY = 0;
inline constexpr ole_vartype VT_NULL = 1;
inline constexpr ole_vartype VT_I2 = 2;
inline constexpr ole_vartype VT_I4 = 3;
inline constexpr ole_vartype VT_R4 = 4;
inline constexpr ole_vartype VT_R8 = 5;
inline constexpr ole_vartype VT_CY = 6;
inline constexpr ole_vartype VT_DATE = 7;
inline constexpr ole_vartype VT_BSTR = 8;
inline constexpr ole_vartype VT_ERROR = 10;
inline constexpr ole_vartype VT_BOOL = 11;
inline constexpr ole_vartype VT_VARIANT = 12;
inline constexpr ole_vartype VT_DECIMAL = 14;
inline constexpr ole_vartype VT_I1 = 16;
inline constexpr ole_vartype VT_UI1 = 17;
inline constexpr ole_vartype VT_UI2 = 18;
inline constexpr ole_vartype VT_UI4 = 19;
inline constexpr ole_vartype VT_I8 = 20;
inline constexpr ole_vartype VT_UI8 = 21;
inline constexpr ole_vartype VT_INT = 22;
inline constexpr ole_vartype VT_UINT = 23;
inline constexpr ole_vartype VT_SAFEARRAY = 27;
inline constexpr ole_vartype VT_LPSTR = 30;
inline constexpr ole_vartype VT_BLOB = 65;
inline constexpr ole_vartype VT_BLOB_OBJECT = 70;
inline constexpr ole_vartype VT_ARRAY = 0x2000;
// The one kind a binary value is held as: a one-dimensional array of bytes (8209).
inline constexpr ole_vartype VT_BINARY = VT_ARRAY | VT_UI1;

// VT_BLOB, VT_BLOB_OBJECT and VT_ARRAY|VT_UI1.
constexpr bool ole_is_binary(ole_vartype vt) {
  return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == VT_BINARY;
}

inline constexpr short ole_variant_true = -1;
inline constexpr short ole_variant_false = 0;

// A value cannot be changed to the requested kind.
class ole_cast_exception : public tk_exception {
 public:
  ole_cast_exception();
};

// A text cannot be parsed into the requested kind.
class ole_type_exception : public tk_exception {
 public:
  ole_type_exception();
};

// The value of every field and default: a kind code with its payload. Text (VT_BSTR) is
// UTF-16, binary data (VT_ARRAY|VT_UI1) a byte vector, a date keeps both its OLE date and
// its broken-down form. Copying, assigning and the set_ functions reuse the text and byte
// buffers the value already owns, so a record refilled in place allocates nothing per field.
class ole_variant {
  // Declared first: the scalar kinds' setters and readers below are written over them.
  union payload {
    std::int8_t i1;
    std::uint8_t ui1;
    std::int16_t i2;
    std::uint16_t ui2;
    std::int32_t i4;
    std::uint32_t ui4;
    std::int64_t i8;
    std::uint64_t ui8;
    float r4;
    double r8;
    short bool_val;
    ole_currency cy;
    ole_decimal dec;
    double date;
  };

  // Every scalar kind's setter and reader: its code and the payload member that holds it
  // (`also`: a second code that shares the member).
  template <auto member, class T>
  void set_scalar(ole_vartype kind, T value) noexcept {
    vt_ = kind;
    u_.*member = value;
  }
  template <auto member, ole_vartype kind, ole_vartype also = kind>
  auto scalar() const {
    TK_ASSERT(vt_ == kind || vt_ == also);
    return u_.*member;
  }

 public:
  ole_variant();
  explicit ole_variant(const ole_systemtime& st);
  explicit ole_variant(const ole_currency& cy);
  explicit ole_variant(const ole_decimal& dec);
  explicit ole_variant(const char16_t* bstr);  // a copy of the text, as a BSTR
  explicit ole_variant(bool value);
  explicit ole_variant(char value);         // VT_I1
  explicit ole_variant(signed char value);  // VT_I1
  explicit ole_variant(unsigned char value);
  explicit ole_variant(short value);
  explicit ole_variant(unsigned short value);
  explicit ole_variant(int value);
  explicit ole_variant(unsigned int value);
  explicit ole_variant(long value);  // VT_I8 (std::int64_t)
  explicit ole_variant(unsigned long value);
  explicit ole_variant(long long value);  // VT_I8
  explicit ole_variant(unsigned long long value);
  explicit ole_variant(float value);
  explicit ole_variant(double value);
  explicit ole_variant(std::string_view narrow);  // VT_BSTR of UTF-8 text
  explicit ole_variant(const char* narrow);
  explicit ole_variant(const std::string& narrow);
  explicit ole_variant(std::u16string_view wide);
  explicit ole_variant(const std::u16string& wide);

  ole_variant(const ole_variant& other);
  ole_variant(ole_variant&& other) noexcept;
  ole_variant& operator=(const ole_variant& other);
  ole_variant& operator=(ole_variant&& other) noexcept;
  ole_variant& operator=(std::u16string_view bstr);
  ~ole_variant() = default;

  ole_vartype vt() const noexcept { return vt_; }
  bool is_empty() const noexcept { return vt_ == VT_EMPTY; }
  bool is_null() const noexcept { return vt_ == VT_NULL; }
  bool is_binary() const noexcept { return ole_is_binary(vt_); }

  // Text in. Embedded NULs survive.
  void attach_string(std::string_view narrow);
  void attach_wstring(std::u16string_view wide);

  // A value of the requested kind parsed from text; empty text gives VT_EMPTY for every kind
  // but VT_BSTR. Integers, decimals, currency and dates parse without heap allocation.
  static ole_variant from_string(std::string_view text, ole_vartype kind);
  static ole_variant from_wstring(std::u16string_view text, ole_vartype kind);
  // The same, refilling this value in place (its buffers are reused).
  void assign_from_string(std::string_view text, ole_vartype kind);
  void assign_from_wstring(std::u16string_view text, ole_vartype kind);

  // Converts in place; throws ole_cast_exception when the change cannot be made.
  void change_type(ole_vartype kind);

  // The fixed text form of each kind ("" for empty and null).
  std::string to_string() const;
  std::u16string to_wstring() const;
  // The same into a caller's buffer, reusing its capacity.
  void to_string(std::string& out) const;
  void to_wstring(std::u16string& out) const;

  std::int32_t to_long() const;
  std::int64_t to_i8() const;
  std::uint64_t to_ui8() const;
  double to_double() const;
  bool to_bool() const;

  // Binary values.
  void allocate_safe_array(std::size_t size);
  void attach_binary(const std::vector<std::uint8_t>& bytes);
  void attach_binary(std::size_t size, const std::uint8_t* bytes);
  std::size_t get_bytes(std::vector<std::uint8_t>& out) const;

  // Refilling setters for the hot path: no trace, no allocation beyond buffer growth.
  void set_empty() noexcept { vt_ = VT_EMPTY; }
  void set_null() noexcept { vt_ = VT_NULL; }
  void set_bool(bool value) noexcept {
    set_scalar<&payload::bool_val>(VT_BOOL, value ? ole_variant_true : ole_variant_false);
  }
  void set_i1(std::int8_t value) noexcept { set_scalar<&payload::i1>(VT_I1, value); }
  void set_ui1(std::uint8_t value) noexcept { set_scalar<&payload::ui1>(VT_UI1, value); }
  void set_i2(std::int16_t value) noexcept { set_scalar<&payload::i2>(VT_I2, value); }
  void set_ui2(std::uint16_t value) noexcept { set_scalar<&payload::ui2>(VT_UI2, value); }
  void set_i4(std::int32_t value) noexcept { set_scalar<&payload::i4>(VT_I4, value); }
  void set_ui4(std::uint32_t value) noexcept { set_scalar<&payload::ui4>(VT_UI4, value); }
  void set_i8(std::int64_t value) noexcept { set_scalar<&payload::i8>(VT_I8, value); }
  void set_ui8(std::uint64_t value) noexcept { set_scalar<&payload::ui8>(VT_UI8, value); }
  void set_r4(float value) noexcept { set_scalar<&payload::r4>(VT_R4, value); }
  void set_r8(double value) noexcept { set_scalar<&payload::r8>(VT_R8, value); }
  void set_cy(ole_currency value) noexcept { set_scalar<&payload::cy>(VT_CY, value); }
  void set_decimal(const ole_decimal& value);  // scale 0 to 28
  // For a reader of numbers as text: makes the value the decimal that `plain` spells in the
  // form ole_decimal::parse_plain reads, which is parsed only when first asked for;
  // format_decimal prints it from the text. False (the value unchanged) for any other text.
  bool set_decimal_text(std::string_view plain);
  // A decimal's text, as ole_decimal::format prints it; returns its length.
  std::size_t format_decimal(char (&out)[ole_decimal::k_text_size]) const;
  // A date from its broken-down form; false (the OLE date then 0, the broken-down form kept)
  // when it has no OLE date.
  bool set_date(const ole_systemtime& st) noexcept;
  // A date from an OLE date; false (the value then VT_EMPTY) when out of range.
  bool set_date(double ole_date) noexcept;
  void set_text(std::u16string_view text);
  // Makes the value an empty VT_BSTR and returns its buffer to fill (capacity kept).
  std::u16string& text_buffer() noexcept;
  // For a reader that has the text's UTF-8 form at hand as cheaply as the text itself: called
  // right after filling `text_buffer`, it returns a buffer to fill with exactly that form,
  // which `utf8_form` then offers to writers of UTF-8 output. Any later change of the value
  // forgets the form (so the text must not be changed through the text buffer afterwards).
  std::string& utf8_form_buffer() noexcept {
    utf8_known_ = vt_ == VT_BSTR;
    utf8_.clear();
    return utf8_;
  }
  // The text's UTF-8 form when a reader gave it, else null.
  const std::string* utf8_form() const noexcept {
    return vt_ == VT_BSTR && utf8_known_ ? &utf8_ : nullptr;
  }
  // For a reader whose text comes as UTF-8 at no cost while its UTF-16 form would cost a pass
  // of its own: makes the value text given by its UTF-8 form alone and returns the buffer to
  // fill with well-formed UTF-8 (capacity kept). The UTF-16 text is worked out when something
  // first asks for it, so a script writer, which wants only the UTF-8 form, never pays for it.
  std::string& utf8_text_buffer() noexcept {
    become_text();
    utf8_known_ = true;
    wide_pending_ = true;
    utf8_.clear();
    return utf8_;
  }
  void set_bytes(std::span<const std::uint8_t> bytes);
  // Makes the value an empty byte array and returns its buffer to fill (capacity kept).
  std::vector<std::uint8_t>& bytes_buffer() noexcept;
  // Frees a text or byte buffer holding more than `keep` bytes (a value held in it becomes
  // VT_EMPTY), so that a value refilled for many rows does not keep the largest one's room.
  void release_buffers(std::size_t keep) noexcept;

  // Payload accessors; asking for another kind's payload is an internal error.
  short bool_val() const { return scalar<&payload::bool_val, VT_BOOL>(); }  // -1 or 0
  std::int8_t i1() const { return scalar<&payload::i1, VT_I1>(); }
  std::uint8_t ui1() const { return scalar<&payload::ui1, VT_UI1>(); }
  std::int16_t i2() const { return scalar<&payload::i2, VT_I2>(); }
  std::uint16_t ui2() const { return scalar<&payload::ui2, VT_UI2>(); }
  std::int32_t i4() const { return scalar<&payload::i4, VT_I4, VT_INT>(); }
  std::uint32_t ui4() const { return scalar<&payload::ui4, VT_UI4, VT_UINT>(); }
  std::int64_t i8() const { return scalar<&payload::i8, VT_I8>(); }
  std::uint64_t ui8() const { return scalar<&payload::ui8, VT_UI8>(); }
  float r4() const { return scalar<&payload::r4, VT_R4>(); }
  double r8() const { return scalar<&payload::r8, VT_R8>(); }
  ole_currency cy() const { return scalar<&payload::cy, VT_CY>(); }
  const ole_decimal& decimal() const;
  double date() const;                          // the OLE date
  const ole_systemtime& systemtime() const;     // the broken-down date
  const std::u16string& text() const;           // VT_BSTR
  std::span<const std::uint8_t> bytes() const;  // binary kinds

  // Same kind and same value (decimals compare numerically).
  friend bool operator==(const ole_variant& a, const ole_variant& b);

 private:
  static constexpr std::size_t k_scalar_text_size = 64;

  void trace_ctor() const;
  // A scalar kind's constructor: traced with the value as `format` shows it, then stored by
  // `set`.
  template <class T, class Shown>
  ole_variant(const char* format, Shown shown, void (ole_variant::*set)(T) noexcept,
              std::type_identity_t<T> value);
  // The text of every kind but text and binary; returns its length.
  std::size_t format_scalar(char (&buf)[k_scalar_text_size]) const;
  void copy_from(const ole_variant& other);
  void change_general(ole_vartype kind);
  void change_to_binary();
  void set_integer(ole_vartype kind, long long value);
  [[noreturn]] void fail_change() const;
  // Every change into text goes through here: a UTF-8 form given earlier no longer applies.
  void become_text() noexcept {
    vt_ = VT_BSTR;
    utf8_known_ = false;
    wide_pending_ = false;
  }
  // text_, worked out from the UTF-8 form first when only that was given.
  const std::u16string& wide() const;
  // u_.dec, parsed from its text first when only that was given.
  const ole_decimal& dec() const noexcept;

  ole_vartype vt_ = VT_EMPTY;
  // The OLE date of a value set from its broken-down form is worked out when first asked for:
  // most dates are only ever printed from that form.
  mutable payload u_{.dec = {}};
  mutable bool date_pending_ = false;     // VT_DATE only: u_.date not yet worked out from st_
  mutable bool decimal_pending_ = false;  // VT_DECIMAL only: u_.dec not yet parsed from utf8_
  ole_systemtime st_{};                   // VT_DATE only
  mutable std::u16string text_;           // VT_BSTR only
  // VT_BSTR: the text's UTF-8 form, when known; VT_DECIMAL: the text of a decimal not yet
  // parsed.
  std::string utf8_;
  bool utf8_known_ = false;
  mutable bool wide_pending_ = false;  // VT_BSTR only: text_ not yet worked out from utf8_
  std::vector<std::uint8_t> bytes_;    // binary kinds only
};

// Upper bound - lower bound + 1 of a byte array: its element count.
std::size_t get_safe_array_size(std::span<const std::uint8_t> array);

// Fills out with n bytes (capacity reused).
void convert_to_byte_array(const std::uint8_t* bytes, std::size_t n,
                           std::vector<std::uint8_t>& out);
