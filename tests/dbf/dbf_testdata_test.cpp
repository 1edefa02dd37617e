// The shared tables written by real dBase, FoxBase, FoxPro and Visual FoxPro programs: every
// one opens, its schema and record count match its summary, and the records named by the
// expected-value files decode to those values.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "dbf/dbf_database.h"
#include "dbf/dbf_error_sink.h"
#include "dbf/dbf_exception.h"
#include "dbf/dbf_recordset.h"
#include "dbf_test_util.h"
#include "ole/ole_date.h"

namespace {

struct summary_field {
  std::string name;
  char type;
  int length;
  int decimals;
};

struct summary {
  long long records = -1;
  std::vector<summary_field> fields;
};

summary read_summary(const std::string& path) {
  summary s;
  std::ifstream in(path);
  std::string line;
  bool in_fields = false;
  while (std::getline(in, line)) {
    if (line.rfind("Records:", 0) == 0) s.records = std::stoll(line.substr(8));
    if (line.rfind("-----", 0) == 0) {
      in_fields = true;
      continue;
    }
    if (!in_fields || line.find_first_not_of(' ') == std::string::npos) continue;
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string t; words >> t;) w.push_back(t);
    if (w.size() < 4) continue;
    summary_field f;
    f.decimals = std::stoi(w[w.size() - 1]);
    f.length = std::stoi(w[w.size() - 2]);
    f.type = w[w.size() - 3][0];
    for (std::size_t i = 0; i + 3 < w.size(); ++i) f.name += (i ? " " : "") + w[i];
    s.fields.push_back(f);
  }
  return s;
}

// The expected values of one record: a YAML list of plain, single- or double-quoted scalars
// (double-quoted ones may run over several lines and fold into one).
struct yml_value {
  enum kind_t { null, text, plain } kind = null;
  std::string value;
};

std::vector<yml_value> read_yml(const std::string& path) {
  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  const std::string s = all.str();
  std::vector<yml_value> out;
  std::size_t i = s.find("---");
  i = i == std::string::npos ? 0 : i + 3;
  while ((i = s.find("- ", i)) != std::string::npos ||
         (i = s.find("-\n", i)) != std::string::npos) {
    i += 1;
    while (i < s.size() && s[i] == ' ') ++i;
    yml_value v;
    if (i >= s.size() || s[i] == '\n') {
      out.push_back(v);
      continue;
    }
    if (s[i] == '"') {
      v.kind = yml_value::text;
      for (++i; i < s.size() && s[i] != '"'; ++i) {
        if (s[i] == '\\') {
          const char e = s[++i];
          v.value += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        } else if (s[i] == '\n') {
          while (i + 1 < s.size() && s[i + 1] == ' ') ++i;
          v.value += ' ';
        } else {
          v.value += s[i];
        }
      }
      ++i;
    } else if (s[i] == '\'') {
      v.kind = yml_value::text;
      for (++i; i < s.size(); ++i) {
        if (s[i] == '\'' && i + 1 < s.size() && s[i + 1] == '\'') {
          v.value += '\'';
          ++i;
        } else if (s[i] == '\'') {
          break;
        } else {
          v.value += s[i];
        }
      }
      ++i;
    } else {
      v.kind = yml_value::plain;
      const std::size_t end = s.find('\n', i);
      v.value = s.substr(i, end - i);
      i = end;
    }
    out.push_back(v);
  }
  return out;
}

std::unique_ptr<dbf_recordset> open(const std::string& path) {
  return std::make_unique<dbf_recordset>(tk_from_utf8(path), dbf_recordset::k_mode_read, 0);
}

udb_record& record_at(dbf_recordset& rs, std::int64_t n) {
  rs.set_position(n);
  udb_record* r = rs.get_item();
  EXPECT_NE(r, nullptr);
  return *r;
}

// Catches what the table reports on opening (a missing memo file).
class recording_sink : public dbf_error_sink {
 public:
  recording_sink() { dbf_set_error_sink(this); }
  ~recording_sink() override { dbf_set_error_sink(nullptr); }
  void report(const std::string& context, const tk_exception& error) override {
    contexts.push_back(context);
    messages.push_back(error.message());
    levels.push_back(error.level());
  }
  std::vector<std::string> contexts, messages;
  std::vector<int> levels;
};

