// The proof of a script is loading it: the script of every shared folder runs batch by batch on
// a real T-SQL server, and every table then holds one row per INSERT statement, each value
// equal to the literal the script wrote (text exactly, numbers to their type, dates to the
// precision of their column, binary byte for byte). A server named by QV_MSSQL_SERVER,
// QV_MSSQL_USER and QV_MSSQL_PASSWORD is used when set, so the same test runs on SQL Server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "e2e/cli_run.h"
#include "e2e/script_batches.h"
#include "odb/odb_recordset.h"
#include "odb/odb_test_server.h"
#include "tk/tk_test_dir.h"

namespace {

namespace fs = std::filesystem;

// One literal of a VALUES list.
struct literal {
  enum kind_t { null, text, number, binary } kind = null;
  std::string value;  // the text without quotes, the number, or the hex digits
};

struct insert_row {
  std::string table;
  std::vector<std::string> columns;
  std::vector<literal> values;
};

// Reads the statements of one batch that insert rows; fails the test on a literal it does not
// know, so that nothing goes unchecked.
class insert_parser {
 public:
  explicit insert_parser(const std::string& text) : s_(text) {}

  bool next(insert_row& row) {
    const std::size_t at = s_.find("INSERT INTO ", p_);
    if (at == std::string::npos) return false;
    p_ = at + 12;
    row = insert_row();
    row.table = bracketed_last();
    expect(" (");
    for (;;) {
      row.columns.push_back(bracketed());
      if (s_.compare(p_, 2, ", ") != 0) break;
      p_ += 2;
    }
    expect(") VALUES (");
    for (;;) {
      row.values.push_back(value());
      if (s_.compare(p_, 2, ", ") != 0) break;
      p_ += 2;
    }
    expect(");");
    return true;
  }

 private:
  void expect(std::string_view what) {
    if (s_.compare(p_, what.size(), what) != 0) {
      throw std::runtime_error("expected '" + std::string(what) + "' at: " + s_.substr(p_, 80));
    }
    p_ += what.size();
  }
  std::string bracketed() {
    expect("[");
    std::string name;
    for (;;) {
      const char c = s_.at(p_++);
      if (c == ']') {
        if (p_ < s_.size() && s_[p_] == ']') {
          name += ']';
          ++p_;
          continue;
        }
        return name;
      }
      name += c;
    }
  }
  // The last part of [schema].[name].
  std::string bracketed_last() {
    std::string name = bracketed();
    while (p_ < s_.size() && s_[p_] == '.') {
      ++p_;
      name = bracketed();
    }
    return name;
  }
  std::string quoted() {
    if (s_.at(p_) == 'N') ++p_;
    expect("'");
    std::string out;
    for (;;) {
      const char c = s_.at(p_++);
      if (c == '\'') {
        if (p_ < s_.size() && s_[p_] == '\'') {
          out += '\'';
          ++p_;
          continue;
        }
        return out;
      }
      out += c;
    }
  }
  literal value() {
    literal out;
    if (s_.compare(p_, 4, "NULL") == 0) {
      p_ += 4;
      return out;
    }
    if (s_.compare(p_, 2, "0x") == 0) {
      p_ += 2;
      out.kind = literal::binary;
      while (p_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[p_]))) {
        out.value += static_cast<char>(std::toupper(static_cast<unsigned char>(s_[p_++])));
      }
      return out;
    }
    if (s_[p_] == '\'' || s_.compare(p_, 2, "N'") == 0 || s_.compare(p_, 6, "NCHAR(") == 0 ||
        s_.compare(p_, 5, "CHAR(") == 0) {
      out.kind = literal::text;
      // Text with control characters comes as pieces joined by '+'.
      for (;;) {
        if (s_.compare(p_, 6, "NCHAR(") == 0 || s_.compare(p_, 5, "CHAR(") == 0) {
          p_ = s_.find('(', p_) + 1;
          const std::size_t close = s_.find(')', p_);
          out.value += static_cast<char>(std::stoi(s_.substr(p_, close - p_)));
          p_ = close + 1;
        } else {
          out.value += quoted();
        }
        if (s_.compare(p_, 3, " + ") != 0) return out;
        p_ += 3;
      }
    }
    out.kind = literal::number;
    while (p_ < s_.size() &&
           std::string_view("+-.0123456789eE").find(s_[p_]) != std::string_view::npos) {
      out.value += s_[p_++];
    }
    if (out.value.empty()) throw std::runtime_error("unknown literal at: " + s_.substr(p_, 80));
    return out;
  }

  const std::string& s_;
  std::size_t p_ = 0;
};

