// Blank texts straight into the server: a dBase table's blank fields and a Visual FoxPro
// table's nullable fields holding NULLs and blanks arrive as '' and NULL alike through bulk
// copy and through INSERT statements, and the tables keep no default they were not given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbf/dbf_test_util.h"
#include "e2e/e2e_dbf.h"
#include "e2e/e2e_direct.h"
#include "odb/odb_test_server.h"
#include "tk/tk_test_dir.h"

namespace {

// Each row of the table as "v|v|..." ordered by its first column: a text as [text], NULL as
// NULL.
std::vector<std::string> rendered(odb_connection& c, const std::string& table,
                                  const std::vector<std::string>& columns) {
  std::string select = "SELECT N''";
  for (const std::string& column : columns)
    select +=
        " + N'|' + ISNULL(N'[' + RTRIM(CAST(" + column + " AS nvarchar(20))) + N']', N'NULL')";
  const std::unique_ptr<odb_recordset> rows = c.query(
      tk_from_utf8_lossy(select + " FROM " + qualified(c, table) + " ORDER BY " + columns.front()));
  std::vector<std::string> out;
  for (std::size_t i = 0; i < rows->size(); ++i)
    out.push_back(tk_to_utf8_lossy(rows->row(i)[0].text()));
  return out;
}

// Default constraints of the database's tables that give a value; a default of NULL is none
// (the test server replaces a default where SQL Server drops it).
std::u16string value_defaults(odb_connection& c) {
  return c.scalar(
      u"SELECT COUNT(*) FROM sys.default_constraints WHERE UPPER(definition) NOT LIKE N'%NULL%'");
}

TEST(direct_blank_texts, blank_and_null_fields_arrive_as_empty_texts_and_nulls) {
  ODB_TEST_LOGIN_OR_SKIP(login);
  const tk_test_dir src;
  // dBase III: blank fields are empty texts.
  e2e_write_dbf(
      src.path() + "/plain.dbf", {{"ID", 'N', 4}, {"A", 'C', 6}, {"B", 'C', 6}},
      {{false, {"   1", "x", ""}}, {false, {"   2", "", ""}}, {false, {"   3", "", "y"}}});
  // Visual FoxPro: N1 and N2 nullable (null bits 0 and 1), T not.
  const auto record = [](const std::string& id, const std::string& n1, const std::string& n2,
                         const std::string& t, char nulls) {
    const auto pad = [](std::string v) {
      v.resize(6, ' ');
      return v;
    };
    return " " + id + pad(n1) + pad(n2) + pad(t) + std::string(1, nulls);
  };
  tk_write_file(
      src / "nulls.dbf",
      dbf_make_table(0x30,
                     {{"ID", 'N', 4},
                      {"N1", 'C', 6, 0, 0x02},
                      {"N2", 'C', 6, 0, 0x02},
                      {"T", 'C', 6},
                      {"_NullFlags", '0', 1, 0, 0x05}},
                     {record("   1", "", "", "", 0x01), record("   2", "", "", "x", 0x02),
                      record("   3", "a", "", "", 0x00), record("   4", "", "b", "", 0x01),
                      record("   5", "", "", "", 0x03)}));
  for_each_direct_load(login, src.path(), "qvblank", [](odb_connection& c, const std::string&) {
    EXPECT_EQ(rendered(c, "plain", {"ID", "A", "B"}),
              (std::vector<std::string>{"|[1]|[x]|[]", "|[2]|[]|[]", "|[3]|[]|[y]"}));
    EXPECT_EQ(rendered(c, "nulls", {"ID", "N1", "N2", "T"}),
              (std::vector<std::string>{"|[1]|NULL|[]|[]", "|[2]|[]|NULL|[x]", "|[3]|[a]|[]|[]",
                                        "|[4]|NULL|[b]|[]", "|[5]|NULL|NULL|[]"}));
    EXPECT_EQ(value_defaults(c), u"0");
  });
}

}  // namespace
