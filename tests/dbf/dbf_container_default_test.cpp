// Container field defaults as column defaults: constants of the column's kind and the clock;
// everything else left out.
#include <gtest/gtest.h>

#include "dbf/dbf_container_default.h"

namespace {

std::u16string default_of(const std::string& expr, ole_vartype vt) {
  const std::optional<ole_variant> value = dbf_container_default(t_ftd(10, u"f", vt), expr);
  if (!value) return u"<untranslated>";
  if (value->vt() == VT_BOOL) return value->to_bool() ? u"<true>" : u"<false>";
  return value->vt() == VT_BSTR ? value->text() : (value->is_empty() ? u"<none>" : u"<other>");
}

TEST(DbfContainerDefault, ConstantsOfTheColumnsKindAndTheClock) {
  EXPECT_EQ(default_of("0", VT_I4), u"0");
  EXPECT_EQ(default_of("-12.50", VT_DECIMAL), u"-12.50");
  EXPECT_EQ(default_of("'abc'", VT_BSTR), u"abc");
  EXPECT_EQ(default_of("{^2024-01-31}", VT_DATE), u"2024-01-31");
  EXPECT_EQ(default_of("DATE()", VT_DATE), u"getdate()");
  EXPECT_EQ(default_of("datetime()", VT_DATE), u"getdate()");
  EXPECT_EQ(default_of(".T.", VT_BOOL), u"<true>");
  EXPECT_EQ(default_of(".f.", VT_BOOL), u"<false>");
  // NULL and no expression: nothing to make.
  EXPECT_EQ(default_of(".NULL.", VT_I4), u"<none>");
  EXPECT_EQ(default_of("", VT_I4), u"<none>");
  // A constant of another kind, an empty date and expressions do not translate.
  EXPECT_EQ(default_of("'abc'", VT_I4), u"<untranslated>");
  EXPECT_EQ(default_of("DATE()", VT_BSTR), u"<untranslated>");
  EXPECT_EQ(default_of(".T.", VT_I4), u"<untranslated>");
  EXPECT_EQ(default_of("1", VT_BOOL), u"<untranslated>");
  EXPECT_EQ(default_of("{}", VT_DATE), u"<untranslated>");
  EXPECT_EQ(default_of("newid()", VT_BSTR), u"<untranslated>");
}

}  // namespace