// Decimal text without a sign on zero, leading zeros or trailing fractional zeros.
std::string plain_decimal(std::string text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.erase(0, 1);
  }
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  text.erase(0, std::min(text.find_first_not_of('0'), text.size()));
  if (text.empty() || text[0] == '.') text.insert(0, "0");
  if (text == "0") negative = false;
  return (negative ? "-" : "") + text;
}

// "YYYY-MM-DD[T| ]hh:mm:ss[.fraction]" as its date and, for DATETIME, its time in the type's
// 1/300-second ticks (how the server rounds what it is given).
std::string date_key(const std::string& text, bool date_only) {
  const std::string day = text.substr(0, 10);
  if (date_only) return day;
  int h = 0, m = 0, s = 0;
  std::sscanf(text.c_str() + std::min<std::size_t>(11, text.size()), "%d:%d:%d", &h, &m, &s);
  long long nanos = 0;
  if (const std::size_t dot = text.find('.', 11); dot != std::string::npos) {
    std::string digits = text.substr(dot + 1, 9);
    digits.resize(9, '0');
    nanos = std::stoll(digits);
  }
  const long long ticks = (h * 3600LL + m * 60 + s) * 300 + (nanos * 300 + 500000000) / 1000000000;
  return day + "#" + std::to_string(ticks);
}

std::string hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  char buf[3];
  for (const std::uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    out += buf;
  }
  return out;
}

std::string date_text(const udb_field& field) {
  if (field.vt() != VT_DATE) return tk_to_utf8_lossy(field.to_wstring());
  const ole_systemtime& st = field.systemtime();
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", st.year, st.month, st.day,
                st.hour, st.minute, st.second, st.milliseconds);
  return buf;
}

std::string print_double(double d, bool single) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", single ? static_cast<double>(static_cast<float>(d)) : d);
  return buf;
}

// A value read back, and a literal of the same column, in one comparable form.
std::string server_form(const udb_field& field, const t_ftd& column) {
  if (field.is_null() || field.is_empty()) return "<NULL>";
  switch (column.vartype) {
    case VT_BSTR:
      return tk_to_utf8_lossy(field.vt() == VT_BSTR ? field.text() : field.to_wstring());
    case VT_DECIMAL:
    case VT_CY:
      return plain_decimal(tk_to_utf8_lossy(field.to_wstring()));
    case VT_R4:
    case VT_R8:
      return print_double(field.to_double(), column.vartype == VT_R4);
    case VT_BOOL:
      return field.to_bool() ? "1" : "0";
    case VT_DATE:
      return date_key(date_text(field), (column.reserved & 3) == 2);
    case VT_BLOB:
    case VT_BINARY:
    case VT_BLOB_OBJECT:
      return hex(field.bytes());
    default:
      return std::to_string(field.to_i8());
  }
}

std::string literal_form(const literal& value, const t_ftd& column) {
  if (value.kind == literal::null) return "<NULL>";
  switch (column.vartype) {
    case VT_BSTR:
      return value.value;
    case VT_DECIMAL:
    case VT_CY:
      return plain_decimal(value.value);
    case VT_R4:
    case VT_R8:
      return print_double(std::strtod(value.value.c_str(), nullptr), column.vartype == VT_R4);
    case VT_DATE:
      return date_key(value.value, (column.reserved & 3) == 2);
    case VT_BLOB:
    case VT_BINARY:
    case VT_BLOB_OBJECT:
      return value.value;
    default:
      return std::to_string(std::strtoll(value.value.c_str(), nullptr, 10));
  }
}

struct load_totals {
  int tables = 0;
  long long rows = 0;
};

