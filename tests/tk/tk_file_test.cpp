#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tk/tk_exception.h"
#include "tk/tk_huge_file.h"
#include "tk/tk_memory_file.h"
#include "tk/tk_test_catch.h"
#include "tk/tk_test_dir.h"

namespace {

TEST(tk_huge_file, missing_file_is_created_empty) {
  const tk_test_dir dir;
  const std::string path = dir / "new.dbf";
  const tk_huge_file file(path, false);
  EXPECT_EQ(file.get_size(), 0u);
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
}

TEST(tk_huge_file, reads_little_endian_values_at_offsets) {
  const tk_test_dir dir;
  const std::string path = dir.write("t.bin", std::string("\x03\x01\x02\x78\x56\x34\x12", 7));
  const tk_huge_file file(path, false);
  EXPECT_EQ(file.get_size(), 7u);
  EXPECT_EQ(file.get_byte(0), 0x03);
  EXPECT_EQ(file.get_word(1), 0x0201);
  EXPECT_EQ(file.get_dword(3), 0x12345678u);
}

TEST(tk_huge_file, short_read_is_an_error) {
  const tk_test_dir dir;
  const std::string path = dir.write("t.bin", std::string(20, 'x'));
  const tk_huge_file file(path, false);
  char buffer[10];
  EXPECT_EQ(tk_message_of([&] { file.get_at(15, buffer, 10); }), "Error reading from file");
  EXPECT_EQ(tk_message_of([&] { file.get_at(100, buffer, 1); }), "Error reading from file");
}

TEST(tk_huge_file, writes_beyond_four_gigabytes) {
  const tk_test_dir dir;
  tk_huge_file file(dir / "big.bin", true);
  const std::uint64_t offset = 5ull << 30;  // sparse: takes no real space
  file.put_at(offset, "end", 3);
  EXPECT_EQ(file.get_size(), offset + 3);
  char back[3];
  file.get_at(offset, back, 3);
  EXPECT_EQ(std::string(back, 3), "end");
}

TEST(tk_huge_file, write_to_a_read_only_handle_fails) {
  const tk_test_dir dir;
  tk_huge_file file(dir.write("t.bin", "abc"), false);
  EXPECT_EQ(tk_message_of([&] { file.put_at(0, "x", 1); }), "Cannot write into file");
}

TEST(tk_memory_file, writing_past_the_end_grows_with_zero_fill) {
  const tk_test_dir dir;
  const std::string path = dir.write("m.bin", "0123456789");
  {
    tk_memory_file file(path, tk_file_mode_write);
    EXPECT_EQ(file.get_size(), 10u);
    file.put_at(100, "tail", 4);
    EXPECT_EQ(file.get_size(), 104u);
    for (std::size_t i = 10; i < 100; ++i) ASSERT_EQ(file.get_byte(i), 0) << i;
    EXPECT_EQ(file.get_byte(9), '9');
  }
  // Written back on destruction.
  EXPECT_EQ(tk_read_file(path), "0123456789" + std::string(90, '\0') + "tail");
}

TEST(tk_memory_file, bytes_left_by_a_shrink_read_as_zero_after_growing) {
  const tk_test_dir dir;
  tk_memory_file file(dir.write("m.bin", "abcdef"), tk_file_mode_write);
  file.set_size(2);
  EXPECT_EQ(file.get_size(), 2u);
  file.set_size(6);
  char back[6];
  file.get_at(0, back, 6);
  EXPECT_EQ(std::string(back, 6), std::string("ab\0\0\0\0", 6));
}

TEST(tk_memory_file, reads_out_of_range_fail) {
  const tk_test_dir dir;
  const tk_memory_file file(dir.write("m.bin", "0123456789"), tk_file_mode_read);
  char buffer[10];
  EXPECT_EQ(tk_message_of([&] { file.get_at(5, buffer, 10); }), "Error reading from file");
  EXPECT_EQ(tk_message_of([&] { file.get_dword(8); }), "Error reading from file");
  EXPECT_EQ(tk_message_of([&] { file.get_byte(10); }), "Error reading from file");
  EXPECT_EQ(tk_message_of([&] { file.get_at(SIZE_MAX, buffer, 2); }), "Error reading from file");
  EXPECT_EQ(file.get_word(8), ('9' << 8) | '8');
}

TEST(tk_memory_file, read_only_file_is_never_written_back) {
  const tk_test_dir dir;
  const std::string path = dir.write("m.bin", "abc");
  {
    tk_memory_file file(path, tk_file_mode_read);
    file.put_at(0, "XYZW", 4);
    EXPECT_THROW(file.flush(), tk_mail_assertion);
  }
  EXPECT_EQ(tk_read_file(path), "abc");
}

TEST(tk_memory_file, open_modes) {
  const tk_test_dir dir;
  EXPECT_EQ(tk_message_of([&] { tk_memory_file(dir / "missing.bin", tk_file_mode_read); }),
            "Bad path or busy with another process");
  EXPECT_THROW(tk_memory_file("", tk_file_mode_read), tk_mail_assertion);

  const std::string path = dir.write("m.bin", "old content");
  {
    tk_memory_file file(path, tk_file_mode_write | tk_file_mode_truncate);
    EXPECT_EQ(file.get_size(), 0u);
    file.put_at(0, "new", 3);
  }
  EXPECT_EQ(tk_read_file(path), "new");
}

}  // namespace
