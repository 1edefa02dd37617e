#include "ole/ole_date.h"

#include <gtest/gtest.h>

#include "ole/ole_test_time.h"
#include "ole/ole_variant.h"

namespace {

struct parse_case {
  const char* text;
  int kind;
  const char* narrow;
};

TEST(ole_date, parses_each_form_in_order) {
  const parse_case cases[] = {
      {"20170612", ole_date::k_date, "2017-06-12"},
      {"20170612143000", ole_date::k_datetime, "2017-06-12 14:30:00"},
      {"2017-06-12", ole_date::k_date, "2017-06-12"},
      {"2017/06/12 10:20:30.25", ole_date::k_datetime, "2017-06-12 10:20:30.250"},
      {"2017.06.12 10:20:30", ole_date::k_datetime, "2017-06-12 10:20:30"},
      {"2017-06-12 00:00:00", ole_date::k_date, "2017-06-12"},
      {"31.12.2017", ole_date::k_date, "2017-12-31"},
      {"12-06-2017", ole_date::k_date, "2017-06-12"},
      {"12:30", ole_date::k_time, "0000-00-00 12:30:00"},
      {"08:05:07.5", ole_date::k_time, "0000-00-00 08:05:07.500"},
      {"  2017-06-12 10:20  ", ole_date::k_datetime, "2017-06-12 10:20:00"},  // general reader
      {"12/31/2017", ole_date::k_date, "2017-12-31"},
      {"June 12, 2017", ole_date::k_date, "2017-06-12"},
      {"Mon, 12 Jun 2017 08:15", ole_date::k_datetime, "2017-06-12 08:15:00"},
  };
  for (const auto& c : cases) {
    const ole_date d(std::string_view(c.text));
    EXPECT_TRUE(d.is_valid()) << c.text;
    EXPECT_EQ(d.kind(), c.kind) << c.text;
    EXPECT_EQ(d.to_string(true), c.narrow) << c.text;
  }
}

TEST(ole_date, rejects_texts_that_are_no_dates) {
  for (const char* text : {"", "   ", "1999", "abc", "12", "2017-13-01", "2017-02-30", "2017-00-10",
                           "0000-00-00", "32.13.2017", "25:00", "10:61", "2017-06-12 24:00:00",
                           "2018-02-29", "12/31", "June 2017", "99999999", "20171301"}) {
    const ole_date d{std::string_view(text)};
    EXPECT_FALSE(d.is_valid()) << text;
    EXPECT_EQ(d.to_string(), "") << text;
  }
  EXPECT_TRUE(ole_date(std::string_view("2016-02-29")).is_valid());
}

TEST(ole_date, morning_and_afternoon_markers) {
  EXPECT_EQ(ole_date(std::string_view("02:30 PM")).to_wstring(), u"14:30:00");
  EXPECT_EQ(ole_date(std::string_view("12:30 PM")).to_wstring(), u"12:30:00");
  EXPECT_EQ(ole_date(std::string_view("11:59 pm")).to_wstring(), u"23:59:00");
  EXPECT_EQ(ole_date(std::string_view("09:15 AM")).to_wstring(), u"09:15:00");
  // Twelve in the morning is the first hour of the day, and a one-digit hour is a time too.
  EXPECT_EQ(ole_date(std::string_view("12:15 AM")).to_wstring(), u"00:15:00");
  EXPECT_EQ(ole_date(std::string_view("2:30 PM")).to_wstring(), u"14:30:00");
  EXPECT_EQ(ole_date(std::string_view("2017-06-12 02:30:00 PM")).to_string(),
            "2017-06-12 14:30:00");
}

TEST(ole_date, milliseconds_are_read_and_printed_exactly) {
  EXPECT_EQ(ole_date(std::string_view("10:20:45.123")).systemtime().milliseconds, 123);
  EXPECT_EQ(ole_date(std::string_view("10:20:45.5")).systemtime().milliseconds, 500);
  EXPECT_EQ(ole_date(std::string_view("10:20:45.12399")).systemtime().milliseconds, 123);
  const ole_date five(ole_test_time(2017, 6, 12, 10, 20, 30, 5));
  EXPECT_EQ(five.to_string(true), "2017-06-12 10:20:30.005");
  EXPECT_EQ(five.to_string(false), "2017-06-12 10:20:30");
  EXPECT_EQ(ole_date(std::string_view(five.to_string(true))).systemtime(), five.systemtime());
  // A date-time just after midnight is not a bare date.
  EXPECT_EQ(ole_date(ole_test_time(2017, 6, 12, 0, 0, 0, 250)).to_string(),
            "2017-06-12 00:00:00.250");
}

TEST(ole_date, prints_by_kind_narrow_and_wide) {
  const ole_date midnight(ole_test_time(2017, 6, 12));
  EXPECT_EQ(midnight.kind(), ole_date::k_date);
  EXPECT_EQ(midnight.to_string(), "2017-06-12");
  const ole_date time(ole_test_time(0, 0, 0, 8, 5, 0));
  EXPECT_EQ(time.kind(), ole_date::k_time);
  EXPECT_EQ(time.to_string(), "0000-00-00 08:05:00");
  EXPECT_EQ(time.to_wstring(), u"08:05:00");
  EXPECT_EQ(ole_date(std::string_view(time.to_string())).to_wstring(), u"08:05:00");
  EXPECT_EQ(ole_date(ole_test_time(49, 1, 2)).to_string(), "2049-01-02");
  EXPECT_EQ(ole_date(ole_test_time(50, 1, 2)).to_wstring(), u"1950-01-02");
  EXPECT_EQ(ole_date().to_string(), "");
}

TEST(ole_date, two_digit_years_widen_in_values) {
  const ole_variant v = ole_variant::from_string("49-03-04", VT_DATE);
  ASSERT_EQ(v.vt(), VT_DATE);
  EXPECT_EQ(v.systemtime().year, 2049);
  EXPECT_EQ(ole_variant::from_string("50-03-04", VT_DATE).systemtime().year, 1950);
  // Day first with a two-digit year: 04.03.50 is the 4th of March 1950.
  EXPECT_EQ(ole_variant::from_string("04.03.50", VT_DATE).to_string(), "1950-03-04");
}

TEST(ole_date, converts_with_variants) {
  const ole_variant v = ole_date(std::string_view("2017-06-12 14:30:00")).to_variant();
  ASSERT_EQ(v.vt(), VT_DATE);
  EXPECT_DOUBLE_EQ(v.date(), 42898.0 + 14.5 / 24);
  EXPECT_EQ(ole_date(v).to_string(), "2017-06-12 14:30:00");
  EXPECT_EQ(ole_date(ole_variant()).kind(), ole_date::k_invalid);
  EXPECT_THROW(ole_date(ole_variant(5)), tk_mail_assertion);
}

TEST(ole_date, every_37th_day_from_year_100_to_9999_round_trips) {
  double first = 0, last = 0;
  ASSERT_TRUE(ole_systemtime_to_variant_time(ole_test_time(100, 1, 1), first));
  ASSERT_TRUE(ole_systemtime_to_variant_time(ole_test_time(9999, 12, 31), last));
  EXPECT_EQ(first, -657434.0);
  EXPECT_EQ(last, 2958465.0);
  int checked = 0;
  for (double day = first;; day += 37) {
    if (day > last) day = last;
    ole_variant v;
    ASSERT_TRUE(v.set_date(day + (checked % 2 == 0 ? 0.0 : 0.75)));
    const std::string text = v.to_string();
    const ole_variant back = ole_variant::from_string(text, VT_DATE);
    ASSERT_EQ(back, v) << text;
    double again = 0;
    ASSERT_TRUE(ole_systemtime_to_variant_time(back.systemtime(), again));
    ASSERT_EQ(again, v.date()) << text;
    ++checked;
    if (day == last) break;
  }
  EXPECT_EQ(checked, (2958465 + 657434) / 37 + 1);  // 37 divides the span: both ends met
}

TEST(ole_date, ole_dates_before_1899_keep_the_time_running_forward) {
  ole_systemtime st;
  ASSERT_TRUE(ole_variant_time_to_systemtime(-1.25, st));
  ole_systemtime expected = ole_test_time(1899, 12, 29, 6);
  expected.day_of_week = 5;  // a Friday
  EXPECT_EQ(st, expected);
  double back = 0;
  ASSERT_TRUE(ole_systemtime_to_variant_time(ole_test_time(1899, 12, 29, 6), back));
  EXPECT_EQ(back, -1.25);
  EXPECT_FALSE(ole_variant_time_to_systemtime(-657435.0, st));
  EXPECT_FALSE(ole_variant_time_to_systemtime(2958466.0, st));
}

}  // namespace
