#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ole/ole_variant.h"

class t_ftd;
class udb_field;

// The server column a writer is about to create, as a conversion rule may adjust it: the
// client type code, the type name, size, precision and scale.
struct udb_column_desc {
  std::uint16_t db_type = 0;
  std::u16string type_name;
  std::uint64_t size = 0;
  std::uint8_t precision = 0;
  std::uint8_t scale = 0;
};

// Special handling of some columns and values that the generic type mapping does not cover.
// Rules are registered with udb_custom_conversion, which owns them.
class udb_conversion_rule {
 public:
  virtual ~udb_conversion_rule() = default;

  // The rule handles this value.
  virtual bool is_acceptable2(const udb_field& value) = 0;
  // The one value type (get_type) is_acceptable2 can accept, or VT_EMPTY when it may accept
  // values of any type. Lets the writers skip asking about values of every other type.
  virtual ole_vartype accepted_value_type() const { return VT_EMPTY; }
  // The rule handles this column definition.
  virtual bool is_acceptable1(const t_ftd& column) = 0;
  // The T-SQL literal for the value.
  virtual std::u16string handle2(const udb_field& value) = 0;
  // The same literal when the rule has it ready as ASCII text, empty when not (handle2 then
  // answers). Saves building and converting a string per value.
  virtual std::string_view ascii_literal2(const udb_field& value) {
    static_cast<void>(value);
    return {};
  }
  // Adjusts the server column description of the column.
  virtual void handle1_1(const t_ftd& column, udb_column_desc& desc) = 0;
  // Type text for the column.
  virtual std::u16string handle1(const t_ftd& column) = 0;

 protected:
  udb_conversion_rule() = default;
  udb_conversion_rule(const udb_conversion_rule&) = default;
  udb_conversion_rule& operator=(const udb_conversion_rule&) = default;
};
