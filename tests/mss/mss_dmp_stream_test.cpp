#include <gtest/gtest.h>
#include <unistd.h>

#include "mss/mss_dmp_database.h"
#include "mss/mss_dmp_stream.h"
#include "tk/tk_test_catch.h"
#include "tk/tk_test_dir.h"

namespace {

TEST(mss_dmp_stream, a_script_that_cannot_be_created_or_written_ends_the_run) {
  EXPECT_EQ(tk_level_of([] { mss_dmp_stream s("/nonexistent-folder/x.sql"); }), 1);
  EXPECT_EQ(
      tk_level_of([] { mss_dmp_database db(u"/nonexistent-folder/x.sql", mss_dump_options()); }),
      1);
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  // A full disk shows once a buffer has gone out: at close, or at a write past a buffer (the
  // next one where buffers go out on a helper thread while the next one fills).
  mss_dmp_database db(u"/dev/full", mss_dump_options());
  EXPECT_EQ(tk_level_of([&] { db.close(); }), 1);
  mss_dmp_stream big("/dev/full");
  const std::string chunk(mss_dmp_stream::k_buffer_size / 2 + 1, 'x');
  big.write(chunk);
  EXPECT_EQ(tk_level_of([&] {
              big.write(chunk);
              big.write(chunk);
            }),
            1);
  // A failure seen inside a destructor is raised later, not forgotten.
  mss_dmp_stream later("/dev/full");
  later.write(chunk);
  later.write_noexcept(chunk);
  EXPECT_EQ(tk_level_of([&] { later.close(); }), 1);
}

TEST(mss_dmp_stream, bytes_arrive_in_order_across_buffer_boundaries) {
  const tk_test_dir dir;
  const std::string path = dir / "stream.sql";
  std::string expected;
  {
    mss_dmp_stream s(path);
    for (int i = 0; i < 40000; ++i) {
      const std::string line = "INSERT " + std::to_string(i) + "\r\n";
      s.write(line);
      expected += line;
    }
    const std::string huge(mss_dmp_stream::k_buffer_size + 17, 'h');
    s.write(huge);
    expected += huge;
    s.write("end");
    expected += "end";
    s.close();
  }
  EXPECT_EQ(tk_read_file(path), expected);
}

// A script of several write-behind steps, sent to the disk and dropped from the cache as it
// grows, reads back whole; so does one replaced by a shorter one.
TEST(mss_dmp_stream, a_long_script_sent_to_the_disk_as_it_grows_reads_back_whole) {
  const tk_test_dir dir;
  const std::string path = dir / "long.sql";
  const auto write_script = [&](std::size_t lines) {
    std::string expected;
    mss_dmp_stream s(path);
    for (std::size_t i = 0; i < lines; ++i) {
      std::string line = "INSERT INTO [t] VALUES (" + std::to_string(i) + ", N'";
      line.append(i % 97, static_cast<char>('a' + i % 26));
      line += "');\r\nGO\r\n";
      s.write(line);
      expected += line;
    }
    s.close();
    return expected;
  };
  const std::string long_script = write_script(700000);
  ASSERT_GT(static_cast<off_t>(long_script.size()), 3 * tk_write_behind::k_step);
  EXPECT_TRUE(tk_read_file(path) == long_script);
  const std::string short_script = write_script(1000);
  EXPECT_TRUE(tk_read_file(path) == short_script);
}

}  // namespace
