#include "udb/t_ftd.h"

#include "tk/tk_log.h"

namespace {

// Narrow and wide C strings: only ever met as column types of other databases.
constexpr ole_vartype k_lpwstr = 31;

bool is_decimal_or_currency(ole_vartype vt) {
  return vt == VT_DECIMAL || vt == VT_CY;
}

}  // namespace

t_ftd::t_ftd(std::uint32_t size, std::u16string name, ole_vartype vartype, bool b_not_null,
             bool b_auto_num, const ole_variant& def_value, std::uint32_t reserved,
             std::u16string native_type)
    : size(size),
      name(std::move(name)),
      vartype(vartype),
      native_type(std::move(native_type)),
      b_auto_num(b_auto_num),
      b_not_null(b_not_null),
      def_value(def_value),
      reserved(reserved) {
  TK_LOG(1, "t_ftd::ctor2");
  TK_WLOG(1, "\tfield name='%s', vartype=%d, size=%d, b_not_null=%d, reserved=%d", this->name,
          static_cast<int>(vartype), static_cast<int>(size), static_cast<int>(b_not_null),
          static_cast<int>(reserved));
}

bool t_ftd::is_binary_type(ole_vartype vt) noexcept {
  return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == VT_BINARY;
}

bool t_ftd::is_numeric_type(ole_vartype vt) noexcept {
  switch (vt) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_BOOL:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
      return true;
    default:
      return false;
  }
}

bool t_ftd::is_text_type(ole_vartype vt) noexcept {
  return vt == VT_BSTR || vt == VT_LPSTR || vt == k_lpwstr;
}

bool t_ftd::operator==(const t_ftd& other) const {
  TK_LOG(1, "t_ftd::operator ==");
  if (is_decimal_or_currency(vartype) && is_decimal_or_currency(other.vartype) &&
      vartype != other.vartype)
    return true;
  return vartype == other.vartype && (vartype != VT_BSTR || size == other.size);
}

bool t_ftd::conform_to(const t_ftd& dest) const {
  TK_LOG(1, "t_ftd::conform_to");
  if (*this == dest) return true;

  const ole_vartype to = dest.vartype;
  if (to == VT_DATE) return vartype == VT_DATE || (vartype == VT_BSTR && size == 19);

  // Kinds no column is created with.
  if (to <= 1 || to == 9 || to == 10 || to == 12 || to == 13 || to == 15 || (to >= 24 && to <= 29))
    return false;
  if (to > k_lpwstr && !is_binary_type(to)) return false;

  // Numbers and booleans take numbers only.
  if ((to >= 2 && to <= 6) || to == VT_BOOL || to == VT_DECIMAL || (to >= 16 && to <= 23))
    return is_numeric();

  const bool size_fits = dest.size == 0 || dest.size >= size;
  if (is_text_type(to)) {
    // Anything but bytes fits into text regardless of size.
    if (!is_text_type(vartype)) return !is_binary();
    return size_fits;
  }
  // A binary destination.
  if (!is_text_type(vartype) && !is_binary()) return true;
  return size_fits;
}
