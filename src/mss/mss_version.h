#pragma once

#include <string_view>

// Server version levels the dialect tests: 2 = SQL Server 7.0, 3 = 2000, 4 = 2005,
// 5 = 2008 and 2008 R2, 8 = 2012, 10 = 2014, 12 = 2016, 13 = 2017 and later, 100 = Azure SQL,
// 1 = unknown.
enum mss_version_level : int {
  mss_version_unknown = 1,
  mss_version_7 = 2,
  mss_version_2000 = 3,
  mss_version_2005 = 4,
  mss_version_2008 = 5,
  mss_version_2012 = 8,
  mss_version_2014 = 10,
  mss_version_2016 = 12,
  mss_version_2017 = 13,
  mss_version_azure = 100,
};

// The level a @@VERSION text names ("Microsoft SQL Server 2008 R2 ...", "Microsoft SQL Azure").
int mss_version_from_banner(std::string_view banner);
// The level of a server from its product version ("12.0.2000.8") and, to tell Azure SQL, its
// @@VERSION text. A server whose banner names no known product (Babelfish, newer releases)
// still gets the level of its product version.
int mss_version_level_of(std::string_view product_version, std::string_view banner);
