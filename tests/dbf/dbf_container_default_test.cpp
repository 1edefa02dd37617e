// Container field defaults as column defaults: constants of the column's kind and the clock;
// everything else left out.
#include <gtest/gtest.h>

#include "dbf/dbf_container_default.h"

namespace {

std::u16string default_of(const std::string& expr, ole_vartype vt) {
  const ole_variant value = dbf_container_default("t", t_ftd(10, u"f", vt), expr);
  return value.vt() == VT_BSTR ? value.text() : (value.is_empty() ? u"<none>" : u"<other>");
}

TEST(DbfContainerDefault, ConstantsOfTheColumnsKindAndTheClock) {
  EXPECT_EQ(default_of("0", VT_I4), u"0");
  EXPECT_EQ(default_of("-12.50", VT_DECIMAL), u"-12.50");
  EXPECT_EQ(default_of("'abc'", VT_BSTR), u"abc");
  EXPECT_EQ(default_of("{^2024-01-31}", VT_DATE), u"2024-01-31");
  EXPECT_EQ(default_of("DATE()", VT_DATE), u"getdate()");
  EXPECT_EQ(default_of("datetime()", VT_DATE), u"getdate()");
  // A constant of another kind, NULL, logicals, an empty date and expressions: none.
  EXPECT_EQ(default_of("'abc'", VT_I4), u"<none>");
  EXPECT_EQ(default_of("DATE()", VT_BSTR), u"<none>");
  EXPECT_EQ(default_of(".NULL.", VT_I4), u"<none>");
  EXPECT_EQ(default_of(".T.", VT_BOOL), u"<none>");
  EXPECT_EQ(default_of("{}", VT_DATE), u"<none>");
  EXPECT_EQ(default_of("newid()", VT_BSTR), u"<none>");
  EXPECT_EQ(default_of("", VT_I4), u"<none>");
}

}  // namespace
