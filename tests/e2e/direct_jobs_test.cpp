// Tables loaded four at a time hold what they hold when loaded one after the other: the same
// tables, rows and values, through bulk copy and through INSERT statements.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "e2e/e2e_dbf.h"
#include "e2e/e2e_direct.h"
#include "odb/odb_test_server.h"
#include "tk/tk_test_dir.h"

namespace {

namespace fs = std::filesystem;

// Every benchmark table shape in one folder: eight tables of every field kind and encoding.
std::string eight_tables(const tk_test_dir& dir, int records) {
  const std::string all = dir.path() + "/all";
  fs::create_directories(all);
  for (const char* shape :
       {"dbase3", "vfp", "text1252", "text866", "memo", "numeric", "wide", "blank"}) {
    const std::string folder = e2e_bench_table(dir.path() + "/shapes", records, shape);
    if (folder.empty()) return {};
    for (const fs::directory_entry& file : fs::directory_iterator(folder)) {
      fs::copy_file(file.path(), all + "/" + file.path().filename().string());
    }
  }
  return all;
}

// Each table's rows, every value as text, in a stable order.
std::map<std::string, std::vector<std::string>> contents(odb_connection& c) {
  std::map<std::string, std::vector<std::string>> out;
  for (const odb_table_meta& table : odb_read_tables(c)) {
    const std::unique_ptr<odb_recordset> rows =
        c.query(u"SELECT * FROM [" + table.schema + u"].[" + table.name + u"]");
    std::vector<std::string>& lines = out[tk_to_utf8_lossy(table.name)];
    for (std::size_t i = 0; i < rows->size(); ++i) {
      std::u16string line;
      const udb_record& row = rows->row(i);
      for (std::size_t f = 0; f < row.size(); ++f) {
        line += (row[f].is_null() ? u"NULL" : row[f].to_wstring()) + u"\t";
      }
      lines.push_back(tk_to_utf8_lossy(line));
    }
    std::sort(lines.begin(), lines.end());
  }
  return out;
}

TEST(direct_jobs, four_jobs_load_the_same_tables_rows_and_values_as_one) {
  ODB_TEST_LOGIN_OR_SKIP(login);
  const tk_test_dir dir;
  const std::string src = eight_tables(dir, 3000);
  ASSERT_FALSE(src.empty());
  for (const char* load_path : {"bulk", "insert"}) {
    SCOPED_TRACE(load_path);
    std::map<std::string, std::vector<std::string>> by_jobs[2];
    for (const int jobs : {1, 4}) {
      const std::u16string name =
          tk_from_utf8_lossy("qvjobs" + std::to_string(jobs) + "_" + std::to_string(::getpid()));
      const dropped_database guard(login, name);
      const cli_result run = quorvik_direct(
          login,
          {"--src=" + src, "--dest=" + tk_to_utf8_lossy(name), "--jobs=" + std::to_string(jobs)},
          load_path);
      ASSERT_EQ(run.code, 0) << run.out << run.err;
      EXPECT_NE(run.out.find("Tables converted: 8, tables failed: 0"), std::string::npos)
          << run.out;
      odb_login in_db = login;
      in_db.database = name;
      odb_connection c(in_db);
      by_jobs[jobs == 1 ? 0 : 1] = contents(c);
    }
    ASSERT_EQ(by_jobs[0].size(), 8u);
    EXPECT_EQ(by_jobs[0], by_jobs[1]);
  }
}

}  // namespace
