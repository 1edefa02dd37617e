// A direct run traced at the most detailed level: the login's password appears nowhere in the
// trace, whether the login succeeds or fails.
#include <gtest/gtest.h>

#include "app/error_handler.h"
#include "app/talvex_converter.h"
#include "e2e/e2e_dbf.h"
#include "odb/odb_test_server.h"
#include "tk/tk_log.h"
#include "tk/tk_test_dir.h"

namespace {

class quiet_handler : public error_handler {
 public:
  std::vector<std::string> reports;

 protected:
  void present(const tk_exception&, const std::string& text, bool) override {
    reports.push_back(text);
  }
  void internal_error(const tk_exception& e) override { reports.push_back(e.what()); }
};

TEST(direct_trace, the_password_never_reaches_the_trace) {
  ODB_TEST_LOGIN_OR_SKIP(login);
  const tk_test_dir dir;
  e2e_write_dbf(dir.path() + "/t.dbf", {{"A", 'C', 4}}, {{false, {"x"}}});
  const std::string log = dir.path() + "/trace.log";
  tk_logger logger(log, true, 1, false);
  quiet_handler handler;
  for (const std::u16string& password : {login.password, std::u16string(u"Wr0ng-S3cret!")}) {
    talvex_converter converter;
    converter.src = tk_from_utf8_lossy(dir.path());
    converter.dest = u"qvtrace_" + tk_from_utf8_lossy(std::to_string(::getpid()));
    converter.host = login.server;
    converter.user = login.user;
    converter.pswd = password;
    converter.engine().set_tls(login.tls);
    try {
      converter.connect_mssql_server();
      converter.check_dest();
      converter();
      odb_connection(login).execute(u"DROP DATABASE [" + converter.dest + u"]");
    } catch (const tk_exception& e) {
      EXPECT_EQ(std::string(e.what()).find(tk_to_utf8_lossy(password)), std::string::npos);
    }
  }
  const std::string trace = tk_read_file(log);
  EXPECT_NE(trace.find("mss_engine::connect("), std::string::npos);
  EXPECT_EQ(trace.find(tk_to_utf8_lossy(login.password)), std::string::npos);
  EXPECT_EQ(trace.find("Wr0ng-S3cret!"), std::string::npos);
  for (const std::string& report : handler.reports) {
    EXPECT_EQ(report.find("Wr0ng-S3cret!"), std::string::npos) << report;
  }
}

}  // namespace
