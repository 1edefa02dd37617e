// The catalog readers on a database built for the purpose: a table with every column kind,
// an identity, defaults, a primary key, unique and plain indexes, a foreign key and a view;
// and the mapping of catalog columns onto column descriptors.
#include "odb/odb_meta_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

#include "odb/odb_connection.h"
#include "odb/odb_test_server.h"
#include "tk/tk_encoding.h"
#include "tk/tk_string.h"

namespace {

std::string utf8(const std::u16string& s) {
  return tk_to_utf8_lossy(s);
}

// Names the readers should find. Constraint names are lower case because the test server
// lower-cases them (SQL Server keeps them as written). Its catalog views also report table and
// column names in lower case: where a reader takes names from there (indexes, foreign keys)
// the test compares them ignoring case.
constexpr std::u16string_view k_schema_ddl =
    u"CREATE TABLE dbo.Parent (id int NOT NULL CONSTRAINT pk_parent PRIMARY KEY, "
    u"code nvarchar(10) NOT NULL, region char(2) NOT NULL);"
    u"CREATE UNIQUE INDEX ux_parent_code ON dbo.Parent (code);"
    u"CREATE TABLE dbo.[Every Kind] ("
    u"n int IDENTITY(1,1) NOT NULL, pid int NULL, pregion char(2) NULL, c char(5) NULL DEFAULT "
    u"'x', "
    u"vc varchar(30) NULL, vm varchar(max) NULL, nc nchar(4) NULL, nv nvarchar(40) NULL "
    u"DEFAULT N'it''s', nm nvarchar(max) NULL, bn binary(6) NULL, vb varbinary(16) NULL, "
    u"bm varbinary(max) NULL, d numeric(10,2) NOT NULL DEFAULT 0, dm decimal(38,6) NULL, "
    u"ti tinyint NULL, si smallint NULL, bi bigint NULL, bt bit NULL, r real NULL, f float NULL, "
    u"m money NULL, sm smallmoney NULL, dt datetime NULL DEFAULT getdate(), d2 datetime2(3) NULL, "
    u"sd smalldatetime NULL, da date NULL, tm time NULL, g uniqueidentifier NULL, x xml NULL, "
    u"tx text NULL, ntx ntext NULL, img image NULL, [o'name] int NULL, "
    u"CONSTRAINT pk_every PRIMARY KEY (n));"
    u"CREATE INDEX ix_every_pid ON dbo.[Every Kind] (pid DESC, c) INCLUDE (nv);"
    u"CREATE UNIQUE INDEX ux_every_vc ON dbo.[Every Kind] (vc);"
    u"ALTER TABLE dbo.[Every Kind] ADD CONSTRAINT fk_every_parent FOREIGN KEY (pid) "
    u"REFERENCES dbo.Parent (id) ON DELETE CASCADE;";

class odb_meta_data : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::optional<odb_login> login = odb_test_login();
    if (!login) GTEST_SKIP() << odb_no_test_server;
    db_ = std::make_unique<odb_test_database>(*login);
    c_ = db_->connect();
    c_->execute(k_schema_ddl);
    c_->execute(u"CREATE VIEW dbo.v_every AS SELECT n, pid FROM dbo.[Every Kind] WHERE n > 0");
  }
  void TearDown() override { c_.reset(); }

  std::unique_ptr<odb_test_database> db_;
  std::unique_ptr<odb_connection> c_;
};

TEST_F(odb_meta_data, tables_of_the_database) {
  const std::vector<odb_table_meta> tables = odb_read_tables(*c_);
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables[0].schema, u"dbo");
  EXPECT_EQ(tables[0].name, u"Every Kind");
  EXPECT_EQ(tables[1].name, u"Parent");
  EXPECT_EQ(odb_read_tables(*c_, u"dbo").size(), 2u);
  EXPECT_TRUE(odb_read_tables(*c_, u"no_such_schema").empty());
  // A quote in the name asked for is data, not the end of the literal.
  EXPECT_TRUE(odb_read_tables(*c_, u"x' OR 1 = 1 OR 'y").empty());

  c_->execute(u"CREATE SCHEMA sales");
  c_->execute(u"CREATE TABLE sales.[Mixed Case Таблица] (id int)");
  const std::vector<odb_table_meta> sales = odb_read_tables(*c_, u"sales");
  ASSERT_EQ(sales.size(), 1u);
  EXPECT_EQ(sales[0].schema, u"sales");
  EXPECT_EQ(sales[0].name, u"Mixed Case Таблица");
  EXPECT_EQ(odb_read_tables(*c_).size(), 3u);
}

