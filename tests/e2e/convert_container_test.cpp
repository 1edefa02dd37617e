// A folder with a Visual FoxPro database container arrives as the database its application
// knew: the container's table and field names, its primary keys, its relations as foreign keys
// (rows without a parent never block them); a damaged container leaves free tables.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "e2e/cli_run.h"
#include "e2e/e2e_direct.h"
#include "e2e/e2e_script.h"
#include "e2e/script_batches.h"
#include "odb/odb_recordset.h"
#include "odb/odb_test_server.h"
#include "tk/tk_test_dir.h"

namespace {

namespace fs = std::filesystem;

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++n;
  return n;
}

fs::path shared(const std::string& folder) {
  return fs::path(QV_TESTDATA_DIR) / folder;
}

// Copies every file of the shared folder `folder` into `dir`.
void copy_shared(const std::string& folder, const tk_test_dir& dir) {
  for (const auto& entry : fs::directory_iterator(shared(folder)))
    fs::copy_file(entry.path(), fs::path(dir.path()) / entry.path().filename());
}

// A copy of the shared FoxPro database folder, with a free table beside it.
void copy_foxprodb(const tk_test_dir& dir) {
  copy_shared("dbf/foxprodb", dir);
  fs::copy_file(shared("dbf/dbase_03.dbf"), fs::path(dir.path()) / "free.dbf");
}

// A connection to the database `name` of the test server.
odb_connection connect_to(odb_login login, const std::u16string& name) {
  login.database = name;
  return odb_connection(login);
}

