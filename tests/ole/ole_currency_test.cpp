#include "ole/ole_currency.h"

#include <gtest/gtest.h>

namespace {

TEST(ole_currency, parses_and_prints_without_trailing_zeros) {
  ole_currency cy;
  ASSERT_TRUE(ole_currency::parse("2.5", cy));
  EXPECT_EQ(cy.int64, 25000);
  EXPECT_EQ(cy.to_string(), "2.5");
  ASSERT_TRUE(ole_currency::parse(" -0.0001 ", cy));
  EXPECT_EQ(cy.to_string(), "-0.0001");
  ASSERT_TRUE(ole_currency::parse("0.00005", cy));
  EXPECT_EQ(cy.int64, 0);  // half to even
  ASSERT_TRUE(ole_currency::parse("0.00015", cy));
  EXPECT_EQ(cy.int64, 2);
  EXPECT_EQ(ole_currency{50000}.to_string(), "5");
  EXPECT_FALSE(ole_currency::parse("abc", cy));
  EXPECT_FALSE(ole_currency::parse("922337203685478", cy));
}

TEST(ole_currency, limits_round_trip) {
  for (const std::int64_t raw : {INT64_MIN, INT64_MAX, INT64_MIN + 1, std::int64_t{0},
                                 std::int64_t{1}, std::int64_t{-1}, std::int64_t{10000}}) {
    const ole_currency cy{raw};
    ole_currency back;
    ASSERT_TRUE(ole_currency::parse(cy.to_string(), back)) << cy.to_string();
    EXPECT_EQ(back, cy);
  }
  EXPECT_EQ(ole_currency{INT64_MIN}.to_string(), "-922337203685477.5808");
  EXPECT_EQ(ole_currency{INT64_MAX}.to_string(), "922337203685477.5807");
}

TEST(ole_currency, converts_without_wrapping) {
  ole_currency cy;
  EXPECT_TRUE(ole_currency::from_i8(922337203685477, cy));
  EXPECT_FALSE(ole_currency::from_i8(922337203685478, cy));
  EXPECT_FALSE(ole_currency::from_ui8(UINT64_MAX, cy));
  EXPECT_TRUE(ole_currency::from_double(1.23456, cy));
  EXPECT_EQ(cy.int64, 12346);
  EXPECT_FALSE(ole_currency::from_double(1e20, cy));
  EXPECT_FALSE(ole_currency::from_double(std::numeric_limits<double>::infinity(), cy));
  EXPECT_EQ((ole_currency{25000}).to_i8(), 2);
  EXPECT_EQ((ole_currency{35000}).to_i8(), 4);
  EXPECT_EQ((ole_currency{-25000}).to_i8(), -2);
  EXPECT_EQ((ole_currency{-25001}).to_i8(), -3);
  EXPECT_EQ((ole_currency{INT64_MIN}).to_i8(), -922337203685478);
  EXPECT_DOUBLE_EQ((ole_currency{-12345}).to_double(), -1.2345);
}

}  // namespace
