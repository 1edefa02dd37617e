#include <gtest/gtest.h>

#include <string>

#include "mss/mss_literal.h"
#include "mss/mss_text_literal.h"
#include "mss_test_facts.h"
#include "ole/ole_utf.h"
#include "tk/tk_encoding.h"
#include "udb/t_ftd.h"
#include "udb/udb_field.h"

namespace {

// The literal a text must become, built one unit at a time: quotes doubled, every NUL as a
// joined NCHAR(0), everything else as its UTF-8 bytes.
std::string expected_literal(std::u16string_view text) {
  std::string out = "N'";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\'') {
      out += "''";
    } else if (c == u'\0') {
      out += "' + NCHAR(0) + N'";
    } else if (c >= 0xD800 && c <= 0xDBFF) {
      out += tk_to_utf8(text.substr(i, 2));
      ++i;
    } else {
      out += tk_to_utf8(text.substr(i, 1));
    }
  }
  return out + "'";
}

std::string literal(std::u16string_view text) {
  std::string out = "x";  // the literal is appended after what the buffer holds
  mss_append_mssql_str(out, text, VT_BSTR);
  return out.substr(1);
}

// The same text written from a value that carries its UTF-8 form, as values read from a
// table do.
std::string literal_from_form(std::u16string_view text) {
  udb_field field(u"f", 0, ole_variant());
  field.text_buffer() = text;
  EXPECT_TRUE(ole_utf16_to_utf8(text, field.utf8_form_buffer()));
  std::string out = "x";
  mss_append_fld_str(out, field, t_ftd(0, u"f", VT_BSTR));
  return out.substr(1);
}

// Texts of every length up to a few blocks of units, with one unit of each kind that stops a
// plain ASCII run (quote, NUL, line breaks and other control characters, dollar, two- and
// three-byte characters, a surrogate pair) at every position, so that runs are cut at every
// offset inside and across blocks.
TEST(mss_text_literal, specials_at_every_position_of_every_length) {
  const std::u16string specials[] = {
      u"'", std::u16string(1, u'\0'), u"\u00E9", u"\u20AC", u"\U0001F600", u"\n", u"\r", u"\x01",
      u"$"};
  for (std::size_t length = 0; length <= 40; ++length) {
    std::u16string plain;
    for (std::size_t i = 0; i < length; ++i) plain += static_cast<char16_t>(u'a' + i % 26);
    ASSERT_EQ(literal(plain), expected_literal(plain)) << length;
    for (std::size_t at = 0; at < length; ++at) {
      for (const std::u16string& special : specials) {
        std::u16string text = plain;
        text.replace(at, 1, special);
        ASSERT_EQ(literal(text), expected_literal(text)) << length << " at " << at;
        ASSERT_EQ(literal_from_form(text), expected_literal(text)) << length << " at " << at;
        // The same unit once more near the end: a second stop in the same text.
        text += special;
        text += std::u16string_view(u"xyz").substr(0, at % 3);
        ASSERT_EQ(literal(text), expected_literal(text)) << length << " twice at " << at;
        ASSERT_EQ(literal_from_form(text), expected_literal(text)) << length << " twice at " << at;
      }
    }
  }
}

TEST(mss_text_literal, leading_trailing_and_repeated_nuls) {
  using namespace std::string_view_literals;
  EXPECT_EQ(literal(u"\0abcdefghij"sv), "N'' + NCHAR(0) + N'abcdefghij'");
  EXPECT_EQ(literal(u"abcdefghij\0"sv), "N'abcdefghij' + NCHAR(0) + N''");
  EXPECT_EQ(literal(u"abcdefgh\0\0ijklmnop"sv),
            "N'abcdefgh' + NCHAR(0) + N'' + NCHAR(0) + N'ijklmnop'");
}

