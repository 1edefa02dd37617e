#pragma once

#include <cstddef>
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

  static bool is_acceptable1(const t_ftd& column);
  static bool is_acceptable2(const udb_field& value);
  // The first rule accepting the column adjusts the description; nothing when none does.
  static void handle1_1(const t_ftd& column, udb_column_desc& desc);
  // The literal of the first rule accepting the value; empty when there are no rules. Asking
  // when rules exist but none accepts is a programming error: ask is_acceptable2 first.
  static std::u16string handle2(const udb_field& value);
  // The column type text of the first rule accepting the column; empty when none does.
  static std::u16string handle1(const t_ftd& column);

 private:
  std::vector<std::unique_ptr<udb_conversion_rule>> rules_;
};
