#pragma once

#include <string>
#include <string_view>

#include "udb/udb_validator.h"

// DBF naming rules for tables: at most 10 characters of letters, digits, "_" and "-".
class dbf_validator : public udb_validator {
 public:
  static constexpr std::uint32_t k_max_length = 10;

  dbf_validator();

  bool is_acceptable(std::u16string_view name) override;
  std::u16string get_safe_name(std::u16string_view name) override;

  // Suffixes tried after the plain safe name: name000 .. name999.
  static constexpr int k_suffix_limit = 1000;
};
