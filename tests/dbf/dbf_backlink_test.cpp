// The backlink of Visual FoxPro tables: the shared tables that belong to containers, and
// headers built here for free tables, other formats and headers cut short.
#include "dbf/dbf_backlink.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "dbf/dbf_exception.h"
#include "dbf_test_util.h"

namespace {

// A Visual FoxPro table of one field whose header carries `link` in its backlink area.
std::string vfp_table(const std::string& link, std::uint8_t cp_mark = 0x03) {
  std::string t = dbf_make_table(0x30, {{"NAME", 'C', 5}}, {" abcde"}, 0, cp_mark);
  const std::size_t header = 32 + 32 + 1;
  std::string area(263, '\0');
  area.replace(0, link.size(), link);
  t.insert(header, area);
  dbf_put_le(t, 8, header + 263, 2);
  return t;
}

}  // namespace

TEST(BacklinkTest, SharedTablesNameTheirContainers) {
  const std::string nw = std::string(QV_TESTDATA_DIR) + "/vfp-northwind/orders.dbf";
  const std::string fox = std::string(QV_TESTDATA_DIR) + "/dbf/foxprodb/calls.dbf";
  if (!std::filesystem::exists(nw) || !std::filesystem::exists(fox))
    GTEST_SKIP() << "shared tables not present";
  EXPECT_EQ(dbf_backlink_of(nw), "northwind.dbc");
  // Stored in lower case although the container's file is FOXPRO-DB-TEST.DBC.
  EXPECT_EQ(dbf_backlink_of(fox), "foxpro-db-test.dbc");
}

TEST(BacklinkTest, ReadsTheAreaAfterTheDescriptors) {
  EXPECT_EQ(dbf_backlink_in(vfp_table("..\\db\\shop.dbc")), "..\\db\\shop.dbc");
  // Decoded with the header's code page (0x03: Windows-1252).
  EXPECT_EQ(dbf_backlink_in(vfp_table("caf\xe9.dbc")), "caf\xc3\xa9.dbc");
  // A full area has no terminating NUL.
  const std::string full(263, 'a');
  EXPECT_EQ(dbf_backlink_in(vfp_table(full)), full);
}

TEST(BacklinkTest, FreeTablesOtherFormatsAndShortHeadersHaveNone) {
  EXPECT_EQ(dbf_backlink_in(vfp_table("")), "");
  EXPECT_EQ(dbf_backlink_in(dbf_make_table(0x03, {{"NAME", 'C', 5}}, {" abcde"})), "");
  const std::string t = vfp_table("shop.dbc");
  // Cut before the descriptors end, and inside the backlink area.
  EXPECT_EQ(dbf_backlink_in(t.substr(0, 40)), "");
  EXPECT_EQ(dbf_backlink_in(t.substr(0, 68)), "sho");
  EXPECT_EQ(dbf_backlink_in(t.substr(0, 10)), "");
  // A data offset that ends the header before the descriptors' end mark.
  std::string early = t;
  dbf_put_le(early, 8, 40, 2);
  EXPECT_EQ(dbf_backlink_in(early), "");
}

TEST(BacklinkTest, ReadsFilesAndRefusesMissingOnes) {
  dbf_temp_dir dir;
  EXPECT_EQ(dbf_backlink_of(dir.write("t.dbf", vfp_table("a.dbc"))), "a.dbc");
  EXPECT_THROW(dbf_backlink_of(dir.file("none.dbf")), dbf_exception);
  EXPECT_FALSE(std::filesystem::exists(dir.file("none.dbf")));
}