TEST_F(odb_meta_data, columns_with_types_lengths_and_flags) {
  const std::vector<odb_column_meta> cols = odb_read_columns(*c_, u"dbo", u"Every Kind");
  ASSERT_EQ(cols.size(), 33u);
  std::map<std::u16string, odb_column_meta> by_name;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    EXPECT_EQ(cols[i].ordinal, static_cast<int>(i) + 1);
    EXPECT_EQ(cols[i].schema, u"dbo");
    EXPECT_EQ(cols[i].table, u"Every Kind");
    by_name[cols[i].name] = cols[i];
  }
  EXPECT_EQ(cols.front().name, u"n");
  EXPECT_EQ(cols.back().name, u"o'name");

  struct expected {
    std::u16string_view name, type;
    int max_length;
  };
  const expected kinds[] = {
      {u"n", u"int", 0},
      {u"c", u"char", 5},
      {u"vc", u"varchar", 30},
      {u"vm", u"varchar", -1},
      {u"nc", u"nchar", 4},
      {u"nv", u"nvarchar", 40},
      {u"nm", u"nvarchar", -1},
      {u"bn", u"binary", 6},
      {u"vb", u"varbinary", 16},
      {u"bm", u"varbinary", -1},
      {u"d", u"numeric", 0},
      {u"dm", u"decimal", 0},
      {u"ti", u"tinyint", 0},
      {u"si", u"smallint", 0},
      {u"bi", u"bigint", 0},
      {u"bt", u"bit", 0},
      {u"r", u"real", 0},
      {u"f", u"float", 0},
      {u"m", u"money", 0},
      {u"sm", u"smallmoney", 0},
      {u"dt", u"datetime", 0},
      {u"d2", u"datetime2", 0},
      {u"sd", u"smalldatetime", 0},
      {u"da", u"date", 0},
      {u"tm", u"time", 0},
      {u"g", u"uniqueidentifier", 0},
      {u"x", u"xml", -1},
      {u"tx", u"text", -1},
      {u"ntx", u"ntext", -1},
      {u"img", u"image", -1},
  };
  for (const expected& e : kinds) {
    const odb_column_meta& m = by_name[std::u16string(e.name)];
    EXPECT_EQ(m.type_name, e.type) << utf8(std::u16string(e.name));
    EXPECT_EQ(m.max_length, e.max_length) << utf8(std::u16string(e.name));
  }
  EXPECT_EQ(by_name[u"d"].precision, 10);
  EXPECT_EQ(by_name[u"d"].scale, 2);
  EXPECT_EQ(by_name[u"dm"].precision, 38);
  EXPECT_EQ(by_name[u"dm"].scale, 6);
  EXPECT_EQ(by_name[u"d2"].scale, 3);

  EXPECT_TRUE(by_name[u"n"].identity);
  EXPECT_FALSE(by_name[u"n"].nullable);
  EXPECT_FALSE(by_name[u"pid"].identity);
  EXPECT_TRUE(by_name[u"pid"].nullable);
  EXPECT_FALSE(by_name[u"d"].nullable);

  // The stored text of a default differs between servers in its parentheses (SQL Server
  // "((0))", the test server "0"), so only its content is checked.
  EXPECT_TRUE(by_name[u"vc"].default_text.empty());
  EXPECT_NE(by_name[u"d"].default_text.find(u'0'), std::u16string::npos);
  EXPECT_NE(tk_to_lower(by_name[u"dt"].default_text).find(u"getdate()"), std::u16string::npos)
      << utf8(by_name[u"dt"].default_text);
  EXPECT_NE(by_name[u"nv"].default_text.find(u"it''s"), std::u16string::npos)
      << utf8(by_name[u"nv"].default_text);
  EXPECT_NE(by_name[u"c"].default_text.find(u"'x'"), std::u16string::npos);
}

