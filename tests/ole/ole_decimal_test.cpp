#include "ole/ole_decimal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

ole_decimal dec(std::string_view text) {
  ole_decimal d;
  EXPECT_TRUE(ole_decimal::parse(text, d)) << text;
  return d;
}

TEST(ole_decimal, parses_and_prints_exactly) {
  EXPECT_EQ(dec("1.5").to_string(), "1.5");
  EXPECT_EQ(dec("  -0012.340  ").to_string(), "-12.34");
  EXPECT_EQ(dec("+.5").to_string(), "0.5");
  EXPECT_EQ(dec("5.").to_string(), "5");
  EXPECT_EQ(dec("1.5e3").to_string(), "1500");
  EXPECT_EQ(dec("15E-5").to_string(), "0.00015");
  EXPECT_EQ(dec("-0.000").to_string(), "0");
  EXPECT_EQ(dec("1.50").scale, 2);  // the scale is kept, only the text drops the zeros
  EXPECT_EQ(dec("1.50"), dec("1.5"));
}

TEST(ole_decimal, rejects_what_is_not_one_number) {
  ole_decimal d;
  for (const char* bad : {"", " ", ".", "-", "abc", "1.2.3", "1,5", "1e", "1 2", "0x10", "1e+"}) {
    EXPECT_FALSE(ole_decimal::parse(bad, d)) << bad;
  }
}

TEST(ole_decimal, edges_of_96_bits_and_28_decimals_round_trip) {
  for (const char* text : {"79228162514264337593543950335", "-79228162514264337593543950335",
                           "7.9228162514264337593543950335", "0.0000000000000000000000000001",
                           "-0.0000000000000000000000000001", "1234567890123456789012345678.9",
                           "0.1234567890123456789012345678", "9999999999999999999999999999"}) {
    const ole_decimal d = dec(text);
    EXPECT_EQ(d.to_string(), text);
    EXPECT_EQ(dec(d.to_string()), d);
  }
}

TEST(ole_decimal, magnitudes_of_64_bits_print_their_point_and_drop_trailing_decimal_zeros) {
  // Scaled values whose digits all fit 64 bits, on both sides of that limit.
  const std::pair<const char*, const char*> cases[] = {
      {"120.50", "120.5"},
      {"-7.0500", "-7.05"},
      {"-100.00", "-100"},
      {"100", "100"},
      {"3.000000000000000001", "3.000000000000000001"},
      {"1844674407370955.1615", "1844674407370955.1615"},
      {"1844674407370955.1610", "1844674407370955.161"},
      {"-18446744073709551615", "-18446744073709551615"},
      {"18446744073709551616.0", "18446744073709551616"},
      {"0.250", "0.25"},
      {"-0.5", "-0.5"},
  };
  for (const auto& [text, printed] : cases) {
    const ole_decimal d = dec(text);
    EXPECT_EQ(d.to_string(), printed) << text;
    EXPECT_EQ(dec(d.to_string()), d) << text;
  }
}

// Every scale, with magnitudes of every digit count up to 64 bits, zeros inside and at the end:
// the printed text is the digits with the point put in by hand, trailing decimal zeros cut.
TEST(ole_decimal, printed_64_bit_magnitudes_match_digits_placed_by_hand) {
  std::uint64_t seed = 88172645463325252ull;
  const auto next = [&seed] {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
  };
  for (int scale = 0; scale <= 28; ++scale) {
    for (int round = 0; round < 400; ++round) {
      std::string digits = std::to_string(next() >> (next() % 64));
      if (round % 3 == 0) digits += std::string(static_cast<std::size_t>(round % 5), '0');
      if (digits.size() > 19) digits.resize(19);
      const bool negative = round % 2 == 1;
      // The text the decimal is read from keeps every digit; the expected one is cut by hand.
      std::string padded = digits;
      if (padded.size() <= static_cast<std::size_t>(scale))
        padded.insert(0, static_cast<std::size_t>(scale) + 1 - padded.size(), '0');
      const std::size_t point = padded.size() - static_cast<std::size_t>(scale);
      std::string read = negative ? "-" : "";
      read.append(padded, 0, point);
      read += '.';
      read.append(padded, point);
      std::string whole = padded.substr(0, point);
      whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
      std::string fraction = padded.substr(point);
      fraction.erase(fraction.find_last_not_of('0') + 1);
      std::string expected = whole;
      if (!fraction.empty()) {
        expected += '.';
        expected += fraction;
      }
      if (negative && expected != "0") expected.insert(0, 1, '-');
      ASSERT_EQ(dec(read).to_string(), expected) << read;
    }
  }
}