TEST(convert_container, northwind_arrives_with_its_names_keys_and_relations) {
  if (!fs::is_directory(shared("vfp-northwind"))) GTEST_SKIP() << "shared test tables absent";
  const tk_test_dir out;
  const e2e_script script = e2e_dump(out, shared("vfp-northwind").string());
  ASSERT_EQ(script.result.code, 0) << script.result.out << script.result.err;
  // The container names 13 tables; products.dbf is absent on purpose.
  EXPECT_NE((script.result.out + script.result.err).find("products.dbf is missing"),
            std::string::npos)
      << script.result.out << script.result.err;
  const std::vector<std::string> tables = script.tables();
  EXPECT_EQ(tables.size(), 12u);
  for (const char* name : {"Categories", "OrderDetails", "CustomerCustomerDemo", "Employees"})
    EXPECT_NE(std::find(tables.begin(), tables.end(), name), tables.end()) << name;
  EXPECT_EQ(script.column_type("Employees", "titleofcourtesy"), "NVARCHAR(25)");
  EXPECT_EQ(script.column_type("Categories", "categoryname"), "NVARCHAR(15)");
  EXPECT_NE(script.text.find(" PRIMARY KEY ([orderid], [productid])"), std::string::npos);
  // 13 relations, 3 of them to Products.
  EXPECT_EQ(count(script.text, "FOREIGN KEY ("), 2u * 10u);
  EXPECT_NE(script.text.find("[FK_OrderDetails_Orders] FOREIGN KEY ([orderid]) REFERENCES "
                             "[dbo].[Orders]([orderid]) ON DELETE CASCADE ON UPDATE NO ACTION"),
            std::string::npos);

  // Constant defaults, and comments or captions as descriptions.
  EXPECT_NE(script.text.find("[quantity] INT DEFAULT 1,"), std::string::npos);
  EXPECT_GT(count(script.text, "sp_addextendedproperty @name = N'MS_Description'"), 10u);
  // 18 views: one remote, nine read Products, one reads a view of Products; the others are
  // created after the tables, a view after the views it reads.
  EXPECT_EQ(count(script.text, "CREATE VIEW "), 7u);
  const std::string said = script.result.out + script.result.err;
  EXPECT_NE(said.find("View bedrijven reads the remote connection"), std::string::npos) << said;
  EXPECT_NE(said.find("View invoices is not translated: unknown table Products"),
            std::string::npos);
  EXPECT_LT(script.text.find("CREATE VIEW [dbo].[order_subtotals]"),
            script.text.find("CREATE VIEW [dbo].[sales_totals_by_amount]"));
  // Its four field rules become checks, after the rows; none is told as untranslated.
  EXPECT_NE(script.text.find("ADD CONSTRAINT [CK_OrderDetails_discount] CHECK ([discount] >= 0 "
                             "AND [discount] < 1)"),
            std::string::npos);
  EXPECT_NE(script.text.find("CHECK ([birthdate] < CAST(GETDATE() AS date))"), std::string::npos);
  EXPECT_EQ(count(script.text, "WITH NOCHECK ADD CONSTRAINT [CK_"), 4u);
  EXPECT_GT(script.text.find("ADD CONSTRAINT [CK_"), script.text.rfind("INSERT INTO"));
  EXPECT_EQ(said.find("is not translated: malformed"), std::string::npos) << said;
  EXPECT_EQ(said.find("rule"), std::string::npos) << said;

  ODB_TEST_LOGIN_OR_SKIP(login);
  const std::u16string name = tk_from_utf8_lossy("qvc_" + std::to_string(::getpid()));
  const dropped_database guard(login, name);
  const cli_result run = quorvik_direct(
      login, {"--src=" + shared("vfp-northwind").string(), "--dest=" + tk_to_utf8_lossy(name)},
      "insert");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  // Employees' top manager reports to employee 0, who does not exist: an orphan, reported.
  EXPECT_NE((run.out + run.err).find("FK_Employees_Employees"), std::string::npos)
      << run.out << run.err;
  odb_connection connection = connect_to(login, name);
  EXPECT_EQ(tk_to_utf8_lossy(connection.scalar(
                u"SELECT COUNT(*) FROM sys.foreign_keys WHERE name = N'FK_OrderDetails_Orders'")),
            "1");
  EXPECT_EQ(tk_to_utf8_lossy(connection.scalar(
                u"SELECT COUNT(*) FROM sys.tables WHERE name IN (N'OrderDetails', N'Orders')")),
            "2");
  EXPECT_NE(tk_to_utf8_lossy(connection.scalar(
                u"SELECT COUNT(*) FROM sys.extended_properties WHERE name = N'MS_Description'")),
            "0");
  EXPECT_EQ(tk_to_utf8_lossy(connection.scalar(u"SELECT COUNT(*) FROM sys.check_constraints")),
            "4");
  // Every view created answers.
  std::vector<std::u16string> views;
  const auto listed =
      connection.query(u"SELECT SCHEMA_NAME(schema_id) + N'].[' + name FROM sys.views");
  for (listed->reset(); !listed->is_eof(); listed->next())
    views.push_back((*listed->get_item())[0].text());
  EXPECT_EQ(views.size(), 7u);
  for (const std::u16string& view : views) {
    EXPECT_NO_THROW(connection.scalar(u"SELECT COUNT(*) FROM [" + view + u"]"))
        << tk_to_utf8_lossy(view);
  }
}

