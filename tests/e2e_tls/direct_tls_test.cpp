// quorvik against a server that encrypts (the TLS test server, or the SQL Server that
// QV_MSSQL_* names): the default settings refuse a certificate no trusted authority signed,
// --ca_file and --trust_server_cert load over an encrypted session, a host name the
// certificate does not carry is refused with that name, and a freetds.conf entry's own
// encryption settings give way to the options.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "e2e/cli_run.h"
#include "e2e/e2e_dbf.h"
#include "odb/odb_connection.h"
#include "odb/odb_exception.h"
#include "odb/odb_test_login.h"
#include "tk/tk_encoding.h"
#include "tk/tk_test_dir.h"

#ifndef QV_TEST_TLS_SERVER_ENV
#define QV_TEST_TLS_SERVER_ENV ""
#endif

namespace {

// The real server when QV_MSSQL_SERVER names one (its CA or trust switch from
// QV_MSSQL_CA_FILE / QV_MSSQL_TRUST_SERVER_CERT), else the TLS test server.
struct tls_server {
  odb_login login;
  bool test_server = false;
};

std::optional<tls_server> find_server() {
  if (const char* real = std::getenv("QV_MSSQL_SERVER"); real != nullptr && *real != '\0') {
    const std::optional<odb_login> login = odb_test_login();
    if (!login) return std::nullopt;
    return tls_server{*login, false};
  }
  const std::optional<odb_login> login = odb_login_of_env_file(QV_TEST_TLS_SERVER_ENV);
  if (!login) return std::nullopt;
  return tls_server{*login, true};
}

// A refused login must end within the login timeout, never hang.
constexpr int k_refusal_seconds = 40;

class direct_tls : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::optional<tls_server> found = find_server();
    if (!found) GTEST_SKIP() << "no TLS test server (../shared/babelfish absent)";
    server_ = *found;
    e2e_write_dbf(dir_.path() + "/items.dbf", {{"ID", 'N', 6}, {"NAME", 'C', 20}},
                  {{false, {"1", "one"}}, {false, {"2", "two"}}, {false, {"3", "three"}}});
    static int counter = 0;
    db_ = "qvtls_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
  }
  void TearDown() override {
    if (db_.empty() || server_.login.server.empty()) return;
    const std::u16string db = tk_from_utf8_lossy(db_);
    try {
      odb_connection(server_.login)
          .execute(u"IF DB_ID(N'" + db + u"') IS NOT NULL DROP DATABASE [" + db + u"]");
    } catch (const odb_exception& e) {
      ADD_FAILURE() << "cannot drop " << db_ << ": " << e.what();
    }
  }

  // quorvik with the login, `server` as --mssqlh (empty: the server's own address) and the
  // encryption options given, its trace at level 3 in log_path().
  cli_result run(const std::vector<std::string>& tls_args, const std::string& server = {}) {
    std::vector<std::string> args = {
        "--src=" + dir_.path(),
        "--dest=" + db_,
        "--logfile=" + log_path(),
        "--mssqlh=" + (server.empty() ? tk_to_utf8_lossy(server_.login.server) : server),
        "--mssqlu=" + tk_to_utf8_lossy(server_.login.user),
        "--mssqlp=" + tk_to_utf8_lossy(server_.login.password)};
    args.insert(args.end(), tls_args.begin(), tls_args.end());
    const auto start = std::chrono::steady_clock::now();
    cli_result result = quorvik(args);
    seconds_ =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
            .count();
    return result;
  }
  std::string log_path() const { return dir_.path() + "/trace.log"; }
  std::string trace() const { return tk_read_file(log_path()); }

  // Rows of the loaded table, read over an encrypted session of the test's own.
  std::string count_rows() {
    odb_login login = server_.login;
    login.database = tk_from_utf8_lossy(db_);
    odb_connection connection(login);
    return tk_to_utf8_lossy(
        connection.scalar(u"SELECT COUNT(*) FROM sys.tables t WHERE t.name = N'items'"));
  }

  void expect_refused(const cli_result& r) {
    EXPECT_EQ(r.code, 255) << r.out << r.err;
    EXPECT_LT(seconds_, k_refusal_seconds);
    EXPECT_EQ(r.out.find("Converting table"), std::string::npos) << r.out;
  }
  void expect_loaded_encrypted(const cli_result& r) {
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("rows written: 3"), std::string::npos) << r.out;
    EXPECT_EQ(count_rows(), "1");
    // The server's word on the program's own session.
    EXPECT_NE(trace().find("The session's encrypt_option on the server: TRUE"), std::string::npos)
        << trace();
  }

  tk_test_dir dir_;
  tls_server server_;
  std::string db_;
  long long seconds_ = 0;
};

