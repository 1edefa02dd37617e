#include "tk/tk_replacement_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tk/tk_exception.h"
#include "tk/tk_test_catch.h"
#include "tk/tk_test_dir.h"

namespace {

void put(int fd, const std::string& bytes) {
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ASSERT_EQ(::close(fd), 0);
}

std::size_t entries(const tk_test_dir& dir) {
  const std::filesystem::directory_iterator it(dir.path());
  return static_cast<std::size_t>(std::distance(begin(it), end(it)));
}

TEST(tk_replacement_file, the_old_file_stays_until_commit_and_after_a_discard) {
  const tk_test_dir dir;
  const std::string path = dir.write("a.sql", "old");
  {
    tk_replacement_file file(path, "x: ");
    put(file.fd(), "half");
    EXPECT_EQ(tk_read_file(path), "old");
  }
  EXPECT_EQ(tk_read_file(path), "old");
  EXPECT_EQ(entries(dir), 1u);

  tk_replacement_file file(path, "x: ");
  put(file.fd(), "new");
  file.commit();
  EXPECT_EQ(tk_read_file(path), "new");
  EXPECT_EQ(entries(dir), 1u);
}

TEST(tk_replacement_file, a_link_keeps_pointing_at_the_replaced_file) {
  const tk_test_dir dir;
  const std::string target = dir.write("real.sql", "old");
  const std::string link = dir / "link.sql";
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  tk_replacement_file file(link, "x: ");
  put(file.fd(), "new");
  file.commit();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(tk_read_file(target), "new");
}

TEST(tk_replacement_file, a_pending_file_is_removed_for_a_signal_handler) {
  const tk_test_dir dir;
  tk_replacement_file file(dir / "b.sql", "x: ");
  ::close(file.fd());
  EXPECT_TRUE(std::filesystem::exists(file.temporary_path()));
  tk_replacement_file::remove_pending();
  EXPECT_FALSE(std::filesystem::exists(file.temporary_path()));
  EXPECT_EQ(tk_level_of([] { tk_replacement_file("/nonexistent-folder/c.sql", "x: "); }), 1);
}

}  // namespace
