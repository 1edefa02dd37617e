#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include "app/error_handler.h"
#include "app/talvex_converter.h"
#include "e2e/e2e_dbf.h"
#include "tk/tk_encoding.h"
#include "tk/tk_test_dir.h"
#include "udb/udb_custom_conversion.h"
#include "udb/udb_field.h"

namespace {

// Collects reports instead of ending the process.
class recording_handler : public error_handler {
 public:
  std::vector<std::pair<std::string, int>> reports;

 protected:
  void present(const tk_exception& e, const std::string& text, bool) override {
    reports.emplace_back(text, e.level());
  }
  void internal_error(const tk_exception& e) override { reports.emplace_back(e.what(), 2); }
};

// Refuses one text value, as a literal that cannot be written would.
class refusing_rule : public udb_conversion_rule {
 public:
  bool is_acceptable2(const udb_field& value) override { return value.to_wstring() == u"pear"; }
  bool is_acceptable1(const t_ftd&) override { return false; }
  std::u16string handle2(const udb_field&) override { throw tk_exception("Invalid value.", 0); }
  void handle1_1(const t_ftd&, udb_column_desc&) override {}
  std::u16string handle1(const t_ftd&) override { return {}; }
};

// Fails with an error outside the system's own family.
class crashing_rule : public refusing_rule {
 public:
  std::u16string handle2(const udb_field&) override { throw std::runtime_error("out of memory"); }
};

class talvex_driver : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    e2e_write_dbf(src / "goods.dbf", {{"NAME", 'C', 10}},
                  {{false, {"apple"}}, {false, {"pear"}}, {false, {"plum"}}});
    converter.src = tk_from_utf8(src.path());
    converter.dest = tk_from_utf8(out / "out.sql");
    converter.direct = false;
    converter.bool_dbf = false;
  }

  std::string script() const { return tk_read_file(out / "out.sql"); }

  tk_test_dir config, src, out;
  recording_handler handler;
  talvex_converter converter{true};
};

TEST_F(talvex_driver, a_failed_record_is_reported_and_the_rest_written) {
  // Registered first, so the driver's own rule list does not replace it.
  udb_custom_conversion rules;
  rules.add_rule(std::make_unique<refusing_rule>());
  converter.silent = true;
  converter();
  ASSERT_EQ(handler.reports.size(), 1u);
  EXPECT_EQ(handler.reports[0].first, "goods, record #2: Invalid value.");
  EXPECT_NE(script().find("N'apple'"), std::string::npos);
  EXPECT_NE(script().find("N'plum'"), std::string::npos);
  EXPECT_EQ(script().find("N'pear'"), std::string::npos);
  EXPECT_TRUE(converter.finished);
  EXPECT_EQ(converter.records_done, 3);
  EXPECT_TRUE(handler.context().empty());
}

TEST_F(talvex_driver, a_failed_table_is_reported_and_the_next_converted) {
  src.write("broken.dbf", "\x03");
  converter.table_list = {u"broken", u"goods"};
  converter.silent = true;
  converter();
  ASSERT_EQ(handler.reports.size(), 1u);
  EXPECT_EQ(handler.reports[0].first.rfind("broken: ", 0), 0u) << handler.reports[0].first;
  EXPECT_NE(script().find("N'plum'"), std::string::npos);
  EXPECT_EQ(converter.tables_done, 0);  // reset once the run is over
}

TEST_F(talvex_driver, a_run_that_cannot_open_its_target_ends_with_level_one) {
  converter.dest = tk_from_utf8(out / "missing/out.sql");
  converter.silent = true;
  converter();
  ASSERT_EQ(handler.reports.size(), 1u);
  EXPECT_EQ(handler.reports[0].second, 1);
  EXPECT_TRUE(converter.finished);
}

TEST_F(talvex_driver, a_foreign_failure_ends_the_run_as_failed) {
  udb_custom_conversion rules;
  rules.add_rule(std::make_unique<crashing_rule>());
  converter.silent = true;
  converter();
  EXPECT_TRUE(converter.failed);
  EXPECT_TRUE(converter.finished);
  EXPECT_TRUE(handler.reports.empty());
}

TEST_F(talvex_driver, mode_two_leaves_an_existing_target_table_alone) {
  converter.table_list = {u"goods", u"GOODS"};
  converter.set_mode(2);
  converter.silent = true;
  converter();
  // The second name is restricted after the first table, so it is renamed, not skipped.
  EXPECT_NE(script().find("CREATE TABLE [dbo].[_GOODS]"), std::string::npos);
  EXPECT_TRUE(handler.reports.empty());
}

}  // namespace
