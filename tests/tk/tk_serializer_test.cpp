#include "tk/tk_serializer.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "tk/tk_test_dir.h"

namespace {

// Points the store at a private folder for one test.
class tk_serializer_test : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old != nullptr) saved_ = old;
    had_ = old != nullptr;
    ::setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
  }
  void TearDown() override {
    if (had_) {
      ::setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }
  std::string conf() const { return dir_ / "Orvanel/Talvex.conf"; }

  tk_test_dir dir_;

 private:
  std::string saved_;
  bool had_ = false;
};

TEST_F(tk_serializer_test, store_is_a_private_file) {
  EXPECT_EQ(tk_serializer::store_path(), conf());
  tk_serializer store;
  ASSERT_TRUE(store.open_key());
  std::u16string password = u"secret";
  ASSERT_TRUE(store.serialize_string(u"pswd", password, true));
  struct stat st {};
  ASSERT_EQ(::stat(conf().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(tk_serializer_test, values_survive_a_new_opening) {
  const std::u16string odd = u"a=b\\n\r\n\t\"[x]\" ünï \xD800 end";
  {
    tk_serializer store;
    ASSERT_TRUE(store.open_key());
    bool flag = true;
    std::int32_t number = -7;
    std::u16string text = odd;
    std::u16string name_text = u"x";
    EXPECT_TRUE(store.serialize_bool("direct", flag, true));
    EXPECT_TRUE(store.serialize_int("code_page", number, true));
    EXPECT_TRUE(store.serialize_string(u"src", text, true));
    EXPECT_TRUE(store.serialize_string(u"we=ird\nname", name_text, true));
    store.close_key();
  }
  tk_serializer store;
  ASSERT_TRUE(store.open_key());
  bool flag = false;
  std::int32_t number = 0;
  std::u16string text;
  std::u16string name_text;
  EXPECT_TRUE(store.serialize_bool("direct", flag, false));
  EXPECT_TRUE(store.serialize_int("code_page", number, false));
  EXPECT_TRUE(store.serialize_string(u"src", text, false));
  EXPECT_TRUE(store.serialize_string(u"we=ird\nname", name_text, false));
  EXPECT_TRUE(flag);
  EXPECT_EQ(number, -7);
  EXPECT_EQ(text, odd);
  EXPECT_EQ(name_text, u"x");
}

TEST_F(tk_serializer_test, failed_reads_leave_the_variable_alone) {
  tk_serializer store;
  bool flag = true;
  EXPECT_FALSE(store.serialize_bool("direct", flag, false));  // not open
  EXPECT_FALSE(store.serialize_bool("direct", flag, true));
  ASSERT_TRUE(store.open_key());

  EXPECT_FALSE(store.serialize_bool("missing", flag, false));
  EXPECT_TRUE(flag);

  std::u16string text = u"kept";
  EXPECT_FALSE(store.serialize_string(u"missing", text, false));
  std::u16string empty;
  ASSERT_TRUE(store.serialize_string(u"empty", empty, true));
  store.serialize_string(u"empty", text, false);
  EXPECT_EQ(text, u"kept");

  // A value of the other type does not read.
  std::int32_t number = 42;
  EXPECT_FALSE(store.serialize_int("empty", number, false));
  EXPECT_EQ(number, 42);
  EXPECT_TRUE(store.serialize_int("n", number, true));
  EXPECT_FALSE(store.serialize_string(u"n", text, false));
  EXPECT_EQ(text, u"kept");
}

TEST_F(tk_serializer_test, any_non_zero_number_reads_as_true) {
  tk_serializer store;
  ASSERT_TRUE(store.open_key());
  std::int32_t two = 2;
  ASSERT_TRUE(store.serialize_int("flag", two, true));
  bool flag = false;
  EXPECT_TRUE(store.serialize_bool("flag", flag, false));
  EXPECT_TRUE(flag);
}

TEST_F(tk_serializer_test, damaged_lines_are_skipped) {
  ::mkdir((dir_ / "Orvanel").c_str(), 0700);
  dir_.write("Orvanel/Talvex.conf",
             "# comment\ngarbage\nbad=dword:12x\nesc=sz:\\q\nok=dword:5\ns=sz:v\\u003D1\n");
  tk_serializer store;
  ASSERT_TRUE(store.open_key());
  std::int32_t number = 0;
  EXPECT_FALSE(store.serialize_int("bad", number, false));
  EXPECT_TRUE(store.serialize_int("ok", number, false));
  EXPECT_EQ(number, 5);
  std::u16string text;
  EXPECT_FALSE(store.serialize_string(u"esc", text, false));
  EXPECT_TRUE(store.serialize_string(u"s", text, false));
  EXPECT_EQ(text, u"v=1");
}

TEST_F(tk_serializer_test, unusable_location_fails_silently) {
  dir_.write("Orvanel", "a file where the folder should be");
  tk_serializer store;
  EXPECT_FALSE(store.open_key());
  std::int32_t number = 3;
  EXPECT_FALSE(store.serialize_int("n", number, true));
  EXPECT_EQ(number, 3);
}

TEST_F(tk_serializer_test, relative_config_home_is_ignored) {
  ::setenv("XDG_CONFIG_HOME", "relative/dir", 1);
  const char* home = std::getenv("HOME");
  if (home == nullptr) GTEST_SKIP() << "no home folder";
  EXPECT_EQ(tk_serializer::store_path(), std::string(home) + "/.config/Orvanel/Talvex.conf");
}

}  // namespace

TEST_F(tk_serializer_test, a_removed_value_leaves_the_file_and_the_others_stay) {
  {
    tk_serializer store;
    ASSERT_TRUE(store.open_key());
    std::u16string password = u"old secret";
    std::u16string user = u"loader";
    ASSERT_TRUE(store.serialize_string(u"pswd", password, true));
    ASSERT_TRUE(store.serialize_string(u"user", user, true));
    EXPECT_TRUE(store.remove_value(u"pswd"));
    // Removing what is not there succeeds and changes nothing.
    EXPECT_TRUE(store.remove_value(u"never"));
  }
  std::ifstream in(conf());
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("pswd"), std::string::npos) << text;
  EXPECT_EQ(text.find("old secret"), std::string::npos) << text;
  tk_serializer store;
  ASSERT_TRUE(store.open_key());
  std::u16string user;
  EXPECT_TRUE(store.serialize_string(u"user", user, false));
  EXPECT_EQ(user, u"loader");
  std::u16string password = u"kept";
  EXPECT_FALSE(store.serialize_string(u"pswd", password, false));
  EXPECT_EQ(password, u"kept");
  tk_serializer closed;
  EXPECT_FALSE(closed.remove_value(u"user"));
}