TEST_F(odb_meta_data, columns_of_every_table_and_of_alias_types) {
  c_->execute(u"CREATE TYPE dbo.qv_code FROM nvarchar(12)");
  c_->execute(u"CREATE TABLE dbo.Aliased (k dbo.qv_code, v int)");
  const std::vector<odb_column_meta> all = odb_read_columns(*c_, u"dbo", {});
  // Ordered by table, then position; positions restart with each table.
  ASSERT_EQ(all.size(), 2u + 33u + 3u);
  EXPECT_EQ(all[0].table, u"Aliased");
  EXPECT_EQ(all[0].name, u"k");
  EXPECT_EQ(all[1].ordinal, 2);
  EXPECT_EQ(all[2].table, u"Every Kind");
  EXPECT_EQ(all[2].ordinal, 1);
  EXPECT_EQ(all[35].table, u"Parent");
  EXPECT_EQ(all[35].ordinal, 1);
  EXPECT_EQ(all[37].name, u"region");
  // An alias type reads as its base type, with the alias's length.
  EXPECT_EQ(all[0].type_name, u"nvarchar");
  EXPECT_EQ(all[0].max_length, 12);

  // Positions close the gap a dropped column leaves.
  c_->execute(u"ALTER TABLE dbo.Aliased ADD w int NULL");
  c_->execute(u"ALTER TABLE dbo.Aliased DROP COLUMN v");
  const std::vector<odb_column_meta> after = odb_read_columns(*c_, u"dbo", u"Aliased");
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[1].name, u"w");
  EXPECT_EQ(after[1].ordinal, 2);
  EXPECT_TRUE(odb_read_columns(*c_, u"dbo", u"No Such Table").empty());
}

TEST_F(odb_meta_data, indexes_with_key_columns_in_order) {
  std::vector<odb_index_meta> indexes = odb_read_indexes(*c_, u"dbo", u"Every Kind");
  // The test server renames indexes it creates from CREATE INDEX (lower case, table name and
  // a hash appended), so they are told apart by their columns; constraint names survive.
  ASSERT_EQ(indexes.size(), 3u);
  const auto find = [&](std::u16string_view first_column) -> const odb_index_meta* {
    for (const odb_index_meta& i : indexes) {
      if (!i.columns.empty() && i.columns[0] == first_column) return &i;
    }
    return nullptr;
  };
  const odb_index_meta* pk = find(u"n");
  ASSERT_NE(pk, nullptr);
  EXPECT_EQ(pk->name, u"pk_every");
  EXPECT_TRUE(pk->primary);
  EXPECT_TRUE(pk->unique);
  EXPECT_EQ(pk->columns.size(), 1u);

  const odb_index_meta* plain = find(u"pid");
  ASSERT_NE(plain, nullptr);
  EXPECT_FALSE(plain->primary);
  EXPECT_FALSE(plain->unique);
  EXPECT_EQ(plain->columns, (std::vector<std::u16string>{u"pid", u"c"}));  // nv is included only
  EXPECT_EQ(tk_to_lower(plain->name).rfind(u"ix_every_pid", 0), 0u) << utf8(plain->name);

  const odb_index_meta* unique = find(u"vc");
  ASSERT_NE(unique, nullptr);
  EXPECT_FALSE(unique->primary);
  EXPECT_TRUE(unique->unique);

  indexes = odb_read_indexes(*c_, u"dbo", u"Parent");
  ASSERT_EQ(indexes.size(), 2u);
  EXPECT_EQ(std::count_if(indexes.begin(), indexes.end(),
                          [](const odb_index_meta& i) { return i.primary; }),
            1);
  c_->execute(u"CREATE TABLE dbo.Bare (a int)");
  EXPECT_TRUE(odb_read_indexes(*c_, u"dbo", u"Bare").empty());
}