void expect_value(const udb_field& field, const yml_value& expected, const std::string& where) {
  SCOPED_TRACE(where + " field " + dbf_utf8(field.name));
  switch (expected.kind) {
    case yml_value::null:
      EXPECT_TRUE(field.is_empty() || (field.vt() == VT_BSTR && field.text().empty()));
      return;
    case yml_value::text:
      ASSERT_EQ(field.vt(), VT_BSTR);
      EXPECT_EQ(dbf_utf8(field.text()), expected.value);
      return;
    case yml_value::plain:
      if (expected.value == "true" || expected.value == "false") {
        ASSERT_EQ(field.vt(), VT_BOOL);
        EXPECT_EQ(field.to_bool(), expected.value == "true");
      } else if (field.vt() == VT_BSTR) {
        EXPECT_EQ(dbf_utf8(field.text()), expected.value);
      } else {
        EXPECT_NEAR(field.to_double(), std::stod(expected.value), 1e-9);
      }
  }
}

std::vector<std::string> all_tables() {
  std::vector<std::string> tables;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(std::string(QV_TESTDATA_DIR) + "/dbf")) {
    if (entry.path().extension() == ".dbf") tables.push_back(entry.path().string());
  }
  std::sort(tables.begin(), tables.end());
  return tables;
}

}  // namespace

TEST(DbfTestdata, EveryTableOpensAndReadsEveryRecord) {
  DBF_REQUIRE_TESTDATA();
  recording_sink sink;
  int opened = 0;
  for (const std::string& path : all_tables()) {
    SCOPED_TRACE(path);
    if (path.ends_with("/polygon.dbf")) {
      // One record of length 1 (no fields): below the smallest record length accepted.
      EXPECT_THROW(open(path), dbf_exception);
      continue;
    }
    std::unique_ptr<dbf_recordset> rs;
    ASSERT_NO_THROW(rs = open(path));
    for (rs->reset(); !rs->is_eof(); rs->next()) {
      udb_record* r = rs->get_item();
      ASSERT_NE(r, nullptr);
      ASSERT_EQ(r->size(), rs->schema().size());
    }
    ++opened;
  }
  EXPECT_GE(opened, 17);
}

TEST(DbfTestdata, SchemasAndCountsMatchSummaries) {
  DBF_REQUIRE_TESTDATA();
  recording_sink sink;
  int checked = 0;
  for (const std::string& path : all_tables()) {
    const std::string summary_path = path.substr(0, path.size() - 4) + "_summary.txt";
    if (!std::filesystem::exists(summary_path)) continue;
    SCOPED_TRACE(path);
    const summary expected = read_summary(summary_path);
    auto rs = open(path);
    EXPECT_EQ(rs->record_count(), expected.records);
    ASSERT_EQ(rs->descriptors().size(), expected.fields.size());
    std::size_t column = 0;
    for (std::size_t i = 0; i < expected.fields.size(); ++i) {
      const dbf_fd7& fd = rs->descriptors()[i];
      EXPECT_EQ(fd.field_type(), expected.fields[i].type);
      EXPECT_EQ(fd.length(), expected.fields[i].length);
      EXPECT_EQ(fd.decimals(), expected.fields[i].decimals);
      // Visual FoxPro's _NullFlags is read for the other fields, not made a column.
      if (fd.name() == "_NullFlags") continue;
      ASSERT_LT(column, rs->schema().size());
      // A repeated name becomes one generated from it.
      const std::u16string& name = rs->schema()[column++].name;
      EXPECT_EQ(dbf_utf8(name).substr(0, expected.fields[i].name.size()), expected.fields[i].name);
      EXPECT_EQ(rs->schema().get_field_idx(name), static_cast<int>(column - 1));
    }
    EXPECT_EQ(column, rs->schema().size());
    ++checked;
  }
  EXPECT_EQ(checked, 10);
}

TEST(DbfTestdata, RecordsMatchExpectedValues) {
  DBF_REQUIRE_TESTDATA();
  recording_sink sink;
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dbf_testdata(""))) {
    const std::string name = entry.path().filename().string();
    const std::size_t at = name.find("_record_");
    if (at == std::string::npos) continue;
    const std::string table = dbf_testdata(name.substr(0, at) + ".dbf");
    const int n = std::stoi(name.substr(at + 8));
    auto rs = open(table);
    udb_record& record = record_at(*rs, n);
    const std::vector<yml_value> expected = read_yml(entry.path().string());
    ASSERT_EQ(record.size(), expected.size()) << name;
    for (std::size_t i = 0; i < expected.size(); ++i) expect_value(record[i], expected[i], name);
    ++checked;
  }
  EXPECT_EQ(checked, 3);
}

