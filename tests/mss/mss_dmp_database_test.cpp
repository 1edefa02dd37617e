#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "mss/mss_dmp_database.h"
#include "mss/mss_dmp_recordset.h"
#include "mss/mss_engine.h"
#include "tk/tk_encoding.h"
#include "tk/tk_test_dir.h"
#include "udb/udb_record.h"

namespace {

using namespace std::string_view_literals;

std::string temp_path(const char* stem) {
  static std::atomic<int> counter{0};
  return testing::TempDir() + "mss_dmp_" + std::to_string(::getpid()) + "_" +
         std::to_string(counter++) + "_" + stem + ".sql";
}

mss_dump_options plain_options() {
  mss_dump_options options;
  options.b_comments = false;
  return options;
}

// Writes a script through `body` and returns its bytes.
template <class F>
std::string script(const mss_dump_options& options, F body, const char* stem = "t") {
  const std::string path = temp_path(stem);
  {
    mss_dmp_database db(tk_from_utf8(path), options);
    body(db);
    db.close();
  }
  std::string text = tk_read_file(path);
  ::unlink(path.c_str());
  return text;
}

constexpr std::string_view k_quoted_identifier = "SET QUOTED_IDENTIFIER ON;\r\nGO\r\n";

udb_schema orders_schema() {
  udb_schema schema;
  schema.push_back(t_ftd(4, u"id", VT_I4, false, true));
  schema.push_back(t_ftd(40, u"name", VT_BSTR, false, false, ole_variant(u"O'x"sv)));
  schema.push_back(t_ftd(10, u"price", VT_DECIMAL, false, false, ole_variant(), (10 << 8) | 2));
  schema.push_back(t_ftd(5, u"qty", VT_I4, true, false, ole_variant(0)));
  return schema;
}

udb_indexes orders_indexes() {
  udb_indexes indexes;
  indexes.push_back(udb_index(u"pk", false, true, {u"id"}));
  indexes.push_back(udb_index(u"ix_name", true, false, {u"name", u"qty"}));
  indexes.push_back(udb_index(u"ix_price", false, false, {u"price"}));
  return indexes;
}

void fill(udb_record& record, const ole_variant& id, const ole_variant& name,
          const ole_variant& price, const ole_variant& qty) {
  record.clear();
  record.add_field(u"id", 4, id);
  record.add_field(u"name", 40, name);
  record.add_field(u"price", 10, price);
  record.add_field(u"qty", 5, qty);
}

TEST(mss_dmp_database, header_database_block_and_quoted_identifier) {
  EXPECT_EQ(script(plain_options(), [](mss_dmp_database&) {}), k_quoted_identifier);

  mss_dump_options options;
  options.creator = "quorvik 2.3";
  options.b_create_db = true;
  options.db_name = "Sa'les]x";
  const std::string path = temp_path("header");
  {
    mss_dmp_database db(tk_from_utf8(path), options);
    db.close();
  }
  const std::string header = tk_read_file(path);
  ::unlink(path.c_str());
  const std::string head = "/*\r\nFile name: " + path + "\r\nCreation date: ";
  ASSERT_EQ(header.substr(0, head.size()), head);
  // Month, day and year of the day the script was written.
  int month = 0, day = 0, year = 0;
  char tail = '\0';
  const std::string date = header.substr(head.size(), 10);
  ASSERT_EQ(std::sscanf(date.c_str(), "%2d/%2d/%4d%c", &month, &day, &year, &tail), 3) << header;
  EXPECT_TRUE(date[2] == '/' && date[5] == '/') << date;
  EXPECT_TRUE(month >= 1 && month <= 12 && day >= 1 && day <= 31 && year >= 2000) << date;
  EXPECT_EQ(
      header.substr(head.size() + 10),
      "\r\nCreated by quorvik 2.3\r\n--------------------------------------------------\r\n*/\r\n"
      "USE master;\r\nGO\r\n\r\n"
      "if exists(select * from master.sys.databases where name='Sa''les]x') "
      "DROP DATABASE [Sa'les]]x];\r\n"
      "CREATE DATABASE [Sa'les]]x];\r\nGO\r\n"
      "USE [Sa'les]]x];\r\nGO\r\n"
      "SET QUOTED_IDENTIFIER ON;\r\nGO\r\n");

  // Without a database name the block takes the script's base name.
  mss_dump_options unnamed = plain_options();
  unnamed.b_create_db = true;
  const std::string text = script(
      unnamed, [](mss_dmp_database&) {}, "base");
  EXPECT_NE(text.find("CREATE DATABASE [mss_dmp_"), std::string::npos);
  EXPECT_NE(text.find("_base];\r\nGO\r\n"), std::string::npos);

  // The database block needs the table statements as well.
  mss_dump_options no_tables = unnamed;
  no_tables.b_create_tab = false;
  EXPECT_EQ(script(no_tables, [](mss_dmp_database&) {}), k_quoted_identifier);
}

TEST(mss_dmp_database, a_table_with_key_indexes_identity_and_rows) {
  mss_dump_options options;
  options.b_comments = true;
  const std::string text = script(options, [](mss_dmp_database& db) {
    auto rs = db.create_table(u"Orders", orders_schema(), orders_indexes());
    udb_record record;
    fill(record, ole_variant(1), ole_variant(u"O'Brien"sv),
         ole_variant::from_string("12.50", VT_DECIMAL), ole_variant(3));
    rs->append_record(record);
    ole_variant null_value;
    null_value.set_null();
    fill(record, ole_variant(2), ole_variant(u""sv), null_value, ole_variant());
    rs->append_record(record);
    rs.reset();
    db.create_indexes(u"Orders", orders_schema(), orders_indexes());
  });
  const std::string body = text.substr(text.find(k_quoted_identifier) + k_quoted_identifier.size());
  const std::string expected =
      "\r\n/*\r\nTable structure for table 'Orders'\r\n*/\r\n\r\n"
      "IF OBJECT_ID ('[dbo].[Orders]', 'U') IS NOT NULL\r\n"
      "DROP TABLE [dbo].[Orders];\r\n"
      "GO\r\n"
      "CREATE TABLE [dbo].[Orders] (\r\n"
      "\t[id] INT IDENTITY NOT NULL,\r\n"
      "\t[name] NVARCHAR(40)  DEFAULT 'O''x',\r\n"
      "\t[price] NUMERIC(10,2),\r\n"
      "\t[qty] INT NOT NULL DEFAULT 0,\r\n"
      "\t PRIMARY KEY ([id])\r\n"
      ")\nGO\n"
      "\r\n/*\r\nDumping data for table 'Orders'\r\n*/\r\n\r\n"
      "SET IDENTITY_INSERT [dbo].[Orders] ON;\r\nGO\r\n"
      "INSERT INTO [dbo].[Orders] ([id], [name], [price], [qty]) "
      "VALUES (1, N'O''Brien', 12.5, 3);\r\nGO\r\n\r\n"
      "INSERT INTO [dbo].[Orders] ([id], [name], [price], [qty]) "
      "VALUES (2, N'', NULL, 0);\r\nGO\r\n\r\n"
      "SET IDENTITY_INSERT [dbo].[Orders] OFF;\r\nGO\r\n"
      // Indexes follow the rows; whether the rows allow a unique one is decided where the
      // script runs: as it stands, or leaving out rows whose nullable name is NULL.
      "IF NOT EXISTS (SELECT 1 FROM [dbo].[Orders] GROUP BY [name], [qty] HAVING COUNT(*) > 1)\n"
      "\tCREATE UNIQUE INDEX [ix_name] ON [dbo].[Orders]([name], [qty])\n"
      "ELSE IF NOT EXISTS (SELECT 1 FROM [dbo].[Orders] WHERE [name] IS NOT NULL "
      "GROUP BY [name], [qty] HAVING COUNT(*) > 1)\n"
      "\tCREATE UNIQUE INDEX [ix_name] ON [dbo].[Orders]([name], [qty]) "
      "WHERE [name] IS NOT NULL\n"
      "ELSE BEGIN\n"
      "\tPRINT N'Table Orders, index ix_name: the key occurs more than once; a plain index is "
      "created instead';\n"
      "\tCREATE INDEX [ix_name] ON [dbo].[Orders]([name], [qty]);\n"
      "END\nGO\n"
      "CREATE INDEX [ix_price] ON [dbo].[Orders]([price])\nGO\n";
  EXPECT_EQ(body, expected);
}

TEST(mss_dmp_database, tables_without_key_get_a_clustered_index_and_bad_indexes_are_skipped) {
  const std::string text = script(plain_options(), [](mss_dmp_database& db) {
    udb_schema schema;
    schema.push_back(t_ftd(0, u"memo", VT_BSTR));
    schema.push_back(t_ftd(4000, u"wide", VT_BSTR));
    schema.push_back(t_ftd(300, u"a", VT_BSTR));
    schema.push_back(t_ftd(200, u"b", VT_BSTR));
    schema.push_back(t_ftd(4, u"second", VT_I4));
    schema.push_back(t_ftd(1, u"flag", VT_BOOL));
    udb_indexes indexes;
    indexes.push_back(udb_index(u"too_wide", false, false, {u"a", u"b"}));
    indexes.push_back(udb_index(u"on_bit", false, false, {u"flag"}));
    indexes.push_back(udb_index(u"on_memo", false, false, {u"memo"}));
    indexes.push_back(udb_index(u"absent", false, false, {u"nothing"}));
    indexes.push_back(udb_index(u"empty", false, false, {}));
    std::vector<std::u16string> many(17, u"second");
    indexes.push_back(udb_index(u"many", false, false, many));
    indexes.push_back(udb_index(u"many_pk", false, true, many));
    indexes.push_back(udb_index(u"ok", false, false, {u"b", u"second"}));
    db.create_table(u"T2", schema, indexes);
    db.create_indexes(u"T2", schema, indexes);
  });
  const std::string expected = std::string(k_quoted_identifier) +
                               "IF OBJECT_ID ('[dbo].[T2]', 'U') IS NOT NULL\r\n"
                               "DROP TABLE [dbo].[T2];\r\n"
                               "GO\r\n"
                               "CREATE TABLE [dbo].[T2] (\r\n"
                               "\t[memo] NVARCHAR(MAX),\r\n"
                               "\t[wide] NVARCHAR(MAX),\r\n"
                               "\t[a] NVARCHAR(300) ,\r\n"
                               "\t[b] NVARCHAR(200) ,\r\n"
                               "\t[second] INT NOT NULL,\r\n"
                               "\t[flag] BIT\r\n"
                               ")\nGO\n"
                               "CREATE CLUSTERED INDEX [a_clust_idx] ON [T2]([a])\nGO\n"
                               "CREATE INDEX [ok] ON [dbo].[T2]([b], [second])\nGO\n";
  EXPECT_EQ(text, expected);

  // First column unbounded, second an integer: the key is the second column.
  const std::string second = script(plain_options(), [](mss_dmp_database& db) {
    udb_schema schema;
    schema.push_back(t_ftd(0, u"notes", VT_BSTR));
    schema.push_back(t_ftd(4, u"second", VT_I4));
    db.create_table(u"T3", schema, udb_indexes());
  });
  EXPECT_NE(second.find(")\nGO\nCREATE CLUSTERED INDEX [second_clust_idx] ON [T3]([second])\nGO\n"),
            std::string::npos);
  EXPECT_EQ(second.find("\r\n)\r\n"), std::string::npos);
}

TEST(mss_dmp_database, without_table_statements_only_comments_and_rows_remain) {
  mss_dump_options options;
  options.b_create_tab = false;
  options.creator = "x";
  const std::string text = script(options, [](mss_dmp_database& db) {
    udb_schema schema;
    schema.push_back(t_ftd(4, u"id", VT_I4));
    auto rs = db.create_table(u"T", schema, udb_indexes());
    udb_record record;
    record.add_field(u"id", 4, ole_variant(7));
    rs->append_record(record);
  });
  const std::string tail = text.substr(text.find(k_quoted_identifier));
  EXPECT_EQ(tail, std::string(k_quoted_identifier) +
                      "\r\n/*\r\nDumping data for table 'T'\r\n*/\r\n\r\n"
                      "INSERT INTO [dbo].[T] ([id]) VALUES (7);\r\nGO\r\n\r\n");
}

TEST(mss_dmp_database, untrusted_names_cannot_break_out_of_brackets_or_comments) {
  mss_dump_options options;
  const std::string text = script(options, [](mss_dmp_database& db) {
    udb_schema schema;
    schema.push_back(t_ftd(4, u"x]y", VT_I4));
    auto rs = db.create_table(u"a]b*/c", schema, udb_indexes());
    udb_record record;
    record.add_field(u"x]y", 4, ole_variant(1));
    rs->append_record(record);
  });
  EXPECT_NE(text.find("Table structure for table 'a]b* /c'"), std::string::npos);
  EXPECT_NE(text.find("CREATE TABLE [dbo].[a]]b*/c] (\r\n\t[x]]y] INT\r\n)\nGO\n"),
            std::string::npos);
  EXPECT_NE(text.find("INSERT INTO [dbo].[a]]b*/c] ([x]]y]) VALUES (1);"), std::string::npos);
  EXPECT_EQ(text.find("b*/c'"), std::string::npos);
}

TEST(mss_dmp_database, records_must_match_the_table) {
  script(plain_options(), [](mss_dmp_database& db) {
    udb_schema schema;
    schema.push_back(t_ftd(4, u"id", VT_I4));
    schema.push_back(t_ftd(4, u"n", VT_I4));
    auto rs = db.create_table(u"T", schema, udb_indexes());
    udb_record short_record;
    short_record.add_field(u"id", 4, ole_variant(1));
    EXPECT_THROW(rs->append_record(short_record), tk_exception);
    udb_record other;
    other.add_field(u"id", 4, ole_variant(1));
    other.add_field(u"zz", 4, ole_variant(1));
    EXPECT_THROW(rs->append_record(other), tk_exception);
    EXPECT_THROW(db.create_table(u"t", schema, udb_indexes()), tk_exception);
    EXPECT_THROW(db.get_table(u"T"), tk_mail_assertion);
  });
}

TEST(mss_dmp_database, foreign_keys_views_and_schemas) {
  const std::string text = script(mss_dump_options(), [](mss_dmp_database& db) {
    db.names_map().add_tn_mapping(u"orders", u"orders1");
    db.names_map().add_fn_map(u"orders1", {{u"cust", u"cust_id"}});
    udb_relationships fks;
    fks.push_back(
        udb_relationship(u"fk_o_c", u"", u"orders", u"customers", {u"cust"}, {u"id"}, u""));
    fks.push_back(udb_relationship(u"fk2", u"", u"lines", u"orders", {u"a", u"b"}, {u"a", u"b"},
                                   u" ON UPDATE NO ACTION ON DELETE NO ACTION"));
    db.create_relationships(fks);
    db.create_views({{u"v1", u"select a from `orders` where b > now()"},
                     {u"upd", u"update t set a = 1"},
                     {u"1View", u"SELECT 'it''s' AS x"}});
    db.create_schema(u"dbo");
    db.create_schema(u"sales");
  });
  const std::string body = text.substr(text.find(k_quoted_identifier) + k_quoted_identifier.size());
  // Rows without a parent keep the key from checking them, decided where the script runs.
  const std::string expected =
      "\r\n/*\r\nCreate foreign key constraints\r\n*/\r\n\r\nIF EXISTS (SELECT TOP 1 CONCAT(N'', "
      "c.[cust_id]) FROM [dbo].[orders1] AS c WHERE c.[cust_id] IS NOT NULL AND NOT EXISTS (SELECT "
      "1 FROM [dbo].[customers] AS p WHERE p.[id] = c.[cust_id]))\r\n"
      "BEGIN\r\nPRINT N'Foreign key fk_o_c: rows without a parent row; created WITH NOCHECK';\r\n"
      "IF CAST(SERVERPROPERTY('babelfish') AS int) = 1\r\n\tPRINT N'Foreign key fk_o_c is not "
      "created: this server takes no WITH NOCHECK';\r\n"
      "ELSE\r\nBEGIN TRY\r\n\tEXEC (N'ALTER TABLE [dbo].[orders1] WITH NOCHECK ADD CONSTRAINT "
      "[fk_o_c] FOREIGN KEY ([cust_id]) REFERENCES [dbo].[customers]([id]) ON DELETE CASCADE ON "
      "UPDATE CASCADE');\r\n"
      "END TRY\r\nBEGIN CATCH\r\n\tPRINT N'Foreign key fk_o_c is not created: ' + "
      "ERROR_MESSAGE();\r\n"
      "END CATCH\r\nEND\r\nELSE\r\nBEGIN\r\nBEGIN TRY\r\n\tEXEC (N'ALTER TABLE [dbo].[orders1] ADD "
      "CONSTRAINT [fk_o_c] FOREIGN KEY ([cust_id]) REFERENCES [dbo].[customers]([id]) ON DELETE "
      "CASCADE ON UPDATE CASCADE');\r\n"
      "END TRY\r\nBEGIN CATCH\r\n\tPRINT N'Foreign key fk_o_c is not created: ' + "
      "ERROR_MESSAGE();\r\n"
      "END CATCH\r\nEND\r\nGO\r\nIF EXISTS (SELECT TOP 1 CONCAT(N'', c.[a], N', ', c.[b]) FROM "
      "[dbo].[lines] AS c WHERE c.[a] IS NOT NULL AND c.[b] IS NOT NULL AND NOT EXISTS (SELECT 1 "
      "FROM [dbo].[orders1] AS p WHERE p.[a] = c.[a] AND p.[b] = c.[b]))\r\n"
      "BEGIN\r\nPRINT N'Foreign key fk2: rows without a parent row; created WITH NOCHECK';\r\n"
      "IF CAST(SERVERPROPERTY('babelfish') AS int) = 1\r\n\tPRINT N'Foreign key fk2 is not "
      "created: this server takes no WITH NOCHECK';\r\n"
      "ELSE\r\nBEGIN TRY\r\n\tEXEC (N'ALTER TABLE [dbo].[lines] WITH NOCHECK ADD CONSTRAINT [fk2] "
      "FOREIGN KEY ([a], [b]) REFERENCES [dbo].[orders1]([a], [b])  ON UPDATE NO ACTION ON DELETE "
      "NO ACTION');\r\n"
      "END TRY\r\nBEGIN CATCH\r\n\tPRINT N'Foreign key fk2 is not created: ' + ERROR_MESSAGE();\r\n"
      "END CATCH\r\nEND\r\nELSE\r\nBEGIN\r\nBEGIN TRY\r\n\tEXEC (N'ALTER TABLE [dbo].[lines] ADD "
      "CONSTRAINT [fk2] FOREIGN KEY ([a], [b]) REFERENCES [dbo].[orders1]([a], [b])  ON UPDATE NO "
      "ACTION ON DELETE NO ACTION');\r\n"
      "END TRY\r\nBEGIN CATCH\r\n\tPRINT N'Foreign key fk2 is not created: ' + ERROR_MESSAGE();\r\n"
      "END CATCH\r\nEND\r\nGO\r\nIF OBJECT_ID('v1') IS NOT NULL DROP VIEW [v1]\r\n"
      "GO\r\nCREATE VIEW [v1] AS select a from [orders1] where b > getdate()\r\n"
      "GO\r\nIF OBJECT_ID('_1View') IS NOT NULL DROP VIEW [_1View]\r\n"
      "GO\r\nCREATE VIEW [_1View] AS SELECT 'it''s' AS x\r\nGO\r\nCREATE SCHEMA [sales];\r\n"
      "GO\r\n";
  EXPECT_EQ(body, expected);
}

TEST(mss_dmp_database, the_engine_creates_the_writer) {
  mss_engine engine;
  const std::string path = temp_path("engine");
  auto db = engine.create_dump(tk_from_utf8(path), plain_options());
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(db->name(), tk_from_utf8(path));
  db->close();
  EXPECT_EQ(tk_read_file(path), k_quoted_identifier);
  ::unlink(path.c_str());
}

}  // namespace
