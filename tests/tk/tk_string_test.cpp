#include "tk/tk_string.h"

#include <gtest/gtest.h>

#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "tk/tk_test_dir.h"

namespace {

TEST(tk_trim, only_blanks_are_removed) {
  std::string narrow = "  a b  ";
  EXPECT_EQ(tk_trim(narrow), "a b");
  std::string tabbed = "\tx ";
  EXPECT_EQ(tk_trim(tabbed), "\tx");
  std::u16string wide = u" \u00e9\t ";
  EXPECT_EQ(tk_trim_right(wide), u" \u00e9\t");
  EXPECT_EQ(tk_trim_left(wide), u"\u00e9\t");
}

TEST(tk_trim, all_blank_string_becomes_empty_and_is_traced) {
  const tk_test_dir dir;
  const std::string log = dir / "trace.log";
  tk_logger logger(log, true, 1, false);
  std::string blanks = "   ";
  EXPECT_EQ(tk_trim(blanks), "");
  std::u16string wide_blanks = u"  ";
  EXPECT_EQ(tk_trim(wide_blanks), u"");
  std::string empty;
  EXPECT_EQ(tk_trim(empty), "");
  EXPECT_EQ(tk_read_file(log),
            "Special processing for all-spaces-string\r\n"
            "Special processing for all-spaces-string\r\n");
}

TEST(tk_string, pad_fills_but_never_cuts) {
  EXPECT_EQ(tk_string::pad_left("12", 10, ' '), "        12");
  EXPECT_EQ(tk_string::pad_right("12", 5, '*'), "12***");
  EXPECT_EQ(tk_string::pad_right("123456789012", 10, ' '), "123456789012");
  EXPECT_EQ(tk_string::pad_left("1234567890", 10, '0'), "1234567890");
}

TEST(tk_wstring, replace_all_does_not_search_inserted_text) {
  std::u16string text = u"banana";
  const std::u16string copy = tk_wstring::replace_all(text, u"a", u"aa");
  EXPECT_EQ(text, u"baanaanaa");
  EXPECT_EQ(copy, text);

  std::u16string quotes = u"it's 'x'";
  EXPECT_EQ(tk_wstring::replace_all(quotes, u"'", u"''"), u"it''s ''x''");
  std::u16string shrink = u"aaaa";
  EXPECT_EQ(tk_wstring::replace_all(shrink, u"aa", u"a"), u"aa");
  std::u16string unchanged = u"abc";
  EXPECT_EQ(tk_wstring::replace_all(unchanged, u"", u"x"), u"abc");
}

TEST(tk_wstring, to_lower_covers_non_ascii_letters) {
  std::u16string text = u"ÄBC Ωmega İ";
  const std::u16string copy = tk_wstring::to_lower(text);
  // Root-locale lower-casing: dotted capital I becomes i with a combining dot.
  EXPECT_EQ(text, u"äbc ωmega i\u0307");
  EXPECT_EQ(copy, text);
}

TEST(tk_string, split_keeps_empty_pieces) {
  EXPECT_TRUE(tk_string::split("", '-').empty());
  EXPECT_EQ(tk_string::split("a--b", '-'), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(tk_string::split("a-", '-'), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(tk_string::split("-", '-'), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(tk_string::split("abc", '-'), (std::vector<std::string>{"abc"}));
}

TEST(tk_string, find_uses_the_pattern_prefix_and_start) {
  EXPECT_EQ(tk_string::find("abcabc", "cxx", 0, 1), 2);
  EXPECT_EQ(tk_string::find("abcabc", "bc", 2, 2), 4);
  EXPECT_EQ(tk_string::find("abcabc", "bd", 0, 2), -1);
  EXPECT_EQ(tk_string::find("abc", "a", 10, 1), -1);
  EXPECT_EQ(tk_wstring::find(u"xyzxyz", u"zx", 0, 2), 2);
}

TEST(tk_string, ends_with_exact_or_ignoring_case) {
  EXPECT_TRUE(tk_string::ends_with("table.DBF", "", true));
  EXPECT_FALSE(tk_string::ends_with("dbf", ".dbf", false));
  EXPECT_FALSE(tk_string::ends_with("table.DBF", ".dbf", true));
  EXPECT_TRUE(tk_string::ends_with("table.DBF", ".dbf", false));
  EXPECT_TRUE(tk_wstring::ends_with(u"ТАБЛИЦА", u"ица", false));
  EXPECT_FALSE(tk_wstring::ends_with(u"ТАБЛИЦА", u"ица", true));
}

TEST(tk_equal_nocase, folds_case_beyond_ascii) {
  EXPECT_TRUE(tk_equal_nocase(u"Straße", u"STRASSE"));
  EXPECT_TRUE(tk_equal_nocase(std::string("Ärger"), std::string("äRGER")));
  EXPECT_FALSE(tk_equal_nocase(u"abc", u"abd"));
  EXPECT_FALSE(tk_equal_nocase(std::string("abc"), std::string("ab")));
}

TEST(tk_hex, upper_case_digits_most_significant_first) {
  const unsigned char bytes[] = {0x0A, 0xFF};
  EXPECT_EQ(tk_string::hex(bytes, 2), "0AFF");
  char out[5] = {'x', 'x', 'x', 'x', 'x'};
  tk_to_hex(bytes, 2, out);
  EXPECT_STREQ(out, "0AFF");
  EXPECT_EQ(tk_string::hex(bytes, 0), "");
  EXPECT_THROW(tk_to_hex(bytes, 2, nullptr), tk_mail_assertion);
}

TEST(tk_encoding, from_codepage_866_and_an_unknown_code_page) {
  EXPECT_EQ(tk_from_codepage("\x8E\xA0", 866), u"\u041E\u0430");
  try {
    tk_from_codepage("abc", 12345);
    FAIL() << "an unknown code page converted";
  } catch (const tk_exception_ex& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot convert to UNICODE string: ", 0), 0u);
    EXPECT_EQ(e.level(), 0);
  }
}

}  // namespace