TEST(convert_container, a_container_as_the_source_and_a_damaged_one) {
  if (!fs::is_directory(shared("dbf/foxprodb"))) GTEST_SKIP() << "shared test tables absent";
  const tk_test_dir src;
  copy_foxprodb(src);
  const tk_test_dir out;
  // The whole folder: the container's four tables and the free one.
  const e2e_script folder = e2e_dump(out, src.path());
  ASSERT_EQ(folder.result.code, 0) << folder.result.err;
  EXPECT_EQ(folder.tables().size(), 5u);
  // The container only.
  const tk_test_dir out2;
  const e2e_script only = e2e_dump(out2, src.path() + "/FOXPRO-DB-TEST.DBC");
  ASSERT_EQ(only.result.code, 0) << only.result.err;
  std::vector<std::string> tables = only.tables();
  std::sort(tables.begin(), tables.end());
  EXPECT_EQ(tables, (std::vector<std::string>{"calls", "contacts", "setup", "types"}));
  EXPECT_NE(only.text.find("[contact_type_id]"), std::string::npos);

  // A second container beside the first: the tables of both arrive, each with its keys.
  const tk_test_dir two;
  copy_foxprodb(two);
  copy_shared("vfp-northwind", two);
  const tk_test_dir out4;
  const e2e_script both = e2e_dump(out4, two.path());
  ASSERT_EQ(both.result.code, 0) << both.result.err;
  EXPECT_EQ(both.tables().size(), 5u + 12u);
  EXPECT_EQ(count(both.text, "FOREIGN KEY ("), 2u * (2u + 10u));

  // A container cut short: reported by name, and its tables convert as free tables.
  fs::resize_file(fs::path(src.path()) / "FOXPRO-DB-TEST.DBC", 300);
  const tk_test_dir out3;
  const e2e_script damaged = e2e_dump(out3, src.path());
  ASSERT_EQ(damaged.result.code, 0) << damaged.result.err;
  const std::string said = damaged.result.out + damaged.result.err;
  EXPECT_NE(said.find("FOXPRO-DB-TEST.DBC"), std::string::npos) << said;
  EXPECT_EQ(damaged.tables().size(), 5u);
  EXPECT_EQ(count(damaged.text, "FOREIGN KEY ("), 0u);
  EXPECT_NE(damaged.text.find("[CONTACT_TY]"), std::string::npos);
}

TEST(convert_container, a_candidate_key_is_a_parent_and_a_rule_the_rows_break_is_reported) {
  if (!fs::is_directory(shared("vfp-northwind"))) GTEST_SKIP() << "shared test tables absent";
  ODB_TEST_LOGIN_OR_SKIP(login);
  // foxprodb's calls reference contacts by its candidate key, whose column may hold NULL.
  const std::u16string fox = tk_from_utf8_lossy("qvf_" + std::to_string(::getpid()));
  const dropped_database fox_guard(login, fox);
  const cli_result fox_run = quorvik_direct(
      login, {"--src=" + shared("dbf/foxprodb").string(), "--dest=" + tk_to_utf8_lossy(fox)},
      "bulk");
  ASSERT_EQ(fox_run.code, 0) << fox_run.out << fox_run.err;
  // Its key defaults call a stored procedure: told, not translated.
  EXPECT_NE(fox_run.out.find("Table contacts, field contact_id: the default newid() is not "
                             "translated"),
            std::string::npos)
      << fox_run.out;
  EXPECT_EQ(
      tk_to_utf8_lossy(
          connect_to(login, fox)
              .scalar(u"SELECT COUNT(*) FROM sys.foreign_keys WHERE name = N'FK_calls_contacts'")),
      "1");

  // One order line with a discount of 2 breaks the rule discount < 1: every row still
  // arrives, and the report names the check.
  const tk_test_dir src;
  copy_shared("vfp-northwind", src);
  {
    // DISCOUNT N(20,5) is the fifth field, 21 bytes into the 41-byte record after the
    // 456-byte header.
    std::fstream lines(fs::path(src.path()) / "orderdetails.dbf",
                       std::ios::in | std::ios::out | std::ios::binary);
    lines.seekp(456 + 1 + 4 + 4 + 8 + 4);
    lines << "             2.00000";
  }
  const std::u16string name = tk_from_utf8_lossy("qvr_" + std::to_string(::getpid()));
  const dropped_database guard(login, name);
  const cli_result run =
      quorvik_direct(login, {"--src=" + src.path(), "--dest=" + tk_to_utf8_lossy(name)}, "bulk");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Table OrderDetails, check CK_OrderDetails_discount"), std::string::npos)
      << run.out;
  odb_connection connection = connect_to(login, name);
  const std::u16string lines = tk_from_utf8_lossy(qualified(connection, "OrderDetails"));
  EXPECT_EQ(tk_to_utf8_lossy(
                connection.scalar(u"SELECT COUNT(*) FROM " + lines + u" WHERE [discount] = 2")),
            "1");
  EXPECT_EQ(tk_to_utf8_lossy(connection.scalar(u"SELECT COUNT(*) FROM " + lines)), "2155");
}

}  // namespace
