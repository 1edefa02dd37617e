#pragma once

// Readable failure messages for the results of the xBase expression readers.

#include <ostream>

#include "dbf/dbf_xbase_expr.h"

inline void PrintTo(const dbf_constant& c, std::ostream* os) {
  static constexpr const char* k_kinds[] = {"number",   "string",  "date",
                                            "datetime", "logical", "null"};
  *os << k_kinds[static_cast<int>(c.type)] << "(" << c.text;
  if (c.type == dbf_constant::kind::logical) *os << (c.logical ? ".T." : ".F.");
  *os << ")";
}

inline void PrintTo(const dbf_filter_term& t, std::ostream* os) {
  static constexpr const char* k_ops[] = {"eq", "ne",        "lt",      "le",      "gt",
                                          "ge", "not_empty", "is_true", "is_false"};
  *os << t.field << " " << k_ops[static_cast<int>(t.relation)] << " ";
  PrintTo(t.value, os);
}

inline void PrintTo(const dbf_filter& f, std::ostream* os) {
  *os << (f.not_deleted_only ? "{not deleted only;" : "{");
  for (const dbf_filter_term& t : f.terms) {
    *os << " ";
    PrintTo(t, os);
    *os << ";";
  }
  *os << " }";
}

inline void PrintTo(const dbf_default& d, std::ostream* os) {
  static constexpr const char* k_kinds[] = {"constant", "today", "now"};
  *os << k_kinds[static_cast<int>(d.type)] << " ";
  PrintTo(d.value, os);
}
