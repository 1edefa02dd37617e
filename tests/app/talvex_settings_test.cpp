#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "app/talvex_converter.h"
#include "dbf/dbf_codepage_table.h"
#include "tk/tk_encoding.h"
#include "tk/tk_test_dir.h"
#include "udb/udb_profile.h"

namespace {

// Each test gets its own settings store, so nothing a run remembered leaks into another.
class talvex_settings : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1); }
  tk_test_dir dir;
};

TEST_F(talvex_settings, wizard_defaults_without_any_stored_value) {
  const talvex_converter converter(false);
  EXPECT_TRUE(converter.direct);
  EXPECT_TRUE(converter.sec_log);
  EXPECT_TRUE(converter.engine().as_dbo());
  EXPECT_TRUE(converter.dump_options.b_unicode);
  EXPECT_TRUE(converter.dump_options.b_comments);
  EXPECT_TRUE(converter.dump_options.b_create_tab);
  EXPECT_FALSE(converter.dump_options.b_create_db);
  EXPECT_FALSE(converter.bool_dbf);
  EXPECT_FALSE(converter.skip_del);
}

TEST_F(talvex_settings, wizard_remembers_settings_between_runs) {
  {
    talvex_converter converter(false);
    converter.src = u"/data/dbf";
    converter.pswd = u"p=ss";
    converter.skip_del = true;
    converter.code_page = 0x65;
    converter.dump_options.b_create_db = true;
    // The wizard saves when it finishes, never on the way out alone (Cancel saves nothing).
    ASSERT_TRUE(converter.store_settings());
  }
  const talvex_converter again(false);
  EXPECT_EQ(again.src, u"/data/dbf");
  // Without a secret store that answers, the password is not remembered at all.
  EXPECT_EQ(again.pswd, u"");
  EXPECT_TRUE(again.skip_del);
  EXPECT_EQ(again.code_page, 0x65);
  EXPECT_TRUE(again.dump_options.b_create_db);
}

TEST_F(talvex_settings, wizard_remembers_each_folders_tables) {
  using tables = std::vector<std::u16string>;
  {
    talvex_converter converter(false);
    converter.folder_tables.remember(u"/data/shop/", {u"orders", u"a=b \u00e9\u2603"});
    converter.folder_tables.remember(u"/data/empty", {});
    for (int i = 0; i < 25; ++i) {
      converter.folder_tables.remember(u"/old/" + tk_from_utf8(std::to_string(i)), {u"t"});
    }
    // Chosen again: it becomes the most recent and outlives the older ones.
    converter.folder_tables.remember(u"/data/shop", {u"orders", u"a=b \u00e9\u2603"});
    ASSERT_TRUE(converter.store_settings());
  }
  const talvex_converter again(false);
  const tables* shop = again.folder_tables.find(u"/data/shop/");
  ASSERT_NE(shop, nullptr);
  EXPECT_EQ(*shop, (tables{u"orders", u"a=b \u00e9\u2603"}));
  // Twenty folders are kept: the empty choice and the five oldest went.
  EXPECT_EQ(again.folder_tables.find(u"/data/empty"), nullptr);
  EXPECT_EQ(again.folder_tables.find(u"/old/5"), nullptr);
  ASSERT_NE(again.folder_tables.find(u"/old/6"), nullptr);
  EXPECT_EQ(*again.folder_tables.find(u"/old/24"), tables{u"t"});

  // An empty choice is a choice; a text that is not ours remembers nothing.
  talvex_folder_tables kept;
  kept.remember(u"/x", {});
  talvex_folder_tables copy;
  copy.decode(kept.encode());
  ASSERT_NE(copy.find(u"/x"), nullptr);
  EXPECT_TRUE(copy.find(u"/x")->empty());
  copy.decode(u"2:/x1;");
  EXPECT_EQ(copy.find(u"/x"), nullptr);

  // A loaded profile runs its own tables, not the ones remembered for its folder.
  const std::string path = dir / "shop.talvex";
  udb_profile profile;
  profile.set(udb_profile::k_generic_settings, u"src", u"/data/shop");
  profile.set(udb_profile::k_selected_tables, u"customer", u"");
  ASSERT_TRUE(profile.store(path));
  talvex_converter loading(false);
  ASSERT_TRUE(loading.load_profile(path));
  EXPECT_EQ(loading.folder_tables.find(u"/data/shop"), nullptr);
  EXPECT_EQ(loading.table_list, tables{u"customer"});
}

TEST_F(talvex_settings, console_remembers_only_the_dump_values) {
  {
    talvex_converter wizard(false);
    wizard.skip_del = true;
    wizard.direct = false;
    wizard.dump_options.b_comments = false;
    ASSERT_TRUE(wizard.store_settings());
  }
  const talvex_converter console(true);
  EXPECT_TRUE(console.direct);
  EXPECT_FALSE(console.skip_del);
  EXPECT_FALSE(console.engine().as_dbo());
  EXPECT_FALSE(console.dump_options.b_comments);
}