TEST(DbfTestdata, MissingMemoIsReportedAtLevelZeroAndMemosReadEmpty) {
  DBF_REQUIRE_TESTDATA();
  recording_sink sink;
  auto rs = open(dbf_testdata("dbase_83_missing_memo.dbf"));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "Memo file not found");
  EXPECT_EQ(sink.levels[0], 0);
  EXPECT_EQ(sink.contexts[0], dbf_testdata("dbase_83_missing_memo.dbf"));
  EXPECT_EQ(rs->memo_file(), nullptr);
  const int desc = rs->schema().get_field_idx(u"DESC");
  ASSERT_GE(desc, 0);
  for (rs->reset(); !rs->is_eof(); rs->next()) {
    EXPECT_TRUE((*rs->get_item())[static_cast<std::size_t>(desc)].is_empty());
  }
}

TEST(DbfTestdata, MemoFilesNamedInUpperCaseAreFound) {
  DBF_REQUIRE_TESTDATA();
  recording_sink sink;
  auto rs = open(dbf_testdata("foxprodb/calls.dbf"));
  EXPECT_NE(rs->memo_file(), nullptr);
  EXPECT_TRUE(sink.messages.empty());
  dbf_database db(tk_from_utf8(dbf_testdata("foxprodb")), 1, 0);
  EXPECT_EQ(db.tables(), (std::vector<std::u16string>{u"calls", u"contacts", u"setup", u"types"}));
}

TEST(DbfTestdata, CodePagesDecodeCyrillicAndPolish) {
  DBF_REQUIRE_TESTDATA();
  auto cp1251 = open(dbf_testdata("cp1251.dbf"));
  EXPECT_EQ(cp1251->get_codepage(), 1251);
  EXPECT_EQ(dbf_utf8(record_at(*cp1251, 0)[1].text()), "амбулаторно-поликлиническое");
  EXPECT_EQ(dbf_utf8(record_at(*cp1251, 1)[1].text()), "больничное");
  EXPECT_EQ(dbf_utf8(record_at(*cp1251, 3)[1].text()), "образовательное медицинское учреждение");

  auto mazovia = open(dbf_testdata("mazovia.dbf"));
  EXPECT_EQ(mazovia->get_codepage(), 620);
  const std::u16string polish = record_at(*mazovia, 1)[1].text();
  ASSERT_EQ(polish.size(), 7u);
  EXPECT_EQ(polish.front(), u'Ś');  // 0x98
  EXPECT_EQ(polish.back(), u'ś');   // 0x9E
  EXPECT_EQ(dbf_utf8(record_at(*mazovia, 0)[1].text()), "English");
}

TEST(DbfTestdata, FoxBaseRecordsFollowTheDescriptorArea) {
  DBF_REQUIRE_TESTDATA();
  auto rs = open(dbf_testdata("dbase_02.dbf"));
  udb_record& first = record_at(*rs, 0);
  EXPECT_EQ(first[0].to_long(), 2);
  EXPECT_EQ(dbf_utf8(first[1].text()), "Stegman");
  EXPECT_EQ(dbf_utf8(first[2].text()), "Joe");
  EXPECT_EQ(dbf_utf8(first[4].text()), "LAWNDALE");
}

TEST(DbfTestdata, Level7AndVisualFoxProValues) {
  DBF_REQUIRE_TESTDATA();
  recording_sink sink;
  auto level7 = open(dbf_testdata("dbase_8c.dbf"));
  EXPECT_EQ(dbf_utf8(level7->schema()[1].name), "Name");
  EXPECT_EQ(level7->descriptors()[1].field_type(), 'C');
  EXPECT_EQ(level7->descriptors()[1].length(), 30);

  auto vfp = open(dbf_testdata("dbase_31.dbf"));
  udb_record& r = record_at(*vfp, 0);
  EXPECT_EQ(r[0].vt(), VT_I4);
  EXPECT_EQ(r[0].to_long(), 1);
  EXPECT_EQ(dbf_utf8(r[1].text()), "Chai");
  ASSERT_EQ(r[5].vt(), VT_CY);
  EXPECT_EQ(r[5].cy().int64, 180000);
  EXPECT_EQ(r[9].vt(), VT_BOOL);

  auto t = open(dbf_testdata("dbase_30.dbf"));
  const int flag = t->schema().get_field_idx(u"FLAGDATE");
  ASSERT_GE(flag, 0);
  EXPECT_EQ(t->schema()[static_cast<std::size_t>(flag)].reserved, 1u);
}