TEST_F(direct_tls, default_settings_refuse_a_certificate_the_system_does_not_trust) {
  if (!server_.test_server) GTEST_SKIP() << "a real server's certificate may well be trusted";
  const cli_result r = run({});
  expect_refused(r);
  EXPECT_NE((r.out + r.err).find("not trusted"), std::string::npos) << r.out << r.err;
  EXPECT_NE((r.out + r.err).find("/etc/ssl/certs/ca-certificates.crt"), std::string::npos)
      << r.out << r.err;
  EXPECT_NE((r.out + r.err).find("--ca_file"), std::string::npos) << r.out << r.err;
  EXPECT_NE((r.out + r.err).find("--trust_server_cert"), std::string::npos) << r.out << r.err;
  EXPECT_NE(trace().find("Encryption: mandatory, certificate checked against "
                         "/etc/ssl/certs/ca-certificates.crt with its host name"),
            std::string::npos)
      << trace();
}

TEST_F(direct_tls, ca_file_or_trust_load_over_an_encrypted_session) {
  if (server_.test_server || !server_.login.tls.ca_file.empty()) {
    const std::string ca = server_.login.tls.ca_file;
    const cli_result r = run({"--ca_file=" + ca});
    expect_loaded_encrypted(r);
    EXPECT_NE(trace().find("Encryption: mandatory, certificate checked against " + ca),
              std::string::npos)
        << trace();
    // The trace never holds the password.
    EXPECT_EQ(trace().find(tk_to_utf8_lossy(server_.login.password)), std::string::npos);
    TearDown();
  }
  const cli_result trusted = run({"--trust_server_cert"});
  expect_loaded_encrypted(trusted);
  EXPECT_NE(trace().find("certificate not checked (trust_server_cert)"), std::string::npos)
      << trace();
}

TEST_F(direct_tls, a_host_name_the_certificate_does_not_carry_is_refused) {
  if (!server_.test_server) GTEST_SKIP() << "needs a name of the test server its certificate lacks";
  // 127.1 is 127.0.0.1 to the resolver, but not a name the certificate carries.
  const std::string address = tk_to_utf8_lossy(server_.login.server);
  const std::string port = address.substr(address.rfind(':') + 1);
  const cli_result r = run({"--ca_file=" + server_.login.tls.ca_file}, "127.1," + port);
  expect_refused(r);
  // Both names: the one connected to and the ones the certificate carries.
  EXPECT_NE((r.out + r.err).find("does not carry the host name '127.1'"), std::string::npos)
      << r.out << r.err;
  EXPECT_NE((r.out + r.err).find("it carries 'localhost', '127.0.0.1'"), std::string::npos)
      << r.out << r.err;
  EXPECT_NE((r.out + r.err).find("--trust_server_cert"), std::string::npos) << r.out << r.err;
  // The same name with the check off loads.
  const cli_result trusted = run({"--trust_server_cert"}, "127.1," + port);
  expect_loaded_encrypted(trusted);
}

TEST_F(direct_tls, a_freetds_conf_entry_keeps_its_address_and_the_options_win) {
  if (!server_.test_server) GTEST_SKIP() << "writes an entry for the test server";
  const std::string address = tk_to_utf8_lossy(server_.login.server);
  const std::string conf = dir_.path() + "/freetds.conf";
  {
    std::ofstream out(conf);
    out << "[global]\n\ttds version = 7.4\n[QvTlsEntry]\n\thost = "
        << address.substr(0, address.rfind(':'))
        << "\n\tport = " << address.substr(address.rfind(':') + 1) << "\n\tencryption = off\n";
  }
  ::setenv("FREETDSCONF", conf.c_str(), 1);
  const cli_result r = run({"--ca_file=" + server_.login.tls.ca_file}, "QvTlsEntry");
  ::unsetenv("FREETDSCONF");
  expect_loaded_encrypted(r);
  EXPECT_NE(trace().find("The freetds.conf entry [QvTlsEntry] in " + conf +
                         " sets encryption = off; the connection's options win: encryption = "
                         "require"),
            std::string::npos)
      << trace();
}

}  // namespace
