// Index tags of the tables' index files arrive as indexes: in the script after each table's
// rows and on the server after the load, candidate keys unique unless the rows break them,
// filters and descending keys kept, none at all with --no_indexes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <map>

#include "dbf/dbf_index_builder.h"
#include "dbf/dbf_test_util.h"
#include "e2e/cli_run.h"
#include "e2e/e2e_direct.h"
#include "e2e/e2e_script.h"
#include "e2e/script_batches.h"
#include "odb/odb_meta_data.h"
#include "odb/odb_recordset.h"
#include "odb/odb_test_server.h"
#include "tk/tk_test_dir.h"

namespace {

namespace fs = std::filesystem;

// name -> "unique" or "plain" of the table's named indexes as the server has them.
std::map<std::string, std::string> indexes_held(odb_connection& connection,
                                                const std::string& table) {
  const auto rows = connection.query(tk_from_utf8_lossy(
      "SELECT name, CASE WHEN is_unique = 1 THEN 'unique' ELSE 'plain' END FROM sys.indexes "
      "WHERE object_id = OBJECT_ID(N'" +
      qualified(connection, table) + "') AND name IS NOT NULL AND is_primary_key = 0"));
  std::map<std::string, std::string> out;
  for (rows->reset(); !rows->is_eof(); rows->next()) {
    const udb_record& row = *rows->get_item();
    out[tk_to_utf8_lossy(row[0].text())] = tk_to_utf8_lossy(row[1].text());
  }
  return out;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The kind of the table's index `name`, or every index held when there is none of that name.
// Babelfish keeps an index under its name and the table's in lower case and a 32-digit hash.
std::string kind_of(const std::map<std::string, std::string>& held, const std::string& table,
                    const std::string& name) {
  const std::string babelfish = lower(name) + lower(table);
  for (const auto& [index, kind] : held) {
    if (index == name || (index.size() == babelfish.size() + 32 && index.starts_with(babelfish)))
      return kind;
  }
  std::string all = "absent among:";
  for (const auto& [index, kind] : held) all += " " + index + "=" + kind;
  return all;
}

std::int64_t row_count(odb_connection& connection, const std::string& table) {
  return std::stoll(tk_to_utf8_lossy(connection.scalar(
      tk_from_utf8_lossy("SELECT COUNT(*) FROM " + qualified(connection, table)))));
}

// Where the index statements of a table begin: after its last INSERT.
void expect_after_rows(const std::string& text, const std::string& table,
                       const std::string& statement) {
  const std::size_t at = text.find(statement);
  ASSERT_NE(at, std::string::npos) << statement;
  const std::size_t last_insert = text.rfind("INSERT INTO [dbo].[" + table + "]");
  ASSERT_NE(last_insert, std::string::npos) << table;
  EXPECT_GT(at, last_insert) << statement;
}

// A table whose candidate key ID holds 2 twice, with a descending and a filtered tag.
void write_duplicate_table(const tk_test_dir& dir) {
  const std::vector<std::string> records = {" 1alpha     ", " 2beta      ", " 2gamma     "};
  tk_write_file(dir / "dup.dbf",
                dbf_make_table(0x03, {{"ID", 'N', 1}, {"NAME", 'C', 10}}, records));
  std::vector<dbf_test_index_tag> tags;
  tags.push_back({"BIG", "id", "id > 1", 0, false, false});
  tags.push_back({"ID", "id", "", 0x04, false, false});  // Visual FoxPro candidate key
  tags.push_back({"NAME", "UPPER(name)", "", 0, false, true});
  tk_write_file(dir / "dup.cdx", dbf_make_cdx(tags));
}

TEST(convert_indexes, shared_databases_bring_their_tags_after_the_rows) {
  const fs::path shared = QV_TESTDATA_DIR;
  if (!fs::is_directory(shared / "vfp-northwind")) GTEST_SKIP() << "shared test tables absent";
  const tk_test_dir out;
  const e2e_script northwind = e2e_dump(out, (shared / "vfp-northwind").string());
  ASSERT_EQ(northwind.result.code, 0) << northwind.result.out << northwind.result.err;
  // Names as the database container gives them; ORDERID is the primary key of Orders, the
  // other tags its indexes, on the container's long column names.
  EXPECT_NE(northwind.text.find("\t[orderid] INT NOT NULL,"), std::string::npos);
  expect_after_rows(northwind.text, "Orders",
                    "CREATE INDEX [SHIPPEDDAT] ON [dbo].[Orders]([shippeddate])\nGO\n");
  expect_after_rows(northwind.text, "OrderDetails",
                    "CREATE INDEX [PRODUCTID] ON [dbo].[OrderDetails]([productid])\nGO\n");
  expect_after_rows(northwind.text, "Categories",
                    "CREATE INDEX [CATEGORYNM] ON [dbo].[Categories]([categoryname])\nGO\n");

  const tk_test_dir out2;
  const e2e_script foxpro = e2e_dump(out2, (shared / "dbf" / "foxprodb").string());
  ASSERT_EQ(foxpro.result.code, 0) << foxpro.result.out << foxpro.result.err;
  expect_after_rows(foxpro.text, "calls",
                    "\tCREATE UNIQUE INDEX [CALL_ID] ON [dbo].[calls]([call_id])");
  expect_after_rows(foxpro.text, "contacts",
                    "CREATE INDEX [TYPE_ID] ON [dbo].[contacts]([contact_type_id])\nGO\n");

  const auto primary_keys = [](odb_connection& connection, const std::string& table) {
    return tk_to_utf8_lossy(connection.scalar(
        tk_from_utf8_lossy("SELECT COUNT(*) FROM sys.indexes WHERE object_id = OBJECT_ID(N'" +
                           qualified(connection, table) + "') AND is_primary_key = 1")));
  };
  ODB_TEST_LOGIN_OR_SKIP(login);
  {
    const odb_test_database database(login);
    const auto connection = database.connect();
    load_script(*connection, northwind.text);
    const std::map<std::string, std::string> orders = indexes_held(*connection, "Orders");
    EXPECT_EQ(kind_of(orders, "Orders", "SHIPPEDDAT"), "plain");
    EXPECT_EQ(kind_of(orders, "Orders", "CUSTOMERID"), "plain");
    EXPECT_EQ(primary_keys(*connection, "Orders"), "1");
  }
  const std::u16string name = tk_from_utf8_lossy("qvn_" + std::to_string(::getpid()));
  const dropped_database guard(login, name);
  const cli_result run = quorvik_direct(
      login, {"--src=" + (shared / "vfp-northwind").string(), "--dest=" + tk_to_utf8_lossy(name)},
      "bulk");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  odb_login direct = login;
  direct.database = name;
  odb_connection connection(direct);
  const std::map<std::string, std::string> orders = indexes_held(connection, "Orders");
  EXPECT_EQ(kind_of(orders, "Orders", "SHIPPEDDAT"), "plain");
  EXPECT_EQ(primary_keys(connection, "Orders"), "1");
  EXPECT_EQ(primary_keys(connection, "OrderDetails"), "1");
}

TEST(convert_indexes, a_candidate_key_the_rows_break_gives_a_plain_index_and_a_report) {
  const tk_test_dir src;
  write_duplicate_table(src);
  const tk_test_dir out;
  const e2e_script script = e2e_dump(out, src.path());
  ASSERT_EQ(script.result.code, 0) << script.result.out << script.result.err;
  EXPECT_EQ(script.rows("dup").size(), 3u);
  expect_after_rows(script.text, "dup",
                    "IF NOT EXISTS (SELECT 1 FROM [dbo].[dup] WHERE [ID] IS NOT NULL GROUP BY "
                    "[ID] HAVING COUNT(*) > 1)\n");
  expect_after_rows(script.text, "dup", "CREATE INDEX [NAME] ON [dbo].[dup]([NAME] DESC)\nGO\n");
  expect_after_rows(script.text, "dup", "CREATE INDEX [BIG] ON [dbo].[dup]([ID]) WHERE [ID] > 1");

  // Without indexes only the clustered index a table without key gets is left.
  const tk_test_dir bare;
  const e2e_script none = e2e_dump(bare, src.path(), {"--no_indexes"});
  ASSERT_EQ(none.result.code, 0) << none.result.out << none.result.err;
  EXPECT_EQ(none.text.find("CREATE INDEX"), std::string::npos);
  EXPECT_EQ(none.text.find("UNIQUE INDEX"), std::string::npos);
  EXPECT_EQ(none.rows("dup").size(), 3u);

  ODB_TEST_LOGIN_OR_SKIP(login);
  {
    const odb_test_database database(login);
    const auto connection = database.connect();
    load_script(*connection, script.text);
    EXPECT_EQ(row_count(*connection, "dup"), 3);
    const std::map<std::string, std::string> held = indexes_held(*connection, "dup");
    EXPECT_EQ(kind_of(held, "dup", "ID"), "plain");
    EXPECT_EQ(kind_of(held, "dup", "NAME"), "plain");
    EXPECT_EQ(kind_of(held, "dup", "BIG"), "plain");
  }
  for (const char* load_path : {"bulk", "insert"}) {
    SCOPED_TRACE(load_path);
    const std::u16string name =
        tk_from_utf8_lossy("qvd_" + std::to_string(::getpid()) + "_" + load_path);
    const dropped_database guard(login, name);
    const cli_result run = quorvik_direct(
        login, {"--src=" + src.path(), "--dest=" + tk_to_utf8_lossy(name)}, load_path);
    EXPECT_NE((run.out + run.err).find("Table dup, index ID: the key (2) occurs more than once"),
              std::string::npos)
        << run.out << run.err;
    odb_login direct = login;
    direct.database = name;
    odb_connection connection(direct);
    EXPECT_EQ(row_count(connection, "dup"), 3);
    const std::map<std::string, std::string> held = indexes_held(connection, "dup");
    EXPECT_EQ(kind_of(held, "dup", "ID"), "plain");
    EXPECT_EQ(kind_of(held, "dup", "NAME"), "plain");
    EXPECT_EQ(kind_of(held, "dup", "BIG"), "plain");
  }
}

}  // namespace
