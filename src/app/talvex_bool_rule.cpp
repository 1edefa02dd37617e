#include "app/talvex_bool_rule.h"

#include "ole/ole_variant.h"
#include "tk/tk_log.h"
#include "udb/t_ftd.h"
#include "udb/udb_field.h"

bool talvex_bool_rule::is_acceptable2(const udb_field& value) {
  return value.get_type() == VT_BOOL;
}

bool talvex_bool_rule::is_acceptable1(const t_ftd& column) {
  return column.vartype == VT_BOOL;
}

std::u16string talvex_bool_rule::handle2(const udb_field& value) {
  TK_LOG(1, "talvex_bool_rule::handle2");
  if (value.get_type() != VT_BOOL) return {};
  return value.to_bool() ? u"'T'" : u"'F'";
}

std::string_view talvex_bool_rule::ascii_literal2(const udb_field& value) {
  if (value.get_type() != VT_BOOL) return {};
  return value.to_bool() ? "'T'" : "'F'";
}

void talvex_bool_rule::handle1_1(const t_ftd& column, udb_column_desc& desc) {
  if (column.vartype != VT_BOOL) return;
  desc.type_name = u"char";
  desc.size = 1;
}

std::u16string talvex_bool_rule::handle1(const t_ftd& column) {
  TK_LOG(1, "talvex_bool_rule::handle1");
  return column.vartype == VT_BOOL ? u"CHAR(1)" : u"";
}