// A text with a line a script runner would take for one of its commands ("GO", "QUIT", ":r",
// "!!" ...) keeps every line break out of the literal, so that no line of the script starts
// inside it; other texts keep their breaks.
TEST(mss_text_literal, lines_that_read_as_runner_commands_stay_off_the_script_lines) {
  using namespace std::string_view_literals;
  EXPECT_EQ(literal(u"Ready\r\nGO\r\nafter"),
            "N'Ready' + NCHAR(13) + NCHAR(10) + N'GO' + NCHAR(13) + NCHAR(10) + N'after'");
  EXPECT_EQ(literal(u"one\n\t go 2"), "N'one' + NCHAR(10) + N'\t go 2'");
  EXPECT_EQ(literal(u"it's\rgo"), "N'it''s' + NCHAR(13) + N'go'");
  EXPECT_EQ(literal(u"a\0b\nGo;"sv), "N'a' + NCHAR(0) + N'b' + NCHAR(10) + N'Go;'");
  EXPECT_EQ(literal(u"a\0b\nc"sv), "N'a' + NCHAR(0) + N'b\nc'");
  for (const std::u16string line :
       {u"quit", u"  EXIT", u"Reset", u"ed", u":r other.sql", u" :setvar x 1", u"!! rm x", u"GO"}) {
    EXPECT_EQ(literal(u"a\n" + line), "N'a' + NCHAR(10) + N'" + tk_to_utf8(line) + "'");
  }
  // Lines that merely begin with the letters, or hold them later, are left alone.
  EXPECT_EQ(literal(u"Gone\nGOTO\ngo_on\nlet's go\nquitting\nexits\nedit\nresets\n! x\n"),
            "N'Gone\nGOTO\ngo_on\nlet''s go\nquitting\nexits\nedit\nresets\n! x\n'");
  EXPECT_EQ(literal(u"GO at the start"), "N'GO at the start'");
  EXPECT_EQ(literal_from_form(u"Ready\r\nGO\r\nafter"), literal(u"Ready\r\nGO\r\nafter"));
  EXPECT_EQ(literal_from_form(u"a\0b\nGo;"sv), literal(u"a\0b\nGo;"sv));

  mss_test_facts facts;
  facts.unicode_on = false;
  EXPECT_EQ(literal(u"a\nGO"), "'a' + CHAR(10) + 'GO'");
}

// sqlcmd puts a scripting variable in place of "$(name)" even inside a quoted text; the literal
// ends between "$" and "(" so that the text arrives as it is.
TEST(mss_text_literal, dollar_and_parenthesis_are_never_next_to_each_other) {
  using namespace std::string_view_literals;
  EXPECT_EQ(literal(u"Price $(USD) and $(x)"), "N'Price $' + N'(USD) and $' + N'(x)'");
  EXPECT_EQ(literal(u"$$(("), "N'$$' + N'(('");
  EXPECT_EQ(literal(u"$ ( and $ alone, (x)"), "N'$ ( and $ alone, (x)'");
  EXPECT_EQ(literal(u"a\0$(b)"sv), "N'a' + NCHAR(0) + N'$' + N'(b)'");
  EXPECT_EQ(literal(u"$(x)\nGO"), "N'$' + N'(x)' + NCHAR(10) + N'GO'");
  for (const std::u16string text : {u"Price $(USD) and $(x)", u"a long run of plain text $(x) y"}) {
    EXPECT_EQ(literal_from_form(text), literal(text));
  }
}

TEST(mss_text_literal, a_lone_surrogate_after_a_plain_run_fails) {
  EXPECT_THROW(literal(u"abcdefghijklmnop\xDC00"), tk_exception);
  EXPECT_THROW(literal(u"abcdefghijklmnop\xD800q"), tk_exception);
}

// Plain UTF-8 text without quote doubling keeps quotes and NULs as they are.
TEST(mss_text_literal, names_keep_quotes_and_nuls) {
  using namespace std::string_view_literals;
  std::string out;
  mss_append_utf8(out, u"it's a\0b 'quoted' n\u00E4me here"sv, false);
  EXPECT_EQ(out, "it's a\0b 'quoted' n\xC3\xA4me here"sv);
}

}  // namespace
