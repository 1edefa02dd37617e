// The server table writer's bulk load of empty and NULL values: empty texts and binary values
// arrive as themselves and NULLs as NULL, the table keeps exactly the defaults its definition
// has, and only columns that hold both NULLs and empty texts are touched again after the load.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "mss/mss_database.h"
#include "mss/mss_engine.h"
#include "odb/odb_recordset.h"
#include "odb/odb_test_server.h"
#include "tk/tk_log.h"
#include "tk/tk_test_dir.h"
#include "udb/udb_indexes.h"
#include "udb/udb_record.h"
#include "udb/udb_schema.h"

namespace {

// One value of a hand-made record: text, NULL, or (binary columns) bytes.
struct value {
  enum kind_t { text, null, bytes } kind = text;
  std::string data;
};
value txt(std::string s) {
  return {value::text, std::move(s)};
}
value null() {
  return {value::null, {}};
}
value bin(std::string s) {
  return {value::bytes, std::move(s)};
}

t_ftd text_column(std::u16string name, bool not_null = false, const char* def = nullptr,
                  std::u16string native = {}) {
  t_ftd c(10, std::move(name), VT_BSTR, not_null);
  if (def != nullptr) c.def_value = ole_variant(def);
  c.native_type = std::move(native);
  return c;
}

// A server engine whose rows go by bulk copy, and a database of its own for each test, dropped
// afterwards.
class bulk_load : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::optional<odb_login> found = odb_test_login();
    if (!found) GTEST_SKIP() << odb_no_test_server;
    login_ = *found;
    database_ = std::make_unique<odb_test_database>(login_);
    ::setenv("QUORVIK_LOAD_PATH", "bulk", 1);
    engine_ = std::make_unique<mss_engine>();
    engine_->set_tls(login_.tls);
    engine_->connect(login_.server, login_.user, login_.password, true);
    ::unsetenv("QUORVIK_LOAD_PATH");
    ASSERT_TRUE(engine_->use_bulk_copy());
  }

  // Loads the rows into table t through the writer the database hands out for `columns`,
  // tracing at level 2; returns the trace.
  std::string load(int mode, const udb_schema& columns,
                   const std::vector<std::vector<value>>& rows) {
    const std::string trace = dir_.path() + "/trace" + std::to_string(runs_++) + ".log";
    {
      tk_logger logger(trace, true, 2, false);
      std::unique_ptr<mss_database> db = engine_->open_db(database_->name(), mode);
      std::unique_ptr<udb_recordset> table = db->create_table(u"t", columns, udb_indexes{});
      for (std::size_t r = 0; r < rows.size(); ++r) {
        udb_record record;
        for (std::size_t i = 0; i < columns.size(); ++i) {
          const value& v = rows[r][i];
          ole_variant field;
          if (v.kind == value::null) {
            field.set_null();
          } else if (v.kind == value::bytes) {
            field.set_bytes({reinterpret_cast<const std::uint8_t*>(v.data.data()), v.data.size()});
          } else if (i == 0) {
            field = ole_variant(std::stoi(v.data));
          } else {
            field = ole_variant(v.data);
          }
          record.add_field(columns[i].name, static_cast<std::int32_t>(columns[i].size), field);
        }
        table->set_record_no(static_cast<std::int64_t>(r + 1));
        table->append_record(record);
      }
      table->flush();
      table.reset();
      // The rows take the table's own name, or join the existing table.
      EXPECT_TRUE(db->publish_table(u"t"));
      table_ = db->safe_name(u"t");
    }
    return tk_read_file(trace);
  }

  std::unique_ptr<odb_connection> connect() { return database_->connect(); }

  // Each row as "id|v|v..." ordered by id: a text as [text], a binary value as its length in
  // bytes, NULL as NULL.
  std::vector<std::string> rows(const std::vector<std::u16string>& texts,
                                const std::vector<std::u16string>& binaries = {}) {
    std::u16string select = u"SELECT CAST(ID AS nvarchar(10))";
    for (const std::u16string& c : texts)
      select += u" + N'|' + ISNULL(N'[' + CAST(" + c + u" AS nvarchar(20)) + N']', N'NULL')";
    for (const std::u16string& c : binaries)
      select += u" + N'|' + ISNULL(CAST(DATALENGTH(" + c + u") AS nvarchar(10)), N'NULL')";
    select += u" FROM " + table_ + u" ORDER BY ID";
    const std::unique_ptr<odb_connection> c = connect();
    const std::unique_ptr<odb_recordset> result = c->query(select);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < result->size(); ++i)
      out.push_back(tk_to_utf8_lossy(result->row(i)[0].text()));
    return out;
  }

  // The defaults the table has, column by column, as what an INSERT naming only ID (and the
  // other columns given) gets: the row is inserted and deleted again. A default of NULL is no
  // default (the test server can only replace a column's default, never drop it).
  std::string defaults_as_inserted(const std::vector<std::u16string>& columns,
                                   const std::u16string& other_columns = {},
                                   const std::u16string& other_values = {}) {
    const std::unique_ptr<odb_connection> c = connect();
    c->execute(u"INSERT INTO " + table_ + u" (ID" + other_columns + u") VALUES (-1" + other_values +
               u")");
    std::u16string select = u"SELECT N''";
    for (const std::u16string& col : columns)
      select += u" + N'|' + ISNULL(N'[' + CAST(" + col + u" AS nvarchar(20)) + N']', N'NULL')";
    const std::string out =
        tk_to_utf8_lossy(c->scalar(select + u" FROM " + table_ + u" WHERE ID = -1"));
    c->execute(u"DELETE FROM " + table_ + u" WHERE ID = -1");
    return out;
  }

  // Default constraints on the table's columns that give a value (not NULL).
  long long value_defaults() {
    const std::unique_ptr<odb_connection> c = connect();
    return std::stoll(tk_to_utf8_lossy(c->scalar(
        u"SELECT COUNT(*) FROM sys.default_constraints WHERE parent_object_id = OBJECT_ID(N'" +
        table_ + u"') AND UPPER(definition) NOT LIKE N'%NULL%'")));
  }

  odb_login login_;
  std::unique_ptr<odb_test_database> database_;
  std::unique_ptr<mss_engine> engine_;
  tk_test_dir dir_;
  std::u16string table_;
  int runs_ = 0;
};

