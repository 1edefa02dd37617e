#include <gtest/gtest.h>

#include <string>

#include "ole/ole_decimal.h"

namespace {

ole_decimal parsed(std::string_view text) {
  ole_decimal d;
  EXPECT_TRUE(ole_decimal::parse(text, d)) << text;
  return d;
}

std::string printed(const ole_decimal& d) {
  char buf[ole_decimal::k_text_size];
  return std::string(buf, d.format(buf));
}

// Short plain numbers and the same numbers in forms only the general reader takes (blanks
// around, an exponent) give the same value, scale and sign.
TEST(ole_decimal_parse, plain_numbers_agree_with_their_general_forms) {
  const char* const plain[] = {"0",
                               "7",
                               "-7",
                               "12.50",
                               "-0.05",
                               ".5",
                               "5.",
                               "000123.4500",
                               "-999999999999999999",
                               "123456789.012345678",
                               "0.000000000000000001"};
  for (const char* text : plain) {
    const ole_decimal a = parsed(text);
    // Built by appending: GCC 12 at -O3 misreads operator+ on short literals (-Wrestrict).
    std::string spaced = " ";
    spaced.append(text).append(" ");
    std::string exponent = text;
    exponent.append("e0");
    for (const std::string& other : {spaced, exponent}) {
      const ole_decimal b = parsed(other);
      EXPECT_EQ(a.scale, b.scale) << text << " / " << other;
      EXPECT_EQ(a.sign, b.sign) << text << " / " << other;
      EXPECT_EQ(a.lo64, b.lo64) << text << " / " << other;
      EXPECT_EQ(a.hi32, b.hi32) << text << " / " << other;
    }
  }
  EXPECT_EQ(printed(parsed("-12.50")), "-12.5");
  EXPECT_EQ(parsed("12.50").scale, 2);
}

TEST(ole_decimal_parse, zeros_have_neither_sign_nor_scale) {
  for (const char* text : {"0.00", "-0.00", "-0", "000", "-.0"}) {
    const ole_decimal d = parsed(text);
    EXPECT_TRUE(d.is_zero()) << text;
    EXPECT_FALSE(d.is_negative()) << text;
    EXPECT_EQ(d.scale, 0) << text;
  }
}

TEST(ole_decimal_parse, long_and_malformed_texts) {
  // Nineteen digits and more are still exact.
  EXPECT_EQ(printed(parsed("1234567890123456789")), "1234567890123456789");
  EXPECT_EQ(printed(parsed("-12345678901234567.891")), "-12345678901234567.891");
  ole_decimal d;
  for (const char* text : {"", "-", ".", "1.2.3", "12a", "--1", "1-"})
    EXPECT_FALSE(ole_decimal::parse(text, d)) << text;
}

}  // namespace

// The text printed from the digits of a plain number, and the acceptance test that goes with
// it, agree with reading the number and printing the value, for every arrangement of sign,
// leading and trailing zeros, point and length up to the longest plain form and past it.
TEST(ole_decimal_parse, plain_text_printed_from_its_digits_matches_the_value_printed) {
  const char* const wholes[] = {"", "0", "00", "7", "07", "100", "123456789", "900000000000000000"};
  const char* const fractions[] = {nullptr, "", "0", "00", "5", "50", "05", "000001", "123456789"};
  int compared = 0;
  for (const char* sign : {"", "-"}) {
    for (const char* whole : wholes) {
      for (const char* fraction : fractions) {
        const std::string text =
            std::string(sign) + whole + (fraction != nullptr ? std::string(".") + fraction : "");
        ole_decimal value;
        const bool plain = ole_decimal::parse_plain(text, value);
        ASSERT_EQ(ole_decimal::is_plain(text), plain) << text;
        if (!plain) continue;
        char buf[ole_decimal::k_text_size];
        EXPECT_EQ(std::string(buf, ole_decimal::format_plain(text, buf)), printed(value)) << text;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 100);
  for (const char* other : {"", "-", ".", "-.", "1.2.3", "+1", " 1", "1e5", "1234567890123456789"})
    EXPECT_FALSE(ole_decimal::is_plain(other)) << other;
}