TEST_F(odb_meta_data, foreign_keys_of_the_child_table) {
  c_->execute(
      u"CREATE TABLE dbo.Pair (a int NOT NULL, b char(2) NOT NULL, CONSTRAINT pk_pair PRIMARY "
      u"KEY (a, b));"
      u"CREATE TABLE dbo.PairChild (x int, y char(2), z int, CONSTRAINT fk_pairchild_pair "
      u"FOREIGN KEY (x, y) REFERENCES dbo.Pair (a, b) ON UPDATE CASCADE ON DELETE SET NULL)");
  const std::vector<odb_fk_meta> keys = odb_read_foreign_keys(*c_, u"dbo", u"Every Kind");
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].name, u"fk_every_parent");
  EXPECT_EQ(keys[0].schema, u"dbo");
  EXPECT_TRUE(tk_equal_nocase(keys[0].table, u"Every Kind")) << utf8(keys[0].table);
  EXPECT_EQ(keys[0].ref_schema, u"dbo");
  EXPECT_TRUE(tk_equal_nocase(keys[0].ref_table, u"Parent")) << utf8(keys[0].ref_table);
  EXPECT_EQ(keys[0].columns, std::vector<std::u16string>{u"pid"});
  EXPECT_EQ(keys[0].ref_columns, std::vector<std::u16string>{u"id"});
  EXPECT_EQ(keys[0].delete_rule, u"CASCADE");
  EXPECT_EQ(keys[0].update_rule, u"NO ACTION");

  const std::vector<odb_fk_meta> pair = odb_read_foreign_keys(*c_, u"dbo", u"PairChild");
  ASSERT_EQ(pair.size(), 1u);
  EXPECT_EQ(pair[0].columns, (std::vector<std::u16string>{u"x", u"y"}));
  EXPECT_EQ(pair[0].ref_columns, (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_EQ(pair[0].delete_rule, u"SET NULL");
  EXPECT_EQ(pair[0].update_rule, u"CASCADE");

  EXPECT_TRUE(odb_read_foreign_keys(*c_, u"dbo", u"Parent").empty());
  EXPECT_EQ(odb_read_foreign_keys(*c_, u"dbo", {}).size(), 2u);
}

TEST_F(odb_meta_data, views_with_their_text) {
  const std::vector<odb_view_meta> views = odb_read_views(*c_);
  ASSERT_EQ(views.size(), 1u);
  EXPECT_EQ(views[0].schema, u"dbo");
  EXPECT_EQ(views[0].name, u"v_every");
  EXPECT_NE(views[0].definition.find(u"WHERE n > 0"), std::u16string::npos)
      << utf8(views[0].definition);
  EXPECT_TRUE(odb_read_views(*c_, u"no_such_schema").empty());
}

TEST_F(odb_meta_data, catalog_columns_become_descriptors) {
  std::map<std::u16string, t_ftd> ftd;
  for (const odb_column_meta& m : odb_read_columns(*c_, u"dbo", u"Every Kind")) {
    ftd[m.name] = odb_column_to_ftd(m);
  }
  struct expected {
    std::u16string_view name;
    ole_vartype vt;
    std::uint32_t size, reserved;
  };
  const expected kinds[] = {
      {u"n", VT_I4, 0, 0},
      {u"ti", VT_UI1, 0, 0},
      {u"si", VT_I2, 0, 0},
      {u"bi", VT_I8, 0, 0},
      {u"bt", VT_BOOL, 0, 0},
      {u"r", VT_R4, 0, 0},
      {u"f", VT_R8, 0, 0},
      {u"m", VT_CY, 0, 0},
      {u"sm", VT_CY, 0, 0},
      {u"d", VT_DECIMAL, 0, 10 << 8 | 2},
      {u"dm", VT_DECIMAL, 0, 38 << 8 | 6},
      {u"dt", VT_DATE, 0, 1},
      {u"d2", VT_DATE, 0, 1},
      {u"sd", VT_DATE, 0, 1},
      {u"da", VT_DATE, 0, 2},
      {u"tm", VT_DATE, 0, 3},
      {u"c", VT_BSTR, 5, 0},
      {u"vc", VT_BSTR, 30, 0},
      {u"vm", VT_BSTR, 0, 0},
      {u"nc", VT_BSTR, 4, 0},
      {u"nv", VT_BSTR, 40, 0},
      {u"nm", VT_BSTR, 0, 0},
      {u"tx", VT_BSTR, 0, 0},
      {u"ntx", VT_BSTR, 0, 0},
      {u"g", VT_BSTR, 38, 1},
      {u"x", VT_BSTR, 0, 11},
      {u"bn", VT_BLOB, 6, 0},
      {u"vb", VT_BLOB, 16, 0},
      {u"bm", VT_BLOB, 0, 0},
      {u"img", VT_BLOB, 0, 0},
  };
  for (const expected& e : kinds) {
    const t_ftd& f = ftd[std::u16string(e.name)];
    const std::string name = utf8(std::u16string(e.name));
    EXPECT_EQ(f.name, e.name) << name;
    EXPECT_EQ(f.vartype, e.vt) << name;
    EXPECT_EQ(f.size, e.size) << name;
    EXPECT_EQ(f.reserved, e.reserved) << name;
  }
  EXPECT_TRUE(ftd[u"n"].b_auto_num);
  EXPECT_TRUE(ftd[u"n"].b_not_null);
  EXPECT_FALSE(ftd[u"pid"].b_auto_num);
  EXPECT_FALSE(ftd[u"pid"].b_not_null);
  EXPECT_EQ(ftd[u"d2"].native_type, u"datetime2");
  EXPECT_EQ(ftd[u"d"].get_precision(), 10u);
  EXPECT_EQ(ftd[u"d"].get_scale(), 2u);
}

}  // namespace
