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

}  // namespace
