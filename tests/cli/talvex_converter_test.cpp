#include "app/talvex_converter.h"

#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "tk/tk_test_dir.h"

namespace {

std::string refusal(const std::function<void()>& action) {
  try {
    action();
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level(), 1);
    return e.what();
  }
  return "accepted";
}

TEST(talvex_converter, starts_with_the_console_defaults) {
  const talvex_converter converter;
  EXPECT_EQ(&talvex_converter::instance(), &converter);
  EXPECT_TRUE(converter.direct);
  EXPECT_TRUE(converter.bool_dbf);
  EXPECT_FALSE(converter.skip_del);
  EXPECT_FALSE(converter.tab_def);
  EXPECT_FALSE(converter.skip_idx);
  EXPECT_FALSE(converter.engine().as_dbo());
  EXPECT_FALSE(converter.sec_log);
  EXPECT_FALSE(converter.silent);
  EXPECT_EQ(converter.code_page, 0);
  EXPECT_EQ(converter.mode(), 0);
  EXPECT_TRUE(converter.table_list.empty());
}

TEST(set_logfile, without_a_logger_nothing_happens) {
  talvex_converter converter;
  EXPECT_NO_THROW(converter.set_logfile("/no/such/folder/x.log"));
  EXPECT_EQ(converter.logfile(), "");
}

TEST(set_logfile, refuses_folders_and_missing_folders) {
  const tk_test_dir dir;
  tk_logger logger(dir / "default.log", false, 3, false);
  talvex_converter converter;
  EXPECT_EQ(refusal([&] { converter.set_logfile(dir.path()); }),
            "Logfile name specifies an existing path.");
  EXPECT_EQ(refusal([&] { converter.set_logfile(dir / "missing/run.log"); }),
            "Logfile path does not exist.\nPlease verify the correct path was given.");
  EXPECT_FALSE(logger.enabled());
  EXPECT_EQ(logger.file_name(), dir / "default.log");
}

TEST(set_logfile, refuses_a_read_only_file) {
  if (tk_running_as_root()) GTEST_SKIP() << "permission bits do not stop the superuser";
  const tk_test_dir dir;
  tk_logger logger(dir / "default.log", false, 3, false);
  talvex_converter converter;
  const std::string read_only = dir.write("ro.log", "keep");
  ::chmod(read_only.c_str(), 0444);
  EXPECT_EQ(refusal([&] { converter.set_logfile(read_only); }),
            "Logfile name specifies an existing read-only file.");
  // Unreadable but present: the log could not be written either.
  const std::string hidden = dir.write("none.log", "keep");
  ::chmod(hidden.c_str(), 0000);
  EXPECT_EQ(refusal([&] { converter.set_logfile(hidden); }),
            "Logfile name specifies an existing read-only file.");
  EXPECT_FALSE(logger.enabled());
}

TEST(set_logfile, empty_path_only_stores_the_name) {
  const tk_test_dir dir;
  tk_logger logger(dir / "default.log", false, 3, false);
  talvex_converter converter;
  converter.set_logfile("");
  EXPECT_EQ(converter.logfile(), "");
  EXPECT_FALSE(logger.enabled());
}

TEST(set_logfile, accepted_path_enables_a_fresh_log) {
  const tk_test_dir dir;
  const std::string first = dir.write("first.log", "older run\r\n");
  const std::string second = dir.write("second.log", "older run\r\n");
  tk_logger logger(std::nullopt, false, 3, false);
  talvex_converter converter;
  converter.set_logfile(first);
  EXPECT_TRUE(logger.enabled());
  EXPECT_EQ(converter.logfile(), first);
  TK_LOG(3, "one");
  EXPECT_EQ(tk_read_file(first), "one\r\n");
  // Switching to another file starts that one afresh too.
  converter.set_logfile(second);
  TK_LOG(3, "two");
  EXPECT_EQ(tk_read_file(second), "two\r\n");
  EXPECT_EQ(tk_read_file(first), "one\r\n");
}

TEST(common_check_dest, refusals) {
  const tk_test_dir dir;
  EXPECT_EQ(refusal([&] { common_check_dest(dir.path()); }),
            "Destination name should specify a file, not folder.");
  EXPECT_EQ(refusal([&] { common_check_dest(dir / "missing/out.sql"); }),
            "Destination path does not exist.\nPlease verify the correct path was given.");
  EXPECT_EQ(refusal([&] { common_check_dest(dir / "new.sql"); }), "accepted");
  if (!tk_running_as_root()) {
    const std::string read_only = dir.write("ro.sql", "x");
    ::chmod(read_only.c_str(), 0444);
    EXPECT_EQ(refusal([&] { common_check_dest(read_only); }),
              "Destination name specifies an existing read-only file.");
  }
}

TEST(check_dest, dump_keeps_an_existing_script_for_the_writer_to_replace) {
  const tk_test_dir dir;
  const std::string dump = dir.write("out.sql", "old script");
  talvex_converter converter;
  converter.dest = tk_from_utf8(dump);
  converter.check_dest();  // direct: the file is no server database
  EXPECT_TRUE(std::filesystem::exists(dump));
  converter.direct = false;
  converter.check_dest();
  EXPECT_EQ(tk_read_file(dump), "old script");
  converter.dest = tk_from_utf8(dir.path());
  EXPECT_EQ(refusal([&] { converter.check_dest(); }),
            "Destination name should specify a file, not folder.");
}

}  // namespace