TEST(ole_decimal, excess_digits_round_half_to_even_and_overflow_fails) {
  // 29 decimals: the last one rounds away.
  EXPECT_EQ(dec("0.00000000000000000000000000015").to_string(), "0.0000000000000000000000000002");
  EXPECT_EQ(dec("0.00000000000000000000000000025").to_string(), "0.0000000000000000000000000002");
  EXPECT_EQ(dec("0.000000000000000000000000000251").to_string(), "0.0000000000000000000000000003");
  // Too many significant digits: decimals are given up until the magnitude fits.
  EXPECT_EQ(dec("79228162514264337593543950334.5").to_string(), "79228162514264337593543950334");
  EXPECT_EQ(dec("1.23456789012345678901234567890123").to_string(),
            "1.2345678901234567890123456789");
  ole_decimal d;
  EXPECT_FALSE(ole_decimal::parse("79228162514264337593543950336", d));
  EXPECT_FALSE(ole_decimal::parse("79228162514264337593543950335.5", d));
  EXPECT_FALSE(ole_decimal::parse("1e29", d));
  EXPECT_TRUE(ole_decimal::parse("1e-40", d));
  EXPECT_TRUE(d.is_zero());
}

TEST(ole_decimal, converts_to_integers_rounding_half_to_even) {
  std::int64_t i = 0;
  std::uint64_t u = 0;
  EXPECT_TRUE(dec("2.5").to_i8(i));
  EXPECT_EQ(i, 2);
  EXPECT_TRUE(dec("3.5").to_i8(i));
  EXPECT_EQ(i, 4);
  EXPECT_TRUE(dec("-2.5").to_i8(i));
  EXPECT_EQ(i, -2);
  EXPECT_TRUE(dec("-2.51").to_i8(i));
  EXPECT_EQ(i, -3);
  EXPECT_TRUE(dec("-9223372036854775808").to_i8(i));
  EXPECT_EQ(i, INT64_MIN);
  EXPECT_FALSE(dec("9223372036854775808").to_i8(i));
  EXPECT_TRUE(dec("18446744073709551615").to_ui8(u));
  EXPECT_EQ(u, UINT64_MAX);
  EXPECT_FALSE(dec("-1").to_ui8(u));
  EXPECT_TRUE(dec("-0.4").to_ui8(u));
  EXPECT_EQ(u, 0u);
}

TEST(ole_decimal, converts_with_currency_and_doubles) {
  ole_currency cy;
  EXPECT_TRUE(dec("1.23455").to_currency(cy));
  EXPECT_EQ(cy.int64, 12346);  // half to even at the fourth decimal
  EXPECT_TRUE(dec("1.23445").to_currency(cy));
  EXPECT_EQ(cy.int64, 12344);
  EXPECT_TRUE(dec("-922337203685477.5808").to_currency(cy));
  EXPECT_EQ(cy.int64, INT64_MIN);
  EXPECT_FALSE(dec("922337203685477.5808").to_currency(cy));
  EXPECT_EQ(ole_decimal::from_currency(ole_currency{-25000}).to_string(), "-2.5");
  EXPECT_EQ(ole_decimal::from_i8(INT64_MIN).to_string(), "-9223372036854775808");

  ole_decimal d;
  ASSERT_TRUE(ole_decimal::from_double(0.1, d));
  EXPECT_EQ(d.to_string(), "0.1");  // fifteen digits, not the binary expansion
  ASSERT_TRUE(ole_decimal::from_double(-123456.789, d));
  EXPECT_EQ(d.to_string(), "-123456.789");
  EXPECT_FALSE(ole_decimal::from_double(1e30, d));
  EXPECT_FALSE(ole_decimal::from_double(std::numeric_limits<double>::quiet_NaN(), d));
  EXPECT_DOUBLE_EQ(dec("12.5").to_double(), 12.5);
  EXPECT_EQ(dec("0.1").to_double(), 0.1);
}

TEST(ole_decimal, compares_by_value) {
  EXPECT_LT(dec("-1").compare(dec("0.5")), 0);
  EXPECT_GT(dec("10").compare(dec("9.999999999999999999999999999")), 0);
  EXPECT_EQ(dec("9.9999999999999999999999999999").to_string(), "10");  // 29 digits do not fit
  EXPECT_LT(dec("-10").compare(dec("-9.99")), 0);
  EXPECT_EQ(dec("0").compare(dec("-0.00")), 0);
}

}  // namespace
