#include <gtest/gtest.h>

#include <sched.h>

#include <cstdlib>
#include <stdexcept>

#include "app/error_handler.h"
#include "app/talvex_converter.h"
#include "app/talvex_row_helper.h"
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

// Refuses "pear" among texts alone, so that the other values keep the quick way to the script.
class refusing_text_rule : public refusing_rule {
 public:
  ole_vartype accepted_value_type() const override { return VT_BSTR; }
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

// Runs `body` with the calling thread allowed one processor only; false (nothing run) where
// there is only one.
template <class F>
bool on_one_processor(F body) {
  cpu_set_t all;
  if (::sched_getaffinity(0, sizeof all, &all) != 0 || CPU_COUNT(&all) < 2) return false;
  cpu_set_t one;
  CPU_ZERO(&one);
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &all)) {
      CPU_SET(cpu, &one);
      break;
    }
  }
  if (::sched_setaffinity(0, sizeof one, &one) != 0) return false;
  body();
  EXPECT_EQ(::sched_setaffinity(0, sizeof all, &all), 0);
  return true;
}

// Rows formatted on a second thread (runs of records handed to a helper) give the same script,
// the same failed records and the same counts as rows formatted one by one on one processor:
// refused texts, unreadable numbers, deleted records kept and skipped, across many runs.
TEST_F(talvex_driver, rows_formatted_on_two_threads_match_one_thread) {
  std::vector<e2e_row> rows;
  for (int i = 0; i < 30000; ++i) {
    const std::string qty = i % 13 == 0 ? "***" : std::to_string(i % 1000) + ".5";
    rows.push_back({i % 11 == 0,
                    {i % 7 == 0 ? "pear" : "item" + std::to_string(i), qty,
                     i % 5 == 0 ? "" : "2024" + std::to_string(1001 + i % 12 * 100).substr(1),
                     i % 2 == 0 ? "T" : "?"}});
  }
  e2e_write_dbf(src / "stock.dbf",
                {{"NAME", 'C', 12}, {"QTY", 'N', 8, 2}, {"DAY", 'D', 8}, {"OK", 'L', 1}}, rows);
  udb_custom_conversion rules;
  rules.add_rule(std::make_unique<refusing_text_rule>());
  converter.table_list = {u"stock"};
  converter.silent = true;
  for (const bool skip : {false, true}) {
    converter.skip_del = skip;
    handler.reports.clear();
    converter();
    const std::string two_threads = script();
    const auto two_reports = handler.reports;
    handler.reports.clear();
    if (!on_one_processor([&] { converter(); })) GTEST_SKIP() << "one processor";
    EXPECT_TRUE(script() == two_threads) << "skip_del " << skip;
    EXPECT_EQ(handler.reports, two_reports);
    EXPECT_EQ(two_reports.size(), skip ? 3896u : 4286u);
    EXPECT_NE(two_threads.find("N'item29999'"), std::string::npos);
  }
}

// Rows of several kilobytes of memo text end the helper's runs early (after a few megabytes of
// text, well before a run's records): the runs that follow pick up from there, and the script
// is the one-thread script still, every row in its place.
TEST_F(talvex_driver, runs_cut_short_by_long_rows_lose_no_row) {
  const std::string folder = e2e_bench_table(out / "bench", 12000, "memo");
  ASSERT_FALSE(folder.empty());
  converter.src = tk_from_utf8(folder);
  converter.silent = true;
  converter();
  const std::string two_threads = script();
  if (!on_one_processor([&] { converter(); })) GTEST_SKIP() << "one processor";
  EXPECT_TRUE(handler.reports.empty());
  EXPECT_TRUE(script() == two_threads);
  std::size_t rows = 0;
  for (std::size_t at = two_threads.find("INSERT"); at != std::string::npos;
       at = two_threads.find("INSERT", at + 1))
    ++rows;
  EXPECT_EQ(rows, 12000u);
  EXPECT_GT(two_threads.size(), 2 * talvex_row_helper::k_text_bytes);
}

}  // namespace
