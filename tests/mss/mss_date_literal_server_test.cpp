// The dates the INSERT path of a server load spells unseparated arrive as the same days and
// times on the server, whatever its DATEFORMAT says about the order of day and month.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "mss/mss_literal.h"
#include "odb/odb_recordset.h"
#include "odb/odb_test_server.h"
#include "tk/tk_encoding.h"
#include "udb/t_ftd.h"
#include "udb/udb_field.h"

namespace {

TEST(mss_date_literal, unseparated_dates_read_alike_under_every_dateformat) {
  const std::optional<odb_login> login = odb_test_login();
  if (!login) GTEST_SKIP() << odb_no_test_server;
  const odb_test_database database(*login);
  const std::unique_ptr<odb_connection> c = database.connect();
  c->execute(u"CREATE TABLE t (n INT, stamp DATETIME, day DATE)");

  const t_ftd stamp(8, u"stamp", VT_DATE);
  const t_ftd day(8, u"day", VT_DATE, false, false, ole_variant(), 2);
  ole_systemtime st;
  st.year = 2001;
  st.month = 2;
  st.day = 3;
  st.hour = 4;
  st.minute = 5;
  st.second = 6;
  st.milliseconds = 7;
  ole_systemtime first;
  first.year = 1;
  first.month = 1;
  first.day = 1;
  const char* const dateformats[] = {"mdy", "dmy", "ydm"};
  for (int n = 0; n < 3; ++n) {
    std::string sql = std::string("SET DATEFORMAT ") + dateformats[n] + "; INSERT INTO t VALUES (" +
                      std::to_string(n) + ", ";
    mss_append_fld_str(sql, udb_field(u"stamp", 8, ole_variant(st)), stamp,
                       mss_date_text::unseparated);
    sql += ", ";
    mss_append_fld_str(sql, udb_field(u"day", 8, ole_variant(n == 0 ? first : st)), day,
                       mss_date_text::unseparated);
    sql += ")";
    SCOPED_TRACE(sql);
    c->execute_utf8(sql);
  }
  const std::unique_ptr<odb_recordset> rows = c->query(
      u"SELECT CONVERT(nvarchar(30), stamp, 126) + N' ' + CONVERT(nvarchar(10), day, 126) "
      u"FROM t ORDER BY n");
  ASSERT_EQ(rows->size(), 3u);
  EXPECT_EQ(tk_to_utf8_lossy(rows->row(0)[0].text()), "2001-02-03T04:05:06.007 0001-01-01");
  EXPECT_EQ(tk_to_utf8_lossy(rows->row(1)[0].text()), "2001-02-03T04:05:06.007 2001-02-03");
  EXPECT_EQ(tk_to_utf8_lossy(rows->row(2)[0].text()), "2001-02-03T04:05:06.007 2001-02-03");
}

}  // namespace
