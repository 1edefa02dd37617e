#include "app/talvex_bool_rule.h"

#include <gtest/gtest.h>

#include "tk/tk_encoding.h"
#include "udb/t_ftd.h"
#include "udb/udb_field.h"

namespace {

// The ready ASCII literal and handle2 agree for every kind of value the rule may see.
TEST(talvex_bool_rule, ready_literal_agrees_with_handle2) {
  talvex_bool_rule rule;
  EXPECT_EQ(rule.accepted_value_type(), VT_BOOL);
  udb_field yes(u"f", 1, ole_variant(true));
  udb_field no(u"f", 1, ole_variant(false));
  EXPECT_EQ(rule.ascii_literal2(yes), "'T'");
  EXPECT_EQ(rule.ascii_literal2(no), "'F'");
  udb_field null_value(u"f", 1, ole_variant());
  null_value.set_null();
  udb_field number(u"n", 4, ole_variant(1));
  for (const udb_field* value : {&yes, &no, &null_value, &number}) {
    EXPECT_EQ(rule.is_acceptable2(*value), value->get_type() == VT_BOOL);
    EXPECT_EQ(std::string(rule.ascii_literal2(*value)), tk_to_utf8(rule.handle2(*value)));
  }
  EXPECT_EQ(rule.handle1(t_ftd(1, u"f", VT_BOOL)), u"CHAR(1)");
}

}  // namespace
