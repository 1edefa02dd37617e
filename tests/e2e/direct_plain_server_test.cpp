// quorvik against a server that does not encrypt (the plain test server): the default,
// mandatory encryption, refuses it in bounded time and says how to go on; --encrypt=optional
// loads over a session the server reports as not encrypted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "e2e/cli_run.h"
#include "e2e/e2e_dbf.h"
#include "odb/odb_connection.h"
#include "odb/odb_test_server.h"
#include "tk/tk_test_dir.h"

namespace {

TEST(direct_plain_server, mandatory_encryption_refuses_it_and_optional_loads_unencrypted) {
  if (const char* real = std::getenv("QV_MSSQL_SERVER"); real != nullptr && *real != '\0')
    GTEST_SKIP() << "needs the plain test server, not the one QV_MSSQL_SERVER names";
  ODB_TEST_LOGIN_OR_SKIP(login);
  const tk_test_dir dir;
  e2e_write_dbf(dir.path() + "/items.dbf", {{"ID", 'N', 6}}, {{false, {"1"}}, {false, {"2"}}});
  const std::string db = "qvplain_" + std::to_string(::getpid());
  const std::string log = dir.path() + "/trace.log";
  const std::vector<std::string> args = {"--src=" + dir.path(),
                                         "--dest=" + db,
                                         "--logfile=" + log,
                                         "--mssqlh=" + tk_to_utf8_lossy(login.server),
                                         "--mssqlu=" + tk_to_utf8_lossy(login.user),
                                         "--mssqlp=" + tk_to_utf8_lossy(login.password)};

  const auto start = std::chrono::steady_clock::now();
  const cli_result refused = quorvik(args);
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
          .count();
  EXPECT_EQ(refused.code, 255) << refused.out << refused.err;
  EXPECT_LT(seconds, 40);
  EXPECT_NE((refused.out + refused.err).find("does not offer encryption"), std::string::npos)
      << refused.out << refused.err;
  EXPECT_NE((refused.out + refused.err).find("--encrypt=optional"), std::string::npos)
      << refused.out << refused.err;

  std::vector<std::string> optional = args;
  optional.emplace_back("--encrypt=optional");
  const cli_result loaded = quorvik(optional);
  EXPECT_EQ(loaded.code, 0) << loaded.out << loaded.err;
  EXPECT_NE(loaded.out.find("rows written: 2"), std::string::npos) << loaded.out;
  const std::string trace = tk_read_file(log);
  EXPECT_NE(trace.find("Encryption: optional, certificate not checked"), std::string::npos)
      << trace;
  EXPECT_NE(trace.find("The session's encrypt_option on the server: FALSE"), std::string::npos)
      << trace;
  const std::u16string name = tk_from_utf8_lossy(db);
  odb_connection(login).execute(u"IF DB_ID(N'" + name + u"') IS NOT NULL DROP DATABASE [" + name +
                                u"]");
}

}  // namespace
