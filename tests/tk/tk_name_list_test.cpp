#include "tk/tk_name_list.h"

#include <gtest/gtest.h>

#include "tk/tk_test_dir.h"

namespace {

using names = std::vector<std::u16string>;

TEST(tk_read_name_list, byte_order_mark_and_crlf) {
  const tk_test_dir dir;
  const auto list = tk_read_name_list(dir.write("t.txt",
                                                "\xEF\xBB\xBF"
                                                "CUSTOMER\r\n\r\nÜBERSICHT\r\n orders \r\n\r\n"));
  ASSERT_TRUE(list);
  EXPECT_EQ(*list, (names{u"CUSTOMER", u"ÜBERSICHT", u" orders "}));
}

TEST(tk_read_name_list, plain_lf_file_without_final_line_end) {
  const tk_test_dir dir;
  const auto list = tk_read_name_list(dir.write("t.txt", "\n\na\nb"));
  ASSERT_TRUE(list);
  EXPECT_EQ(*list, (names{u"a", u"b"}));
}

TEST(tk_read_name_list, mark_only_counts_before_the_first_name) {
  const tk_test_dir dir;
  const auto list = tk_read_name_list(
      dir.write("t.txt", "\r\n\xEF\xBB\xBF\r\n\xEF\xBB\xBFx\r\ny\xEF\xBB\xBF\r\n"));
  ASSERT_TRUE(list);
  EXPECT_EQ(*list, (names{u"\uFEFFx", u"y\uFEFF"}));
}

TEST(tk_read_name_list, long_lines_stay_whole) {
  const tk_test_dir dir;
  const std::string long_name(600, 'n');
  const auto list = tk_read_name_list(dir.write("t.txt", long_name + "\r\nshort\r\n"));
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 2u);
  EXPECT_EQ((*list)[0].size(), 600u);
  EXPECT_EQ((*list)[1], u"short");
}

TEST(tk_read_name_list, empty_and_missing_files) {
  const tk_test_dir dir;
  const auto empty = tk_read_name_list(dir.write("e.txt", "\r\n\n"));
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
  EXPECT_FALSE(tk_read_name_list(dir / "missing.txt"));
  EXPECT_FALSE(tk_read_name_list(dir.path()));
}

}  // namespace