// The UPDATE statements the trace shows the writer sending.
std::vector<std::string> updates(const std::string& trace) {
  std::vector<std::string> out;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("execute(UPDATE ") != std::string::npos) out.push_back(line);
  }
  return out;
}

TEST_F(bulk_load, empty_texts_arrive_in_the_load_and_nulls_stay_null) {
  udb_schema columns;
  columns.push_back(t_ftd(4, u"ID", VT_I4));
  columns.push_back(text_column(u"MUST", true));  // NOT NULL
  columns.push_back(text_column(u"BLANKS"));      // nullable, never NULL
  columns.push_back(text_column(u"NULLFIRST"));   // NULL, then empty: the marker
  columns.push_back(text_column(u"NULLLATER"));   // text, NULL, then empty: the marker
  columns.push_back(text_column(u"NULLAFTER"));   // empty, then NULLs only
  columns.push_back(text_column(u"NARROW", false, nullptr, u"varchar(10)"));
  columns.push_back(t_ftd(4, u"RAW", VT_BLOB));
  const std::vector<std::vector<value>> data = {
      {txt("1"), txt("x"), txt(""), null(), txt("a"), txt(""), txt(""), bin("")},
      {txt("2"), txt(""), txt("y"), txt(""), null(), null(), txt("n"), bin("\x01\x02")},
      {txt("3"), txt(""), txt(""), txt("z"), txt(""), null(), null(), bin("")},
      {txt("4"), txt("w"), txt(""), null(), txt("b"), txt("c"), txt(""), null()},
  };
  const std::string trace = load(mss_open_existing, columns, data);
  EXPECT_EQ(
      rows({u"MUST", u"BLANKS", u"NULLFIRST", u"NULLLATER", u"NULLAFTER", u"NARROW"}, {u"RAW"}),
      (std::vector<std::string>{"1|[x]|[]|NULL|[a]|[]|[]|0", "2|[]|[y]|[]|NULL|NULL|[n]|2",
                                "3|[]|[]|[z]|[]|NULL|NULL|0", "4|[w]|[]|NULL|[b]|[c]|[]|NULL"}));
  // One UPDATE, of the two columns that hold both NULLs and empty texts.
  const std::vector<std::string> sent = updates(trace);
  ASSERT_EQ(sent.size(), 1u) << trace;
  EXPECT_NE(sent[0].find("[NULLFIRST]"), std::string::npos) << sent[0];
  EXPECT_NE(sent[0].find("[NULLLATER]"), std::string::npos) << sent[0];
  for (const char* untouched : {"[MUST]", "[BLANKS]", "[NULLAFTER]", "[NARROW]", "[RAW]"})
    EXPECT_EQ(sent[0].find(untouched), std::string::npos) << untouched << ": " << sent[0];
  // The definition has no default; none is left behind.
  EXPECT_EQ(value_defaults(), 0);
  EXPECT_EQ(defaults_as_inserted({u"BLANKS", u"NULLFIRST", u"NULLLATER", u"NULLAFTER", u"NARROW"},
                                 u", MUST", u", N'm'"),
            "|NULL|NULL|NULL|NULL|NULL");
}

