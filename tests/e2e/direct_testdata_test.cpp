// Every shared folder converted straight into the server holds, value for value, what its
// T-SQL script holds once the script has run on the same server: through bulk copy and through
// INSERT statements alike.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "dbf/dbf_test_util.h"
#include "e2e/cli_run.h"
#include "e2e/e2e_direct.h"
#include "e2e/script_batches.h"
#include "odb/odb_meta_data.h"
#include "odb/odb_recordset.h"
#include "odb/odb_test_server.h"
#include "tk/tk_test_dir.h"

namespace {

namespace fs = std::filesystem;

// The table a batch of the script creates, fills or indexes.
std::string batch_table(const std::string& batch) {
  for (const std::string_view mark : {"[dbo].[", " ON ["}) {
    const std::size_t at = batch.find(mark);
    if (at == std::string::npos) continue;
    const std::size_t start = at + mark.size();
    return batch.substr(start, batch.find(']', start) - start);
  }
  return {};
}

std::string render(const udb_field& field) {
  if (field.is_null() || field.is_empty()) return "<NULL>";
  return tk_to_utf8_lossy(field.vt() == VT_BSTR ? field.text() : field.to_wstring());
}

// Each user table by its name (whatever its schema): its column names and sorted rows.
struct table_content {
  std::vector<std::string> columns;
  std::vector<std::string> rows;
};

std::map<std::string, table_content> read_tables(odb_connection& connection) {
  std::map<std::string, table_content> out;
  for (const odb_table_meta& table : odb_read_tables(connection)) {
    table_content& content = out[tk_to_utf8_lossy(table.name)];
    const auto rows =
        connection.query(u"SELECT * FROM [" + table.schema + u"].[" + table.name + u"]");
    for (const t_ftd& column : rows->schema())
      content.columns.push_back(tk_to_utf8_lossy(column.name));
    for (rows->reset(); !rows->is_eof(); rows->next()) {
      std::string row;
      for (const udb_field& field : *rows->get_item()) row += render(field) + "\x1f";
      content.rows.push_back(row);
    }
    std::sort(content.rows.begin(), content.rows.end());
  }
  return out;
}

// Converts `folder` into the server directly and through its script, and compares.
void expect_direct_holds_what_the_script_holds(const odb_login& login, const fs::path& folder,
                                               const std::string& load_path) {
  const tk_test_dir dir;
  const std::string script = dir.path() + "/script.sql";
  const cli_result dumped = quorvik({"--src=" + folder.string(), "--dump", "--dest=" + script});
  ASSERT_EQ(dumped.code, 0) << dumped.out << dumped.err;
  const odb_test_database from_script(login);
  const std::unique_ptr<odb_connection> loader = from_script.connect();
  // Every batch of the script runs: a table with two fields of one name reaches both writers
  // with the second named apart. A batch the server refuses names its table below.
  std::set<std::string> unloadable;
  for (const std::string& batch : script_batches(tk_read_file(script))) {
    try {
      loader->execute_utf8(batch);
    } catch (const odb_exception& e) {
      const std::string table = batch_table(batch);
      ASSERT_FALSE(table.empty()) << e.what() << "\n" << batch.substr(0, 300);
      unloadable.insert(table);
    }
  }
  EXPECT_TRUE(unloadable.empty()) << *unloadable.begin();

  const std::u16string direct_name = tk_from_utf8_lossy(
      "qvd_" + std::to_string(::getpid()) + "_" + load_path + "_" + folder.filename().string());
  const dropped_database guard(login, direct_name);
  const cli_result run =
      quorvik_direct(login, {"--src=" + folder.string(), "--dest=" + tk_to_utf8_lossy(direct_name)},
                     load_path.c_str());
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Tables converted: "), std::string::npos) << run.out;

  odb_login direct_login = login;
  direct_login.database = direct_name;
  odb_connection direct(direct_login);
  const auto expected = read_tables(*loader);
  const auto actual = read_tables(direct);
  ASSERT_FALSE(expected.empty());
  for (const auto& [name, content] : expected) {
    if (unloadable.count(name) != 0) continue;
    const auto found = actual.find(name);
    ASSERT_NE(found, actual.end()) << "table " << name << " missing; run said:\n" << run.out;
    EXPECT_EQ(found->second.columns, content.columns) << name;
    ASSERT_EQ(found->second.rows.size(), content.rows.size()) << name;
    for (std::size_t i = 0; i < content.rows.size(); ++i) {
      EXPECT_EQ(found->second.rows[i], content.rows[i]) << name << " row " << i;
    }
  }
  EXPECT_GE(actual.size(), expected.size());
}

class direct_testdata : public ::testing::TestWithParam<std::tuple<std::string, std::string>> {};

TEST_P(direct_testdata, holds_what_the_script_holds) {
  ODB_TEST_LOGIN_OR_SKIP(login);
  const auto& [folder_name, load_path] = GetParam();
  const fs::path folder = fs::path(QV_TESTDATA_DIR) / folder_name;
  if (!fs::is_directory(folder)) GTEST_SKIP() << "shared test tables not present";
  expect_direct_holds_what_the_script_holds(login, folder, load_path);
}

// Field kinds the shared tables lack: Visual FoxPro varbinary, binary characters, varchar
// and nullable fields; dBase level 7 timestamps.
TEST(direct_testdata, binary_varying_and_nullable_fields) {
  ODB_TEST_LOGIN_OR_SKIP(login);
  const tk_test_dir src;
  tk_write_file(src / "vfp9.dbf",
                dbf_make_table(0x30,
                               {{"V", 'V', 6, 0, 0x02},
                                {"Q", 'Q', 4},
                                {"RAW", 'C', 4, 0, 0x04},
                                {"N", 'N', 4, 0, 0x02},
                                {"_NullFlags", '0', 1, 0, 0x05}},
                               {std::string(" hi\0\0\0\x02", 7) + std::string("\x01\0\0\x02", 4) +
                                    std::string("a\0 b", 4) + "  12" + "\x05",
                                std::string(" ") + "zzzzzz" + "wxyz" + "    " + "  34" + "\x0A"}));
  const auto stamp = [](double ms) {
    std::string s(8, '\0');
    dbf_put_be(s, 0, std::bit_cast<std::uint64_t>(ms), 8);
    return s;
  };
  tk_write_file(src / "level7.dbf",
                dbf_make_table7({{"Item ID", '+', 4}, {"At", '@', 8}},
                                {" " + std::string("\x80\0\0\x05", 4) +
                                 stamp(62135596800000.0 + 86400000.0 * 2 + 3723000.0)}));
  for (const char* load_path : {"bulk", "insert"}) {
    SCOPED_TRACE(load_path);
    expect_direct_holds_what_the_script_holds(login, src.path(), load_path);
  }
}

INSTANTIATE_TEST_SUITE_P(
    folders, direct_testdata,
    ::testing::Combine(::testing::Values("dbf", "dbase7", "vfp-northwind", "dbf/foxprodb"),
                       ::testing::Values("bulk", "insert")),
    [](const auto& info) {
      std::string name = std::get<0>(info.param) + "_" + std::get<1>(info.param);
      std::replace_if(
          name.begin(), name.end(),
          [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
      return name;
    });

}  // namespace