TEST_F(talvex_settings, profile_round_trips_every_key) {
  const std::string path = dir / "all.talvex";
  {
    talvex_converter converter(true);
    converter.src = u"/data/dbf";
    converter.dest = u"sales";
    converter.table_list = {u"customer", u"orders"};
    converter.name_map = {{u"customer", u""}, {u"orders", u"orders_2"}};
    converter.skip_idx = true;
    converter.tab_def = true;
    converter.set_mode(2);
    converter.skip_del = true;
    converter.bool_dbf = false;
    converter.direct = false;
    converter.code_page = 0xC9;
    converter.host = u"db:1433";
    converter.user = u"sa";
    converter.pswd = u"a=b";
    converter.sec_log = true;
    converter.engine().set_as_dbo(true);
    converter.engine().set_tls({odb_encryption::optional, true, "/srv/ca.pem"});
    converter.dump_options.b_create_db = true;
    converter.jobs = talvex_converter::default_jobs() + 2;
    ASSERT_TRUE(converter.store_profile(path));
  }
  const std::string text = tk_read_file(path);
  EXPECT_NE(text.find("[Selected Tables]\r\ncustomer\r\norders=orders_2\r\n\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("password=a=b\r\n"), std::string::npos);
  // A profile that holds a password is its owner's alone, even where one was there before.
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  talvex_converter loaded(true);
  ASSERT_TRUE(loaded.load_profile(path));
  EXPECT_EQ(loaded.src, u"/data/dbf");
  EXPECT_EQ(loaded.dest, u"sales");
  EXPECT_EQ(loaded.table_list, (std::vector<std::u16string>{u"customer", u"orders"}));
  EXPECT_TRUE(loaded.skip_idx);
  EXPECT_TRUE(loaded.tab_def);
  EXPECT_EQ(loaded.mode(), 2);
  EXPECT_TRUE(loaded.skip_del);
  EXPECT_FALSE(loaded.bool_dbf);
  EXPECT_FALSE(loaded.direct);
  EXPECT_EQ(loaded.code_page, 0xC9);
  EXPECT_EQ(loaded.host, u"db:1433");
  EXPECT_EQ(loaded.jobs, talvex_converter::default_jobs() + 2);
  EXPECT_EQ(loaded.user, u"sa");
  EXPECT_EQ(loaded.pswd, u"a=b");
  EXPECT_TRUE(loaded.sec_log);
  EXPECT_EQ(loaded.engine().tls().encryption, odb_encryption::optional);
  EXPECT_TRUE(loaded.engine().tls().trust_server_cert);
  EXPECT_EQ(loaded.engine().tls().ca_file, "/srv/ca.pem");
  EXPECT_TRUE(loaded.engine().as_dbo());
  EXPECT_TRUE(loaded.dump_options.b_create_db);

  // UTF-8 has no mark: its choice is kept whole, not cut to a byte.
  loaded.code_page = dbf_choice_utf8;
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  ASSERT_TRUE(loaded.store_profile(path));
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  talvex_converter utf8(true);
  ASSERT_TRUE(utf8.load_profile(path));
  EXPECT_EQ(utf8.code_page, dbf_choice_utf8);
}

TEST_F(talvex_settings, profile_flag_rules_and_mode_digits) {
  const std::string path = dir / "rules.talvex";
  udb_profile profile;
  profile.set(udb_profile::k_generic_settings, u"only definitions", u"yes");
  profile.set(udb_profile::k_generic_settings, u"skip deleted", u"yes");
  profile.set(udb_profile::k_generic_settings, u"mode", u"12");
  profile.set(udb_profile::k_selected_tables, u"orders", u"");
  ASSERT_TRUE(profile.store(path));

  talvex_converter converter(true);
  converter.skip_del = true;
  converter.set_mode(1);
  converter.user = u"kept";
  ASSERT_TRUE(converter.load_profile(path));
  EXPECT_TRUE(converter.tab_def);    // every value but "0" counts
  EXPECT_FALSE(converter.skip_del);  // only "1" counts
  EXPECT_EQ(converter.mode(), 1);    // two characters: ignored
  EXPECT_EQ(converter.user, u"kept");

  udb_profile seven;
  seven.set(udb_profile::k_generic_settings, u"mode", u"7");
  ASSERT_TRUE(seven.store(path));
  ASSERT_TRUE(converter.load_profile(path));
  EXPECT_EQ(converter.mode(), 7);  // passed on unchecked
}

TEST_F(talvex_settings, loading_twice_appends_the_tables_twice) {
  const std::string path = dir / "twice.talvex";
  udb_profile profile;
  profile.set(udb_profile::k_selected_tables, u"orders", u"");
  ASSERT_TRUE(profile.store(path));
  talvex_converter converter(true);
  ASSERT_TRUE(converter.load_profile(path));
  ASSERT_TRUE(converter.load_profile(path));
  EXPECT_EQ(converter.table_list, (std::vector<std::u16string>{u"orders", u"orders"}));
  EXPECT_EQ(converter.name_map.size(), 2u);
}

}  // namespace

namespace {

TEST_F(talvex_settings, dump_destination_keeps_old_scripts_and_devices) {
  // The old script stays until the new one is complete and takes its place.
  talvex_converter converter(true);
  converter.direct = false;
  const std::string script = dir.write("old.sql", "-- old");
  converter.dest = tk_from_utf8(script);
  converter.check_dest();
  EXPECT_EQ(tk_read_file(script), "-- old");

  const std::string pipe = dir / "pipe.sql";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  converter.dest = tk_from_utf8(pipe);
  converter.check_dest();
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

}  // namespace