TEST_F(bulk_load, a_table_without_nulls_and_empty_values_needs_no_update) {
  udb_schema columns;
  columns.push_back(t_ftd(4, u"ID", VT_I4));
  columns.push_back(text_column(u"A"));
  columns.push_back(text_column(u"B"));
  std::vector<std::vector<value>> data;
  for (int i = 1; i <= 2500; ++i)
    data.push_back(
        {txt(std::to_string(i)), txt(i % 4 == 0 ? "t" : ""), txt(i % 3 == 0 ? "" : "u")});
  const std::string trace = load(mss_open_existing, columns, data);
  EXPECT_TRUE(updates(trace).empty()) << updates(trace)[0];
  const std::vector<std::string> got = rows({u"A", u"B"});
  ASSERT_EQ(got.size(), 2500u);
  EXPECT_EQ(got[0], "1|[]|[u]");
  EXPECT_EQ(got[2], "3|[]|[]");
  EXPECT_EQ(got[3], "4|[t]|[u]");
  EXPECT_EQ(value_defaults(), 0);
}

TEST_F(bulk_load, columns_keep_the_defaults_their_definition_gives_them) {
  // Defaults as a container gives them: a text one on a column of empty texts, and one on a
  // column that also takes NULLs.
  udb_schema columns;
  columns.push_back(t_ftd(4, u"ID", VT_I4));
  columns.push_back(text_column(u"COUNTRY", false, "USA"));
  columns.push_back(text_column(u"CODE", false, "k"));
  columns.push_back(text_column(u"PLAIN"));
  t_ftd qty(4, u"QTY", VT_I4);
  qty.def_value = ole_variant(5);
  columns.push_back(qty);
  const std::vector<std::vector<value>> data = {
      {txt("1"), txt(""), txt("q"), txt(""), txt("8")},
      {txt("2"), txt("FR"), null(), txt("p"), null()},
      {txt("3"), txt(""), txt(""), txt(""), txt("9")},
  };
  const std::string trace = load(mss_open_existing, columns, data);
  EXPECT_EQ(
      rows({u"COUNTRY", u"CODE", u"PLAIN", u"QTY"}),
      (std::vector<std::string>{"1|[]|[q]|[]|[8]", "2|[FR]|NULL|[p]|NULL", "3|[]|[]|[]|[9]"}));
  EXPECT_EQ(value_defaults(), 3);
  EXPECT_EQ(defaults_as_inserted({u"COUNTRY", u"CODE", u"PLAIN", u"QTY"}), "|[USA]|[k]|NULL|[5]");
  // CODE holds a NULL and an empty text after it.
  const std::vector<std::string> sent = updates(trace);
  ASSERT_EQ(sent.size(), 1u) << trace;
  EXPECT_NE(sent[0].find("[CODE]"), std::string::npos) << sent[0];
  EXPECT_EQ(sent[0].find("[COUNTRY]"), std::string::npos) << sent[0];
  EXPECT_EQ(sent[0].find("[PLAIN]"), std::string::npos) << sent[0];
}

