#include "udb/udb_custom_conversion.h"

#include "tk/tk_exception.h"
#include "tk/tk_log.h"

udb_custom_conversion::~udb_custom_conversion() {
  TK_LOG(2, "udb_custom_conversion::dtor");
}

void udb_custom_conversion::add_rule(std::unique_ptr<udb_conversion_rule> rule) {
  TK_ASSERT(rule != nullptr);
  const ole_vartype vt = rule->accepted_value_type();
  if (vt == VT_EMPTY || vt >= 64) {
    any_value_type_ = true;
  } else {
    value_types_ |= std::uint64_t{1} << vt;
  }
  rules_.push_back(std::move(rule));
}

bool udb_custom_conversion::is_acceptable1(const t_ftd& column) {
  TK_LOG(1, "udb_custom_conversion::is_acceptable1");
  const udb_custom_conversion* self = instance_ptr();
  if (self == nullptr) return false;
  for (const auto& rule : self->rules_)
    if (rule->is_acceptable1(column)) return true;
  return false;
}

bool udb_custom_conversion::is_acceptable2(const udb_field& value) {
  TK_LOG(1, "udb_custom_conversion::is_acceptable2");
  const udb_custom_conversion* self = instance_ptr();
  if (self == nullptr) return false;
  for (const auto& rule : self->rules_)
    if (rule->is_acceptable2(value)) return true;
  return false;
}

void udb_custom_conversion::handle1_1(const t_ftd& column, udb_column_desc& desc) {
  TK_LOG(1, "udb_custom_conversion::handle1_1");
  const udb_custom_conversion* self = instance_ptr();
  if (self == nullptr) return;
  for (const auto& rule : self->rules_) {
    if (rule->is_acceptable1(column)) {
      rule->handle1_1(column, desc);
      return;
    }
  }
}

std::u16string udb_custom_conversion::handle2(const udb_field& value) {
  TK_LOG(1, "udb_custom_conversion::handle2");
  const udb_custom_conversion* self = instance_ptr();
  if (self == nullptr || self->rules_.empty()) return {};
  for (const auto& rule : self->rules_)
    if (rule->is_acceptable2(value)) return rule->handle2(value);
  throw tk_mail_assertion(__FILE__, __LINE__);
}

std::string_view udb_custom_conversion::ascii_literal2(const udb_field& value) {
  const udb_custom_conversion* self = instance_ptr();
  if (self == nullptr) return {};
  for (const auto& rule : self->rules_)
    if (rule->is_acceptable2(value)) return rule->ascii_literal2(value);
  return {};
}

std::u16string udb_custom_conversion::handle1(const t_ftd& column) {
  TK_LOG(1, "udb_custom_conversion::handle1");
  const udb_custom_conversion* self = instance_ptr();
  if (self == nullptr) return {};
  for (const auto& rule : self->rules_)
    if (rule->is_acceptable1(column)) return rule->handle1(column);
  return {};
}
