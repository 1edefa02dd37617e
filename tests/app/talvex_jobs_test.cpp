// Tables loading four at a time while one record fails: Continue lets every table load, the
// others whole and the failing one without its record; Abort stops every job between records,
// tells each stopped table as cut, leaves no table half loaded, and a mode-2 run loads the rest.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "app/error_handler.h"
#include "app/talvex_converter.h"
#include "e2e/e2e_dbf.h"
#include "e2e/e2e_direct.h"
#include "odb/odb_connection.h"
#include "odb/odb_recordset.h"
#include "odb/odb_test_server.h"
#include "tk/tk_encoding.h"
#include "tk/tk_test_dir.h"
#include "udb/udb_conversion_rule.h"
#include "udb/udb_custom_conversion.h"
#include "udb/udb_field.h"

namespace {

constexpr int k_records = 30000;

// Answers the first level-0 report with the dialog's Abort when asked to; records them all.
class answering_handler : public error_handler {
 public:
  explicit answering_handler(bool abort) : abort_(abort) {}
  std::vector<std::pair<std::string, int>> reports;

 protected:
  void present(const tk_exception& e, const std::string& text, bool final) override {
    reports.emplace_back(text, e.level());
    if (abort_ && e.level() == 0 && !final && reports.size() == 1) throw tk_final_exception();
  }
  void internal_error(const tk_exception& e) override { reports.emplace_back(e.what(), 2); }

 private:
  bool abort_;
};

// Refuses the one value "bad", as a value that cannot be written would.
class refusing_rule : public udb_conversion_rule {
 public:
  bool is_acceptable2(const udb_field& value) override { return value.to_wstring() == u"bad"; }
  bool is_acceptable1(const t_ftd&) override { return false; }
  std::u16string handle2(const udb_field&) override { throw tk_exception("Invalid value.", 0); }
  void handle1_1(const t_ftd&, udb_column_desc&) override {}
  std::u16string handle1(const t_ftd&) override { return {}; }
};

class talvex_jobs : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("QUORVIK_LOAD_PATH", "bulk", 1);
    // The refused record sits early in the first table, while the others are still loading.
    for (const char* name : {"a_first", "b_second", "c_third", "d_fourth"}) {
      std::vector<e2e_row> rows;
      for (int i = 1; i <= k_records; ++i) {
        const bool bad = name[0] == 'a' && i == 50;
        rows.push_back({false, {bad ? "bad" : "row" + std::to_string(i), std::to_string(i)}});
      }
      e2e_write_dbf(src.path() + "/" + name + ".dbf", {{"NAME", 'C', 12}, {"N", 'N', 8}}, rows);
    }
  }
  void TearDown() override { ::unsetenv("QUORVIK_LOAD_PATH"); }

  void run(const odb_login& login, int mode) {
    talvex_converter converter;
    converter.src = tk_from_utf8_lossy(src.path());
    converter.dest = db;
    converter.host = login.server;
    converter.user = login.user;
    converter.pswd = login.password;
    converter.engine().set_tls(login.tls);
    converter.silent = true;
    converter.jobs = 4;
    converter.set_mode(mode);
    converter();
    totals = converter.totals();
  }

  // "table=rows" of every table the database holds, in name order.
  std::string tables(const odb_login& login) {
    return tables_like(login, tk_to_utf8_lossy(db), u"");
  }

  tk_test_dir src;
  std::u16string db = u"qvjobs_" + tk_from_utf8_lossy(std::to_string(::getpid()));
  talvex_converter::run_totals totals;
  udb_custom_conversion rules;
};

TEST_F(talvex_jobs, continue_loads_every_table_and_leaves_out_the_refused_record) {
  ODB_TEST_LOGIN_OR_SKIP(login);
  const dropped_database guard(login, db);
  rules.add_rule(std::make_unique<refusing_rule>());
  answering_handler handler(false);
  run(login, 0);
  ASSERT_EQ(handler.reports.size(), 1u);
  EXPECT_EQ(handler.reports[0].first, "a_first, record #50: Invalid value.");
  const std::string n = std::to_string(k_records);
  EXPECT_EQ(tables(login), "a_first=" + std::to_string(k_records - 1) + " b_second=" + n +
                               " c_third=" + n + " d_fourth=" + n);
  EXPECT_EQ(totals.tables_converted, 4);
  EXPECT_EQ(totals.records_failed, 1);
  EXPECT_EQ(totals.rows_written, 4 * k_records - 1);
}

TEST_F(talvex_jobs, abort_stops_every_table_and_a_mode_2_run_loads_the_rest) {
  ODB_TEST_LOGIN_OR_SKIP(login);
  const dropped_database guard(login, db);
  rules.add_rule(std::make_unique<refusing_rule>());
  {
    answering_handler handler(true);
    run(login, 0);
    ASSERT_GE(handler.reports.size(), 2u);
    EXPECT_EQ(handler.reports[0].first, "a_first, record #50: Invalid value.");
    // Every other report tells a table cut between two records.
    for (std::size_t i = 1; i < handler.reports.size(); ++i) {
      EXPECT_NE(handler.reports[i].first.find(" was cut after "), std::string::npos)
          << handler.reports[i].first;
    }
  }
  // What is there is whole; nothing stays under a load name.
  const std::string left = tables(login);
  EXPECT_EQ(left.find('~'), std::string::npos) << left;
  EXPECT_EQ(left.find("a_first"), std::string::npos) << left;
  std::size_t at = 0;
  while ((at = left.find('=', at)) != std::string::npos) {
    EXPECT_EQ(std::stoll(left.substr(++at)), k_records) << left;
  }
  // The stopped run does not stop the next one, which loads what is missing.
  answering_handler handler(false);
  run(login, 2);
  EXPECT_EQ(handler.reports.size(), 1u);
  const std::string n = std::to_string(k_records);
  EXPECT_EQ(tables(login), "a_first=" + std::to_string(k_records - 1) + " b_second=" + n +
                               " c_third=" + n + " d_fourth=" + n);
}

}  // namespace
