// Server version levels, from the @@VERSION banner and from the product version number.
#include "mss/mss_version.h"

#include <charconv>

#include "tk/tk_log.h"

int mss_version_from_banner(std::string_view banner) {
  constexpr std::string_view k_product = "Microsoft SQL Server";
  if (banner.size() > 30 && banner.substr(0, k_product.size()) == k_product) {
    std::string_view token = banner.substr(k_product.size(), 10);
    while (!token.empty() && token.back() == ' ') token.remove_suffix(1);
    while (!token.empty() && token.front() == ' ') token.remove_prefix(1);
    TK_LOG(1, "str_ver_num=%s", std::string(token));
    static constexpr std::pair<std::string_view, int> k_years[] = {
        {"2017", mss_version_2017},
        {"2016", mss_version_2016},
        {"2015", 11},
        {"2014", mss_version_2014},
        {"2013", 9},
        {"2012", mss_version_2012},
        {"2011", 7},
        {"2010", 6},
        {"2008", mss_version_2008},
        {"2005", mss_version_2005},
        {"200", mss_version_2000},
        {"7.", mss_version_7},
    };
    for (const auto& [key, level] : k_years) {
      if (token.substr(0, key.size()) == key) return level;
    }
    return mss_version_unknown;
  }
  if (banner.size() > 19 && banner.substr(0, 19) == "Microsoft SQL Azure") {
    TK_LOG(2, "Got Microsoft SQL Azure");
    return mss_version_azure;
  }
  return mss_version_unknown;
}

int mss_version_level_of(std::string_view product_version, std::string_view banner) {
  const int from_banner = mss_version_from_banner(banner);
  if (from_banner == mss_version_azure) return from_banner;
  int major = 0;
  const auto [end, ec] = std::from_chars(product_version.data(),
                                         product_version.data() + product_version.size(), major);
  if (ec != std::errc() || end == product_version.data()) return from_banner;
  switch (major) {
    case 7:
      return mss_version_7;
    case 8:
      return mss_version_2000;
    case 9:
      return mss_version_2005;
    case 10:
      return mss_version_2008;
    case 11:
      return mss_version_2012;
    case 12:
      return mss_version_2014;
    case 13:
      return mss_version_2016;
    default:
      return major > 13 ? mss_version_2017 : mss_version_unknown;
  }
}
