// The trace lines a user reads in the console program's log when names or structures do not
// match, at the levels that let them through.
#include <gtest/gtest.h>

#include <optional>

#include "tk/tk_log.h"
#include "tk/tk_test_dir.h"
#include "udb/udb_indexes.h"
#include "udb/udb_schema.h"
#include "udb/udb_validator.h"

namespace {

class udb_trace : public ::testing::Test {
 protected:
  void log_at(int threshold) { logger_.emplace(path_, true, threshold, false); }
  std::string text() const { return tk_read_file(path_); }

  const tk_test_dir dir_;
  const std::string path_ = dir_ / "trace.log";
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
