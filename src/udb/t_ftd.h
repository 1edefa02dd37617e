#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ole/ole_variant.h"

// Descriptor of one column, whatever its origin: size, name, variant type code and the
// details the writers need to define it.
class t_ftd {
 public:
  // The empty descriptor: size 0, no name, type 0, no flags, no default.
  t_ftd() = default;
  t_ftd(std::uint32_t size, std::u16string name, ole_vartype vartype, bool b_not_null = false,
        bool b_auto_num = false, const ole_variant& def_value = ole_variant(),
        std::uint32_t reserved = 0, std::u16string native_type = std::u16string());
  t_ftd(const t_ftd&) = default;
  t_ftd(t_ftd&&) = default;
  t_ftd& operator=(const t_ftd&) = default;
  t_ftd& operator=(t_ftd&&) = default;

  // Same column type: decimal and currency match each other, text also needs equal sizes.
  bool operator==(const t_ftd& other) const;
  // Whether values of this (source) column can be stored in column `dest`.
  bool conform_to(const t_ftd& dest) const;

  // Decimal precision and scale packed in `reserved` (bits 8-15 and 0-7).
  std::uint32_t get_precision() const noexcept {
    return reserved == 0 ? 0 : (reserved >> 8) & 0xFF;
  }
  std::uint32_t get_scale() const noexcept { return reserved & 0xFF; }
  bool is_binary() const noexcept { return is_binary_type(vartype); }
  bool is_numeric() const noexcept { return is_numeric_type(vartype); }

  static bool is_binary_type(ole_vartype vt) noexcept;
  static bool is_numeric_type(ole_vartype vt) noexcept;
  static bool is_text_type(ole_vartype vt) noexcept;

  // Characters of text, bytes of binary, field length of DBF numbers; 0 = no declared size.
  std::uint32_t size = 0;
  std::u16string name;
  ole_vartype vartype = VT_EMPTY;
  // Used verbatim as the column's SQL type when not empty.
  std::u16string native_type;
  bool b_auto_num = false;
  // An auto-number column's next value, where its source keeps one, and its step: the
  // application's next row gets that value after the conversion too.
  std::optional<std::int64_t> auto_next;
  std::int64_t auto_step = 1;
  bool b_not_null = false;
  ole_variant def_value;  // empty: no default
  // Subtype word: decimal precision/scale, date kind (1 date and time, 2 date, 3 time),
  // text kind (1 GUID, 11 XML).
  std::uint32_t reserved = 0;
};
