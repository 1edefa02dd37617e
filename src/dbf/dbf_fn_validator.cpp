#include "dbf/dbf_fn_validator.h"

#include <unicode/uchar.h>

#include "tk/tk_log.h"

dbf_fn_validator::dbf_fn_validator(const udb_schema& schema) {
  TK_LOG(2, "dbf_fn_validator::ctor");
  for (std::size_t i = 0; i < schema.size(); ++i) add_existing_name(schema[i].name);
}

bool dbf_fn_validator::is_acceptable(std::u16string_view name) {
  TK_WLOG(2, "dbf_fn_validator::is_acceptable(%s)", name);
  return dbf_validator::is_acceptable(name) && !name.empty() && !u_isdigit(name.front());
}
