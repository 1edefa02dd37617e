#pragma once

#include <cstdint>
#include <string>

#include "ole/ole_variant.h"

// One named value of a row: the value itself plus the name and declared size of the column
// it came from. Readers refill a field in place row after row (set_value, or the value
// operations it inherits), so its name and buffers are built once per table.
class udb_field : public ole_variant {
 public:
  udb_field();
  udb_field(std::u16string name, std::int32_t size, const ole_variant& value);
  udb_field(const udb_field&) = default;
  udb_field(udb_field&&) noexcept = default;
  udb_field& operator=(const udb_field&) = default;
  udb_field& operator=(udb_field&&) noexcept = default;
  // Records own fields through this type, so derived fields are destroyed whole.
  virtual ~udb_field();

  // Type code of the value held (VT_NULL for a NULL value, whatever the column's type).
  virtual ole_vartype get_type() const;

  // Replaces the value; name and size stay.
  void set_value(const ole_variant& value) { ole_variant::operator=(value); }
  const ole_variant& value() const noexcept { return *this; }
  ole_variant& value() noexcept { return *this; }

  std::int32_t size = 0;  // declared size of the column, 0 when not given
  std::u16string name;
};
