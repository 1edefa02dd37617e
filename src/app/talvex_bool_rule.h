#pragma once

#include "udb/udb_conversion_rule.h"

// Logical values as the literals 'T' and 'F'. A BIT column rejects those literals, so the
// column the rule describes is CHAR(1).
class talvex_bool_rule : public udb_conversion_rule {
 public:
  bool is_acceptable2(const udb_field& value) override;
  ole_vartype accepted_value_type() const override { return VT_BOOL; }
  bool is_acceptable1(const t_ftd& column) override;
  std::u16string handle2(const udb_field& value) override;
  std::string_view ascii_literal2(const udb_field& value) override;
  void handle1_1(const t_ftd& column, udb_column_desc& desc) override;
  std::u16string handle1(const t_ftd& column) override;
};
