#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "udb/udb_validator.h"

class udb_schema;

// SQL Server's name rules: no length limit, no reserved words (every statement brackets its
// names); a name must start with a letter of any script or "_", unless it is bracketed.
class mss_validator : public udb_validator {
 public:
  mss_validator() : udb_validator(0) {}

  bool is_acceptable(std::u16string_view name) override;
  // Only resolves clashes: a duplicate gets the prefixes "_", "1", "_", "2", "_", "3", ... in
  // turn until it is unique; any other name comes back unchanged.
  std::u16string get_safe_name(std::u16string_view name) override;
};

// Table and view names of one database: the existing names are both lists, first then second.
class mss_tn_validator : public mss_validator {
 public:
  mss_tn_validator(const std::vector<std::u16string>& first,
                   const std::vector<std::u16string>& second);
};

// Column names of one table: the acceptable column names of the schema are the existing ones.
class mss_fn_validator : public mss_validator {
 public:
  explicit mss_fn_validator(const udb_schema& schema);
};
