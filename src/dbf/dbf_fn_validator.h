#pragma once

#include "dbf/dbf_validator.h"
#include "udb/udb_schema.h"

// DBF naming rules for field names: the table rules, and a field name is neither empty nor
// begins with a decimal digit. Starts out knowing every column name of its schema.
class dbf_fn_validator : public dbf_validator {
 public:
  explicit dbf_fn_validator(const udb_schema& schema);

  bool is_acceptable(std::u16string_view name) override;
};
