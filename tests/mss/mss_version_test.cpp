// Server version levels from the banner and from the product version.
#include <gtest/gtest.h>

#include "mss/mss_version.h"

namespace {

TEST(mss_version, banners_name_their_year) {
  EXPECT_EQ(mss_version_from_banner("Microsoft SQL Server 2008 R2 (SP2) - 10.50.4000.0 (X64)"),
            mss_version_2008);
  EXPECT_EQ(mss_version_from_banner("Microsoft SQL Server  2000 - 8.00.2039 (Intel X86)"),
            mss_version_2000);
  EXPECT_EQ(mss_version_from_banner("Microsoft SQL Server  7.00 - 7.00.623 (Intel X86)"),
            mss_version_7);
  EXPECT_EQ(mss_version_from_banner("Microsoft SQL Server 2005 - 9.00.5000.00 (X64)"),
            mss_version_2005);
  EXPECT_EQ(mss_version_from_banner("Microsoft SQL Azure (RTM) - 12.0.2000.8"), mss_version_azure);
  // Thirty characters or fewer are not looked at for a year.
  EXPECT_EQ(mss_version_from_banner("Microsoft SQL Server 2008 R2"), mss_version_unknown);
  EXPECT_EQ(mss_version_from_banner("Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64)"),
            mss_version_unknown);
}

TEST(mss_version, the_product_version_decides_where_the_banner_cannot) {
  constexpr const char* babelfish =
      "Babelfish for PostgreSQL with SQL Server Compatibility - 12.0.2000.8";
  EXPECT_EQ(mss_version_level_of("12.0.2000.8", babelfish), mss_version_2014);
  EXPECT_EQ(mss_version_level_of("16.0.1000.6", "Microsoft SQL Server 2022 (RTM) - 16.0.1000.6"),
            mss_version_2017);
  EXPECT_EQ(mss_version_level_of("10.50.4000.0", "Microsoft SQL Server 2008 R2 (SP2)"),
            mss_version_2008);
  EXPECT_EQ(mss_version_level_of("12.0.2000.8", "Microsoft SQL Azure (RTM) - 12.0.2000.8"),
            mss_version_azure);
  // No product version: the banner alone.
  EXPECT_EQ(mss_version_level_of("", "Microsoft SQL Server  2000 - 8.00.2039 (Intel X86)"),
            mss_version_2000);
  EXPECT_EQ(mss_version_level_of("", babelfish), mss_version_unknown);
}

}  // namespace