// Runs the script on a database of its own and compares every table with its INSERTs.
void load_and_compare(const odb_login& login, const std::string& script,
                      const std::string& session_setup, load_totals& totals) {
  const odb_test_database database(login);
  const std::unique_ptr<odb_connection> connection = database.connect();
  if (!session_setup.empty()) connection->execute_utf8(session_setup);
  std::map<std::string, std::vector<insert_row>> inserts;
  for (const std::string& batch : script_batches(script)) {
    ASSERT_NO_THROW(connection->execute_utf8(batch)) << batch.substr(0, 400);
    insert_parser parser(batch);
    insert_row row;
    while (parser.next(row)) inserts[row.table].push_back(row);
  }
  for (const auto& [table, rows] : inserts) {
    const std::u16string name = tk_from_utf8_lossy(table);
    std::u16string quoted = name;
    for (std::size_t at = 0; (at = quoted.find(u']', at)) != std::u16string::npos; at += 2) {
      quoted.insert(at, 1, u']');
    }
    const auto result = connection->query(u"SELECT * FROM [" + quoted + u"]");
    std::map<std::string, std::size_t> column_at;
    const udb_schema& schema = result->schema();
    for (std::size_t i = 0; i < schema.size(); ++i) column_at[tk_to_utf8_lossy(schema[i].name)] = i;

    std::vector<std::string> expected;
    for (const insert_row& row : rows) {
      std::vector<std::string> cells(schema.size(), "<NULL>");
      for (std::size_t i = 0; i < row.columns.size(); ++i) {
        const auto found = column_at.find(row.columns[i]);
        ASSERT_NE(found, column_at.end()) << table << "." << row.columns[i];
        cells[found->second] = literal_form(row.values.at(i), schema[found->second]);
      }
      std::string joined;
      for (const std::string& cell : cells) joined += cell + "\x1f";
      expected.push_back(joined);
    }
    std::vector<std::string> actual;
    for (result->reset(); !result->is_eof(); result->next()) {
      std::string joined;
      const udb_record& record = *result->get_item();
      for (std::size_t i = 0; i < schema.size(); ++i) {
        joined += server_form(record[i], schema[i]) + "\x1f";
      }
      actual.push_back(joined);
    }
    ASSERT_EQ(actual.size(), rows.size()) << table << ": rows read back against INSERT statements";
    std::sort(expected.begin(), expected.end());
    std::sort(actual.begin(), actual.end());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(actual[i], expected[i]) << table << ": sorted row " << i;
    }
    ++totals.tables;
    totals.rows += static_cast<long long>(rows.size());
  }
}

std::string dump(const tk_test_dir& dir, const fs::path& folder) {
  const std::string path = dir / "script.sql";
  const cli_result run = quorvik({"--src=" + folder.string(), "--dump", "--dest=" + path});
  EXPECT_EQ(run.code, 0) << run.out << run.err;
  return tk_read_file(path);
}

TEST(script_load, every_shared_table_loads_with_the_values_its_script_wrote) {
  ODB_TEST_LOGIN_OR_SKIP(login);
  std::vector<fs::path> folders{fs::path(QV_SOURCE_DIR) / "samples/shop"};
  const fs::path shared = QV_TESTDATA_DIR;
  if (fs::is_directory(shared)) {
    for (const auto& entry : fs::recursive_directory_iterator(shared)) {
      if (!entry.is_directory()) continue;
      for (const auto& file : fs::directory_iterator(entry.path())) {
        std::string ext = file.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (ext == ".dbf") {
          folders.push_back(entry.path());
          break;
        }
      }
    }
  } else {
    std::printf("shared test tables not present: loading the bundled sample only\n");
  }
  load_totals totals;
  for (const fs::path& folder : folders) {
    SCOPED_TRACE(folder.string());
    const tk_test_dir dir;
    load_and_compare(login, dump(dir, folder), {}, totals);
    if (HasFatalFailure()) return;
  }
  std::printf("loaded %d tables, %lld rows from %zu folders\n", totals.tables, totals.rows,
              folders.size());
  EXPECT_GT(totals.rows, 0);
}

// SQL Server reads 'YYYY-MM-DD hh:mm:ss' as year-day-month under a day-first DATEFORMAT; the
// script's DATETIME literals read the same under every one. (The test server reads both forms
// alike, so this proves something on a real SQL Server named through the environment.)
TEST(script_load, a_day_first_session_reads_the_same_dates) {
  ODB_TEST_LOGIN_OR_SKIP(login);
  const tk_test_dir dir;
  load_totals totals;
  load_and_compare(login, dump(dir, fs::path(QV_SOURCE_DIR) / "samples/shop"),
                   "SET DATEFORMAT dmy;", totals);
  EXPECT_GT(totals.rows, 0);
}

}  // namespace
