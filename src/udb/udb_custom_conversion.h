#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tk/tk_singleton.h"
#include "udb/udb_conversion_rule.h"

// The process-wide list of conversion rules, owned, in order of precedence. The static
// dispatchers work on the current instance and answer "no rule" when there is none.
class udb_custom_conversion : public tk_singleton<udb_custom_conversion> {
 public:
  udb_custom_conversion() = default;
  ~udb_custom_conversion() override;

  // Appends a rule; earlier rules take precedence.
  void add_rule(std::unique_ptr<udb_conversion_rule> rule);
  std::size_t size() const noexcept { return rules_.size(); }

  // Cheap test, made before is_acceptable2 for every value: false when no rule can accept a
  // value of this type.
  static bool may_accept2(ole_vartype vt) noexcept {
    const udb_custom_conversion* self = instance_ptr();
    if (self == nullptr || self->rules_.empty()) return false;
    return self->any_value_type_ || (vt < 64 && ((self->value_types_ >> vt) & 1) != 0);
  }
  static bool is_acceptable1(const t_ftd& column);
  static bool is_acceptable2(const udb_field& value);
  // The first rule accepting the column adjusts the description; nothing when none does.
  static void handle1_1(const t_ftd& column, udb_column_desc& desc);
  // The literal of the first rule accepting the value; empty when there are no rules. Asking
  // when rules exist but none accepts is a programming error: ask is_acceptable2 first.
  static std::u16string handle2(const udb_field& value);
  // The ASCII literal of the first rule accepting the value, when that rule has one ready;
  // empty otherwise (ask handle2 then).
  static std::string_view ascii_literal2(const udb_field& value);
  // The column type text of the first rule accepting the column; empty when none does.
  static std::u16string handle1(const t_ftd& column);

 private:
  std::vector<std::unique_ptr<udb_conversion_rule>> rules_;
  // The value types the rules declare, one bit per type below 64; any_value_type_ when a
  // rule declares none (or one beyond that).
  std::uint64_t value_types_ = 0;
  bool any_value_type_ = false;
};
