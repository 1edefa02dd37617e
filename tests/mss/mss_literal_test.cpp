#include <gtest/gtest.h>

#include "mss/mss_literal.h"
#include "mss_literal_helpers.h"
#include "mss_test_facts.h"
#include "tk/tk_exception.h"

namespace {

TEST(mss_literal, text_quotes_unicode_and_empty_values) {
  using namespace std::string_view_literals;
  EXPECT_EQ(to_mssql_str(u"O'Brien", VT_BSTR), u"N'O''Brien'");
  EXPECT_EQ(to_mssql_str(u"", VT_BSTR), u"N''");
  EXPECT_EQ(to_mssql_str(u"", VT_I4), u"''");
  EXPECT_EQ(to_mssql_str(u"\u00C9mile \u20AC", VT_BSTR), u"N'\u00C9mile \u20AC'");
  EXPECT_EQ(to_mssql_str(u"\U0001F600", VT_BSTR), u"N'\U0001F600'");
  // A NUL cannot stand inside a script's literal.
  EXPECT_EQ(to_mssql_str(u"a\0b"sv, VT_BSTR), u"N'a' + NCHAR(0) + N'b'");
  EXPECT_THROW(to_mssql_str(u"a\xD800z", VT_BSTR), tk_exception);
  {
    mss_test_facts facts;
    facts.unicode_on = false;
    EXPECT_EQ(to_mssql_str(u"O'Brien", VT_BSTR), u"'O''Brien'");
    EXPECT_EQ(to_mssql_str(u"", VT_BSTR), u"''");
  }

  const t_ftd number(4, u"n", VT_I4);
  const t_ftd text(10, u"s", VT_BSTR);
  EXPECT_EQ(literal(ole_variant(u"O'Brien"sv), text), u"N'O''Brien'");
  EXPECT_EQ(literal(ole_variant(u""sv), text), u"N''");
  EXPECT_EQ(literal(ole_variant(), number), u"NULL");
  ole_variant null_value;
  null_value.set_null();
  EXPECT_EQ(literal(null_value, text), u"NULL");
  EXPECT_EQ(literal(ole_variant(), t_ftd(4, u"n", VT_I4, true, false, ole_variant(5))), u"5");
  EXPECT_EQ(literal(null_value, t_ftd(10, u"s", VT_BSTR, true)), u"N''");
  EXPECT_EQ(literal(ole_variant(), t_ftd(4, u"n", VT_I4, true)), u"''");
  EXPECT_EQ(literal(ole_variant(-42), number), u"-42");
  EXPECT_EQ(
      literal(ole_variant(static_cast<long long>(-9007199254740993LL)), t_ftd(8, u"n", VT_I8)),
      u"-9007199254740993");
  EXPECT_EQ(literal(ole_variant(false), t_ftd(1, u"b", VT_BOOL)), u"0");
}

TEST(mss_literal, guids_are_recognised_only_with_their_marker) {
  EXPECT_EQ(to_mssql_str(u"guid{6F9619FF-8B86-D011-B42D-00C04FC964FF}", VT_BSTR),
            u"'6F9619FF-8B86-D011-B42D-00C04FC964FF}'");
  // Ordinary text of a GUID's length stays text, whole.
  EXPECT_EQ(to_mssql_str(u"The quick brown fox jumps over the dog", VT_BSTR),
            u"N'The quick brown fox jumps over the dog'");
  EXPECT_EQ(to_mssql_str(u"6F9619FF-8B86-D011-B42D-00C04FC964FF", VT_BSTR),
            u"N'6F9619FF-8B86-D011-B42D-00C04FC964FF'");
  EXPECT_EQ(to_mssql_str(u"my guid is not here, it's somewhere else", VT_BSTR),
            u"N'my guid is not here, it''s somewhere else'");
}

TEST(mss_literal, binary_texts_stay_unquoted_only_as_numbers) {
  EXPECT_EQ(to_mssql_str(u"0x1F2E", VT_BINARY), u"0x1F2E");
  EXPECT_EQ(to_mssql_str(u"0X1f2e", VT_BLOB), u"0X1f2e");
  EXPECT_EQ(to_mssql_str(u"1234", VT_BLOB), u"1234");
  EXPECT_EQ(to_mssql_str(u"12ab", VT_BLOB), u"'12ab'");
  EXPECT_EQ(to_mssql_str(u"a'); DROP TABLE t; --", VT_BLOB), u"'a''); DROP TABLE t; --'");
  EXPECT_EQ(to_mssql_str(u"7", VT_BLOB), u"");

  ole_variant bytes;
  bytes.attach_binary(std::vector<std::uint8_t>{0x1F, 0x2E});
  EXPECT_EQ(literal(bytes, t_ftd(2, u"b", VT_BINARY)), u"0x1F2E");
  ole_variant no_bytes;
  no_bytes.attach_binary(std::vector<std::uint8_t>{});
  EXPECT_EQ(literal(no_bytes, t_ftd(2, u"b", VT_BINARY)), u"NULL");
}

TEST(mss_literal, missing_arguments_are_programming_errors) {
  const t_ftd column(4, u"n", VT_I4);
  const udb_field field(u"n", 4, ole_variant(1));
  EXPECT_THROW(mss_get_fld_append_str(nullptr, &column), tk_mail_assertion);
  EXPECT_THROW(mss_get_fld_append_str(&field, nullptr), tk_mail_assertion);
}

}  // namespace
