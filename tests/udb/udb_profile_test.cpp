#include "udb/udb_profile.h"

#include <gtest/gtest.h>

#include "tk/tk_exception.h"
#include "tk/tk_test_dir.h"

namespace {

// A profile as the wizard writes it: direct conversion of two tables, Windows authentication.
const std::string k_example =
    "[Available Queries]\r\n"
    "\r\n"
    "[Generic settings]\r\n"
    "src=C:\\data\\dbf\r\n"
    "dest=sales\r\n"
    "logfile=\r\n"
    "skip indexes=0\r\n"
    "only definitions=0\r\n"
    "mode=0\r\n"
    "skip deleted=0\r\n"
    "bool as is=1\r\n"
    "encoding=0\r\n"
    "\r\n"
    "[MS SQL Server settings]\r\n"
    "windows authentication=1\r\n"
    "connect as DBO=1\r\n"
    "dump insert comments=1\r\n"
    "dump create database=0\r\n"
    "dump create table=1\r\n"
    "direct mode=1\r\n"
    "\r\n"
    "[Selected Tables]\r\n"
    "CUSTOMER\r\n"
    "ORDERS\r\n"
    "\r\n"
    "[Selected Views]\r\n"
    "\r\n";

TEST(udb_profile, example_round_trips_byte_for_byte) {
  const tk_test_dir dir;
  udb_profile profile;
  ASSERT_TRUE(profile.load(dir.write("in.talvex", k_example)));
  EXPECT_EQ(profile.get(u"Generic settings", u"src"), u"C:\\data\\dbf");
  EXPECT_EQ(profile.get(u"MS SQL Server settings", u"direct mode"), u"1");
  EXPECT_EQ(profile.section(u"Selected Tables"),
            (udb_profile::entries{{u"CUSTOMER", u""}, {u"ORDERS", u""}}));
  EXPECT_EQ(profile.plain_section(u"Selected Tables"),
            (std::vector<std::u16string>{u"CUSTOMER", u"ORDERS"}));

  ASSERT_TRUE(profile.store(dir / "out.talvex"));
  EXPECT_EQ(tk_read_file(dir / "out.talvex"), k_example);

  // Read back, the tables are still listed once each.
  udb_profile again;
  ASSERT_TRUE(again.load(dir / "out.talvex"));
  EXPECT_EQ(again.section(u"Selected Tables").size(), 2u);
}

TEST(udb_profile, lf_line_ends_and_byte_order_mark_are_accepted) {
  const tk_test_dir dir;
  std::string lf = "\xEF\xBB\xBF";
  for (const char c : k_example) {
    if (c != '\r') lf += c;
  }
  udb_profile profile;
  ASSERT_TRUE(profile.load(dir.write("lf.talvex", lf)));
  EXPECT_EQ(profile.get(u"Generic settings", u"dest"), u"sales");
  ASSERT_TRUE(profile.store(dir / "out.talvex"));
  EXPECT_EQ(tk_read_file(dir / "out.talvex"), k_example);
}

TEST(udb_profile, entry_lines_are_split_at_the_first_equals_sign) {
  const tk_test_dir dir;
  udb_profile profile;
  ASSERT_TRUE(profile.load(dir.write("p.talvex",
                                     "[MS SQL Server settings]\r\n"
                                     "password=a=b= \r\n"
                                     "[Generic settings]\r\n"
                                     "  skip deleted = 1  \r\n"
                                     "\tmode=2\r\n"
                                     "empty=\r\n"
                                     "[Selected Tables]\r\n"
                                     "ORDERS = Orders2\r\n"
                                     "[ Generic settings]\r\n"
                                     "src=elsewhere\r\n")));
  EXPECT_EQ(profile.get(u"MS SQL Server settings", u"password"), u"a=b=");
  EXPECT_EQ(profile.get(u"Generic settings", u"skip deleted"), u"1");
  EXPECT_EQ(profile.get(u"Generic settings", u"mode"), u"");
  EXPECT_EQ(profile.get(u"Generic settings", u"\tmode"), u"2");
  EXPECT_EQ(profile.get(u"Generic settings", u"src"), u"");
  EXPECT_EQ(profile.get(u" Generic settings", u"src"), u"elsewhere");
  EXPECT_EQ(profile.section(u"Generic settings").back(), (udb_profile::entry{u"empty", u""}));
  EXPECT_EQ(profile.section(u"Selected Tables"), (udb_profile::entries{{u"ORDERS", u"Orders2"}}));
}

TEST(udb_profile, entry_before_any_section_fails_the_load) {
  const tk_test_dir dir;
  udb_profile with_entry;
  EXPECT_FALSE(with_entry.load(dir.write("a.talvex", "src=x\r\n[Generic settings]\r\n")));
  udb_profile with_line;
  EXPECT_FALSE(with_line.load(dir.write("b.talvex", "\r\nCUSTOMER\r\n")));
  udb_profile blank_start;
  EXPECT_TRUE(blank_start.load(dir.write("c.talvex", "\r\n  \r\n[X]\r\nk=v")));
  EXPECT_EQ(blank_start.get(u"X", u"k"), u"v");
}

TEST(udb_profile, missing_file_is_an_error_of_level_one) {
  const tk_test_dir dir;
  udb_profile profile;
  try {
    profile.load(dir / "missing.talvex");
    FAIL() << "a missing profile loaded";
  } catch (const tk_exception& e) {
    EXPECT_STREQ(e.what(),
                 "Profile does not exist. Please verify the correct path/name was given.");
    EXPECT_EQ(e.level(), 1);
  }
}

TEST(udb_profile, over_long_line_is_an_internal_error) {
  const tk_test_dir dir;
  udb_profile fits;
  EXPECT_TRUE(fits.load(dir.write("ok.talvex", "[S]\r\nk=" + std::string(4090, 'v') + "\n")));
  EXPECT_EQ(fits.get(u"S", u"k").size(), 4090u);
  udb_profile too_long;
  EXPECT_THROW(too_long.load(dir.write("long.talvex", "[S]\r\nk=" + std::string(4093, 'v'))),
               tk_mail_assertion);
}

TEST(udb_profile, fresh_profile_stores_the_four_sections) {
  const tk_test_dir dir;
  const udb_profile profile;
  ASSERT_TRUE(profile.store(dir / "fresh.talvex"));
  EXPECT_EQ(tk_read_file(dir / "fresh.talvex"),
            "[Available Queries]\r\n\r\n[Generic settings]\r\n\r\n[Selected Tables]\r\n\r\n"
            "[Selected Views]\r\n\r\n");
  EXPECT_FALSE(profile.store(dir / "no/such/folder.talvex"));
}

TEST(udb_profile, set_appends_and_get_takes_the_first) {
  const tk_test_dir dir;
  udb_profile profile;
  profile.set(u"Selected Tables", u"A", u"");
  profile.set(u"Selected Tables", u"B", u"Bee");
  profile.set(u"New", u"k", u"first");
  profile.set(u"New", u"k", u"second");
  profile.set(u"Generic settings", u"src", u"/данные");
  EXPECT_EQ(profile.get(u"New", u"k"), u"first");
  EXPECT_EQ(profile.get(u"Missing", u"k"), u"");
  ASSERT_TRUE(profile.store(dir / "p.talvex"));
  EXPECT_EQ(tk_read_file(dir / "p.talvex"),
            "[Available Queries]\r\n\r\n[Generic settings]\r\nsrc=/\xD0\xB4\xD0\xB0\xD0\xBD"
            "\xD0\xBD\xD1\x8B\xD0\xB5\r\n\r\n[New]\r\nk=first\r\nk=second\r\n\r\n"
            "[Selected Tables]\r\nA\r\nB=Bee\r\n\r\n[Selected Views]\r\n\r\n");
}

}  // namespace