TEST_F(bulk_load, a_merge_keeps_the_existing_tables_defaults) {
  {
    // Where the writer looks for it: the schema the login's tables go to.
    const std::unique_ptr<mss_database> db = engine_->open_db(database_->name(), mss_open_existing);
    const std::u16string t = db->safe_name(u"t");
    db->query(u"CREATE TABLE " + t +
              u" (ID int NOT NULL, A nvarchar(10) NOT NULL DEFAULT N'abc', "
              u"B nvarchar(10) NULL DEFAULT N'', C varchar(10) NULL DEFAULT 'q', "
              u"D nvarchar(10) NULL, E varbinary(4) NULL, F int NULL DEFAULT 7)");
    db->query(u"INSERT INTO " + t +
              u" (ID, A, B, C, D, E, F) VALUES (0, N'old', NULL, NULL, N'', NULL, NULL)");
  }
  udb_schema columns;
  columns.push_back(t_ftd(4, u"ID", VT_I4));
  for (const char16_t* name : {u"A", u"B", u"C", u"D"}) columns.push_back(text_column(name));
  columns.push_back(t_ftd(4, u"E", VT_BLOB));
  columns.push_back(t_ftd(4, u"F", VT_I4));
  const std::vector<std::vector<value>> data = {
      {txt("1"), txt(""), txt(""), txt(""), null(), bin(""), txt("1")},
      {txt("2"), txt("s"), null(), txt("r"), txt("d"), bin("\x05"), null()},
      {txt("3"), txt(""), null(), txt(""), null(), bin(""), txt("3")},
  };
  const std::string trace = load(mss_open_append, columns, data);
  EXPECT_EQ(rows({u"A", u"B", u"C", u"D", u"F"}, {u"E"}),
            (std::vector<std::string>{"0|[old]|NULL|NULL|[]|NULL|NULL", "1|[]|[]|[]|NULL|[1]|0",
                                      "2|[s]|NULL|[r]|[d]|NULL|1", "3|[]|NULL|[]|NULL|[3]|0"}));
  EXPECT_TRUE(updates(trace).empty()) << updates(trace)[0];
  EXPECT_EQ(value_defaults(), 4);
  // A is NOT NULL: its default shows where an INSERT names every other column.
  {
    const std::unique_ptr<odb_connection> c = connect();
    c->execute(u"INSERT INTO " + table_ + u" (ID, B, C, D, E) VALUES (-2, N'b', 'c', N'd', 0x)");
    EXPECT_EQ(c->scalar(u"SELECT A FROM " + table_ + u" WHERE ID = -2"), u"abc");
    c->execute(u"DELETE FROM " + table_ + u" WHERE ID = -2");
  }
  const std::unique_ptr<odb_connection> c = connect();
  c->execute(u"INSERT INTO " + table_ + u" (ID, A) VALUES (-1, N'a')");
  EXPECT_EQ(c->scalar(u"SELECT ISNULL(N'[' + B + N']', N'NULL') + ISNULL(N'[' + C + N']', N'NULL') "
                      u"+ ISNULL(N'[' + D + N']', N'NULL') + "
                      u"ISNULL(CAST(DATALENGTH(E) AS nvarchar(10)), N'NULL') + "
                      u"ISNULL(CAST(F AS nvarchar(10)), N'NULL') FROM " +
                      table_ + u" WHERE ID = -1"),
            u"[][q]NULLNULL7");
}

}  // namespace
