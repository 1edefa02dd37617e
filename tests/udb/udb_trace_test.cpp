// The trace lines a user reads in the console program's log when names or structures do not
// match, at the levels that let them through.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "tk/tk_log.h"
#include "udb/udb_indexes.h"
#include "udb/udb_schema.h"
#include "udb/udb_validator.h"

namespace {

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class udb_trace : public ::testing::Test {
 protected:
  std::string log_at(int threshold) {
    path_ = (std::filesystem::temp_directory_path() / "qv_udb_trace.log").string();
    std::filesystem::remove(path_);
    logger_.emplace(path_, true, threshold, false);
    return path_;
  }
  std::string text() const { return read_all(path_); }

  std::string path_;
  std::optional<tk_logger> logger_;
};

TEST_F(udb_trace, absent_columns_and_failed_conformance) {
  log_at(3);
  udb_schema src;
  src.push_back(t_ftd(0, u"id", VT_I4));
  src.push_back(t_ftd(50, u"name", VT_BSTR));
  udb_schema dest;
  dest.push_back(t_ftd(0, u"id", VT_I4));
  dest.push_back(t_ftd(40, u"name", VT_BSTR));
  EXPECT_EQ(src.get_field_size(u"Missing"), 0xFFFFFFFFu);
  EXPECT_EQ(src.get_field_type(u"Other"), VT_NULL);  // level 2: filtered at 3
  EXPECT_EQ(text(), "Field 'Missing' not found\r\n");

  logger_->set_threshold(2);
  EXPECT_FALSE(src.conform_to(dest));
  EXPECT_NE(text().find("Column #2 doesn't conform (src_vt=8, src_size=50, dest_vt=8, "
                        "dest_size=40)\r\n"),
            std::string::npos);
  EXPECT_EQ(text().find("t_ftd::conform_to"), std::string::npos);  // level 1
}

TEST_F(udb_trace, name_rules_tell_why_a_name_is_refused) {
  log_at(2);
  udb_validator v(0);
  v.add_illegal_char(u'-');
  v.add_restricted_name(u"key");
  EXPECT_FALSE(v.is_acceptable(u"first-name"));
  EXPECT_FALSE(v.is_acceptable(u"KEY"));
  const std::string log = text();
  EXPECT_NE(log.find("udb_validator::is_acceptable(first-name)\r\n"
                     "The name contains illegal: -\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("The name is restricted\r\n"), std::string::npos);
}

TEST_F(udb_trace, index_merging_says_what_it_did) {
  log_at(2);
  udb_indexes indexes;
  indexes.push_back(udb_index(u"PK", false, false, {u"a"}));
  indexes.push_back(udb_index(u"PK", true, true, {u"id"}));
  EXPECT_EQ(text(),
            "udb_indexes::push_back(PK)\r\nIndex does not exist, add it\r\n"
            "udb_indexes::push_back(PK)\r\nUpgrade existing index to primary key.\r\n");
}

}  // namespace
