#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "mss/mss_dmp_database.h"
#include "mss/mss_dmp_recordset.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_test_dir.h"
#include "udb/udb_record.h"

namespace {

using namespace std::string_view_literals;

// Writes rows of (id, text) through `body` into a script without comments; returns the rows
// part of the script.
template <class F>
std::string rows_of(F body) {
  const std::string path =
      testing::TempDir() + "mss_dmp_row_" + std::to_string(::getpid()) + ".sql";
  {
    mss_dump_options options;
    options.b_comments = false;
    options.b_create_tab = false;
    mss_dmp_database db(tk_from_utf8(path), options);
    udb_schema schema;
    schema.push_back(t_ftd(4, u"id", VT_I4));
    schema.push_back(t_ftd(0, u"s", VT_BSTR));
    auto rs = db.create_table(u"T", schema, udb_indexes());
    body(*rs);
    rs.reset();
    db.close();
  }
  std::string text = tk_read_file(path);
  ::unlink(path.c_str());
  const std::size_t first = text.find("INSERT");
  return first == std::string::npos ? std::string() : text.substr(first);
}

std::string row(int id, std::string_view text) {
  return "INSERT INTO [dbo].[T] ([id], [s]) VALUES (" + std::to_string(id) + ", N'" +
         std::string(text) + "');\r\nGO\r\n\r\n";
}

void append(udb_recordset& rs, int id, std::u16string_view text) {
  udb_record record;
  record.add_field(u"id", 4, ole_variant(id));
  record.add_field(u"s", 0, ole_variant(text));
  rs.append_record(record);
}

TEST(mss_dmp_row, a_row_that_cannot_be_written_leaves_nothing_behind) {
  const std::string rows = rows_of([](udb_recordset& rs) {
    append(rs, 1, u"one");
    EXPECT_THROW(append(rs, 2, u"bad \xD800 text"), tk_exception);
    append(rs, 3, u"three");
  });
  EXPECT_EQ(rows, row(1, "one") + row(3, "three"));
}

// Rows pass the buffer's end many times over, one of them far larger than the buffer's room
// for a row: every row arrives whole and in order.
TEST(mss_dmp_row, rows_across_many_buffers_arrive_whole_and_in_order) {
  const std::u16string big(300000, u'b');
  std::string expected;
  const std::string rows = rows_of([&](udb_recordset& rs) {
    for (int i = 0; i < 30000; ++i) {
      const std::u16string text = i == 12345 ? big : std::u16string(i % 97, u'x');
      append(rs, i, text);
      expected += row(i, tk_to_utf8(text));
    }
  });
  ASSERT_EQ(rows.size(), expected.size());
  EXPECT_TRUE(rows == expected);
}

// The field names are checked once per record layout: a record of the same size whose field
// no longer names a column fails even after rows of the right layout.
TEST(mss_dmp_row, a_changed_layout_is_checked_again) {
  rows_of([](udb_recordset& rs) {
    append(rs, 1, u"one");
    udb_record other;
    other.add_field(u"id", 4, ole_variant(2));
    other.add_field(u"zz", 0, ole_variant(u"two"sv));
    EXPECT_THROW(rs.append_record(other), tk_exception);
    append(rs, 3, u"three");
  });
}

}  // namespace
