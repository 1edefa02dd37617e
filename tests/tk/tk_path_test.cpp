#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "tk/tk_encoding.h"
#include "tk/tk_file_name.h"
#include "tk/tk_path_probe.h"
#include "tk/tk_self_path.h"
#include "tk/tk_temp_chdir.h"
#include "tk/tk_test_dir.h"

namespace {

std::string current_dir() {
  return std::filesystem::current_path().string();
}

TEST(tk_file_name, splits_an_absolute_path_and_swaps_extensions) {
  tk_file_name name("/data/dbf/Sales.DBF");
  EXPECT_EQ(name.drive(), "");
  EXPECT_EQ(name.dir(), "/data/dbf/");
  EXPECT_EQ(name.name(), "Sales");
  EXPECT_EQ(name.ext(), ".DBF");
  name.set_extension("fpt");
  EXPECT_EQ(name.full_path(), "/data/dbf/Sales.fpt");
  name.set_extension(".cdx");
  EXPECT_EQ(name.full_path(), "/data/dbf/Sales.cdx");
  name.set_extension("");
  EXPECT_EQ(name.full_path(), "/data/dbf/Sales");
}

TEST(tk_file_name, relative_paths_complete_against_the_current_directory) {
  const tk_file_name name("sub/../table.dbf");
  EXPECT_EQ(name.full_path(), current_dir() + "/table.dbf");
  const tk_file_name dotted("/a/archive.tar.gz");
  EXPECT_EQ(dotted.name(), "archive.tar");
  EXPECT_EQ(dotted.ext(), ".gz");
  const tk_file_name hidden("/a/.profile");
  EXPECT_EQ(hidden.name(), ".profile");
  EXPECT_EQ(hidden.ext(), "");
}

TEST(tk_file_name, empty_path_is_the_program_itself) {
  const tk_file_name self("");
  EXPECT_EQ(self.full_path(), tk_self_path());
  EXPECT_EQ(tk_file_name::program_folder(), self.folder());
  EXPECT_EQ(self.folder().back(), '/');
}

TEST(tk_file_wname, keeps_wide_names) {
  tk_file_wname name(u"/данные/Счёт.dbf");
  EXPECT_EQ(name.dir(), u"/данные/");
  EXPECT_EQ(name.name(), u"Счёт");
  name.set_extension(u"dbt");
  EXPECT_EQ(name.full_path(), u"/данные/Счёт.dbt");
}

TEST(tk_probes, file_and_folder_are_told_apart) {
  const tk_test_dir dir;
  const std::string file = dir.write("a.txt", "x");
  const std::string before = current_dir();
  EXPECT_FALSE(tk_is_path_exist(file));
  EXPECT_EQ(current_dir(), before);
  EXPECT_TRUE(tk_is_path_exist(dir.path()));
  EXPECT_FALSE(tk_is_path_exist(dir / "missing"));
  EXPECT_FALSE(tk_is_path_exist(std::string()));

  EXPECT_TRUE(tk_is_file_exist(file));
  EXPECT_TRUE(tk_is_file_exist(file, tk_access_read_write));
  EXPECT_FALSE(tk_is_file_exist(dir.path()));
  EXPECT_FALSE(tk_is_file_exist(dir / "missing"));
  EXPECT_TRUE(tk_is_file_exist(std::u16string(u"") + tk_from_utf8(file)));
}

TEST(tk_probes, read_only_file_answers_true_for_reading_only) {
  if (tk_running_as_root()) GTEST_SKIP() << "permission bits do not stop the superuser";
  const tk_test_dir dir;
  const std::string file = dir.write("ro.txt", "x");
  ::chmod(file.c_str(), 0444);
  EXPECT_TRUE(tk_is_file_exist(file, tk_access_read));
  EXPECT_FALSE(tk_is_file_exist(file, tk_access_read_write));
}

TEST(tk_temp_chdir, find_files_matches_ignoring_case) {
  const tk_test_dir dir;
  dir.write("a.dbf", "");
  dir.write("B.DBF", "");
  dir.write("notes.txt", "");
  dir.write("c.dbfx", "");
  std::filesystem::create_directory(dir / "folder.Dbf");
  const std::string before = current_dir();
  {
    const tk_temp_chdir chdir(dir.path());
    ASSERT_TRUE(chdir.succeeded());
    EXPECT_EQ(current_dir(), std::filesystem::canonical(dir.path()).string());
    std::vector<std::string> found{"stale"};
    chdir.find_files("*.dbf", found);
    EXPECT_EQ(found, (std::vector<std::string>{"a.dbf", "B.DBF", "folder.Dbf"}));
    chdir.find_files("?.DbF", found);
    EXPECT_EQ(found, (std::vector<std::string>{"a.dbf", "B.DBF"}));
    chdir.find_files("*.*", found);
    EXPECT_EQ(found.size(), 5u);
    chdir.find_files("*.cdx", found);
    EXPECT_TRUE(found.empty());
    std::vector<std::u16string> wide;
    chdir.find_files(u"B*", wide);
    EXPECT_EQ(wide, (std::vector<std::u16string>{u"B.DBF"}));
  }
  EXPECT_EQ(current_dir(), before);
}

TEST(tk_temp_chdir, missing_folder_leaves_the_directory_alone) {
  const std::string before = current_dir();
  {
    const tk_temp_chdir chdir(std::string("/no/such/folder"));
    EXPECT_FALSE(chdir.succeeded());
  }
  EXPECT_EQ(current_dir(), before);
}

TEST(tk_wildcard, stars_and_question_marks) {
  EXPECT_TRUE(tk_match_wildcard_nocase(u"*", u""));
  EXPECT_TRUE(tk_match_wildcard_nocase(u"*.*", u"noext"));
  EXPECT_TRUE(tk_match_wildcard_nocase(u"a*b*c", u"AxxBxxBc"));
  EXPECT_FALSE(tk_match_wildcard_nocase(u"a*b*c", u"axxbxxcd"));
  EXPECT_FALSE(tk_match_wildcard_nocase(u"?", u""));
  EXPECT_TRUE(tk_match_wildcard_nocase(u"ÄÖ*", u"äö.dbf"));
}

TEST(tk_resolve_path_nocase, finds_the_real_spelling) {
  const tk_test_dir dir;
  dir.write("SALES.FPT", "");
  dir.write("sales.dbf", "");
  EXPECT_EQ(tk_resolve_path_nocase(dir / "Sales.fpt"), dir / "SALES.FPT");
  EXPECT_EQ(tk_resolve_path_nocase(dir / "sales.dbf"), dir / "sales.dbf");
  EXPECT_EQ(tk_resolve_path_nocase(dir / "sales.cdx"), std::nullopt);
  EXPECT_EQ(tk_resolve_path_nocase(dir / "none/sales.dbf"), std::nullopt);
  EXPECT_EQ(tk_resolve_path_nocase(tk_from_utf8(dir / "sales.FPT")),
            tk_from_utf8(dir / "SALES.FPT"));
}

TEST(tk_resolve_path_nocase, several_spellings_give_one_stable_answer) {
  const tk_test_dir dir;
  dir.write("memo.fpt", "");
  dir.write("MEMO.FPT", "");
  EXPECT_EQ(tk_resolve_path_nocase(dir / "Memo.Fpt"), dir / "MEMO.FPT");
}

}  // namespace
