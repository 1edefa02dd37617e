// The password kept off the command line: from QUORVIK_MSSQLP, or typed (read from standard
// input when that is no terminal) for --mssqlp=-; and --version.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "e2e/cli_run.h"
#include "e2e/e2e_dbf.h"
#include "odb/odb_test_server.h"
#include "tk/tk_test_dir.h"

namespace {

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

TEST(cli_version, prints_the_program_and_its_version) {
  const cli_result r = quorvik({"--version"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "quorvik 2.3\n");
}

TEST(cli_password, comes_from_the_environment_or_standard_input) {
  ODB_TEST_LOGIN_OR_SKIP(login);
  const tk_test_dir dir;
  e2e_write_dbf(dir.path() + "/t.dbf", {{"A", 'C', 4}}, {{false, {"x"}}});
  const std::string db = "qvpw_" + std::to_string(::getpid());
  std::string common = std::string(QV_QUORVIK_PATH) + " --src=" + quoted(dir.path()) +
                       " --dest=" + db +
                       " --mode=1 --mssqlh=" + quoted(tk_to_utf8_lossy(login.server)) +
                       " --mssqlu=" + quoted(tk_to_utf8_lossy(login.user));
  for (const std::string& arg : odb_test_tls_args(login)) common += " " + quoted(arg);
  const std::string password = tk_to_utf8_lossy(login.password);

  const cli_result from_env =
      cli_run("/bin/sh", {"-c", "QUORVIK_MSSQLP=" + quoted(password) + " " + common});
  EXPECT_EQ(from_env.code, 0) << from_env.out << from_env.err;
  EXPECT_NE(from_env.out.find("Tables converted: 1"), std::string::npos) << from_env.out;

  const cli_result from_stdin = cli_run(
      "/bin/sh", {"-c", "printf '%s\\n' " + quoted(password) + " | " + common + " --mssqlp=-"});
  EXPECT_EQ(from_stdin.code, 0) << from_stdin.out << from_stdin.err;
  EXPECT_NE(from_stdin.out.find("Tables converted: 1"), std::string::npos) << from_stdin.out;

  // A wrong one is refused by the server, and shown nowhere.
  const cli_result wrong = cli_run("/bin/sh", {"-c", "QUORVIK_MSSQLP=Not-The-Pass-42 " + common});
  EXPECT_EQ(wrong.code, 255) << wrong.out;
  EXPECT_EQ((wrong.out + wrong.err).find("Not-The-Pass-42"), std::string::npos);

  odb_login admin = login;
  admin.database.clear();
  odb_connection(admin).execute(u"IF DB_ID(N'" + tk_from_utf8_lossy(db) +
                                u"') IS NOT NULL DROP DATABASE [" + tk_from_utf8_lossy(db) + u"]");
}

}  // namespace
