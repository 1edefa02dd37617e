#include "udb/t_ftd.h"

#include <gtest/gtest.h>

namespace {

t_ftd col(ole_vartype vt, std::uint32_t size = 0) {
  return t_ftd(size, u"c", vt);
}

struct conform_case {
  ole_vartype src_vt;
  std::uint32_t src_size;
  ole_vartype dest_vt;
  std::uint32_t dest_size;
  bool expected;
};

class t_ftd_conformance : public ::testing::TestWithParam<conform_case> {};

TEST_P(t_ftd_conformance, follows_the_rules_in_order) {
  const conform_case& c = GetParam();
  EXPECT_EQ(col(c.src_vt, c.src_size).conform_to(col(c.dest_vt, c.dest_size)), c.expected)
      << "src vt=" << c.src_vt << " size=" << c.src_size << " dest vt=" << c.dest_vt
      << " size=" << c.dest_size;
}

INSTANTIATE_TEST_SUITE_P(
    table, t_ftd_conformance,
    ::testing::Values(
        // text into text: the size rule
        conform_case{VT_BSTR, 50, VT_BSTR, 0, true}, conform_case{VT_BSTR, 50, VT_BSTR, 50, true},
        conform_case{VT_BSTR, 50, VT_BSTR, 40, false},
        conform_case{VT_BSTR, 50, VT_LPSTR, 60, true}, conform_case{VT_LPSTR, 70, 31, 60, false},
        // dates take dates and date-time text of exactly 19 characters
        conform_case{VT_BSTR, 19, VT_DATE, 0, true}, conform_case{VT_BSTR, 10, VT_DATE, 0, false},
        conform_case{VT_BSTR, 20, VT_DATE, 0, false}, conform_case{VT_DATE, 0, VT_DATE, 8, true},
        conform_case{VT_I4, 0, VT_DATE, 0, false},
        // numbers fit text whatever its size; bytes do not
        conform_case{VT_I4, 0, VT_BSTR, 1, true}, conform_case{VT_DATE, 0, VT_BSTR, 5, true},
        conform_case{VT_BLOB, 0, VT_BSTR, 0, false}, conform_case{VT_BINARY, 0, VT_BSTR, 0, false},
        // numeric and boolean destinations take numeric sources only
        conform_case{VT_I4, 0, VT_DECIMAL, 0, true}, conform_case{VT_BOOL, 0, VT_I4, 0, true},
        conform_case{VT_UI8, 0, VT_I2, 0, true}, conform_case{VT_DATE, 0, VT_I4, 0, false},
        conform_case{VT_BSTR, 5, VT_I4, 0, false}, conform_case{VT_INT, 0, VT_I4, 0, false},
        conform_case{VT_BLOB, 0, VT_UINT, 0, false},
        // currency and decimal match each other regardless of size
        conform_case{VT_CY, 8, VT_DECIMAL, 4, true}, conform_case{VT_DECIMAL, 30, VT_CY, 2, true},
        // kinds no column has
        conform_case{VT_I4, 0, VT_EMPTY, 0, false}, conform_case{VT_I4, 0, VT_NULL, 0, false},
        conform_case{VT_I4, 0, VT_ERROR, 0, false}, conform_case{VT_I4, 0, VT_SAFEARRAY, 0, false},
        conform_case{VT_BSTR, 0, 64, 0, false}, conform_case{VT_BSTR, 0, VT_ARRAY, 0, false},
        // binary destinations: non-text sources always, text and bytes by size
        conform_case{VT_I4, 0, VT_BLOB, 1, true}, conform_case{VT_BSTR, 10, VT_BLOB, 5, false},
        conform_case{VT_BSTR, 10, VT_BLOB_OBJECT, 0, true},
        conform_case{VT_BINARY, 100, VT_BLOB, 50, false},
        conform_case{VT_BLOB, 100, VT_BINARY, 100, true}));

TEST(t_ftd, equality_pairs_currency_with_decimal_and_compares_text_sizes) {
  EXPECT_TRUE(col(VT_CY) == col(VT_DECIMAL, 9));
  EXPECT_TRUE(col(VT_DECIMAL, 9) == col(VT_CY));
  EXPECT_TRUE(col(VT_I4, 4) == col(VT_I4, 10));
  EXPECT_FALSE(col(VT_BSTR, 4) == col(VT_BSTR, 10));
  EXPECT_FALSE(col(VT_I4) == col(VT_I2));
}

TEST(t_ftd, precision_and_scale_come_from_the_subtype_word) {
  const t_ftd dec(0, u"amount", VT_DECIMAL, false, false, ole_variant(), (18u << 8) | 4u);
  EXPECT_EQ(dec.get_precision(), 18u);
  EXPECT_EQ(dec.get_scale(), 4u);
  const t_ftd none(0, u"amount", VT_DECIMAL);
  EXPECT_EQ(none.get_precision(), 0u);
  EXPECT_EQ(none.get_scale(), 0u);
}

}  // namespace
