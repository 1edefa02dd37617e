#include "tk/tk_log.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tk/tk_test_dir.h"

namespace {

// A log path in a folder of its own, so runs by different users or at once never collide.
std::string temp_log(const char* name) {
  static const tk_test_dir dir;
  return dir / name;
}

TEST(tk_logger, first_call_truncates_even_when_filtered) {
  const std::string path = temp_log("qv_log_trunc.log");
  { std::ofstream(path) << "old run"; }
  tk_logger logger(path, false, 3, false);
  logger.set_enabled(true);
  TK_LOG(1, "filtered %d", 1);
  EXPECT_EQ(tk_read_file(path), "");
  TK_LOG(3, "kept %s %d", std::u16string(u"w\u00e9"), 7);
  EXPECT_EQ(tk_read_file(path), "kept w\xc3\xa9 7\r\n");
}

TEST(tk_logger, filtered_call_does_not_evaluate_arguments) {
  const std::string path = temp_log("qv_log_lazy.log");
  tk_logger logger(path, true, 3, false);
  int evaluated = 0;
  auto costly = [&] {
    ++evaluated;
    return 1;
  };
  TK_LOG(3, "x");
  TK_LOG(2, "%d", costly());
  EXPECT_EQ(evaluated, 0);
}

TEST(tk_logger, wide_entry_is_cut_at_limit) {
  const std::string path = temp_log("qv_log_wide.log");
  tk_logger logger(path, true, 1, false);
  const std::u16string long_text(tk_logger::k_wide_limit + 50, u'x');
  TK_WLOG(3, "%s", long_text);
  EXPECT_EQ(tk_read_file(path).size(), tk_logger::k_wide_limit + 2);
}

TEST(tk_logger, no_logger_writes_nothing) {
  EXPECT_EQ(tk_logger::instance_ptr(), nullptr);
  TK_LOG(3, "nothing");
  EXPECT_THROW(tk_logger::instance(), tk_mail_assertion);
}

TEST(tk_mail_assertion, encodes_location_in_hex) {
  const tk_mail_assertion e("abc", 5);
  EXPECT_STREQ(e.what(), "Internal error: \ncode=6162635c35");
  EXPECT_EQ(e.level(), 2);
}

TEST(tk_exception, empty_message_reads_unknown) {
  EXPECT_STREQ(tk_exception("", 1).what(), "Unknown exception");
  EXPECT_EQ(tk_exception(u"wide", 1).message(), "wide");
}

}  // namespace
