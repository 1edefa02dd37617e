// Reading why an encrypted login failed from the client library's login record: each cause
// becomes its own advice, and a record without one leaves the library's own words.
#include <gtest/gtest.h>

#include "odb/odb_tls_failure.h"

namespace {

TEST(odb_tls_failure, each_cause_in_the_record_gets_its_own_advice) {
  odb_tls tls;
  tls.ca_file = "/srv/ca.pem";
  const std::string unreadable = odb_tls_failure_message(
      "login.c:1342:detected crypt flag 1\ntls.c:567:loading CA file failed: Error while "
      "reading file.\nlogin.c:599:login packet rejected\n",
      tls, "db");
  EXPECT_NE(unreadable.find("/srv/ca.pem cannot be read (Error while reading file)"),
            std::string::npos)
      << unreadable;

  const std::string handshake = odb_tls_failure_message(
      "tls.c:567:handshake failed: A TLS fatal alert has been received.\n", tls, "db");
  EXPECT_NE(handshake.find("TLS handshake with the server failed: A TLS fatal alert has been "
                           "received"),
            std::string::npos)
      << handshake;

  // The certificate's own verdicts come before the handshake's summary of them.
  const std::string untrusted = odb_tls_failure_message(
      "tls.c:415:Certificate status: 66\ntls.c:567:handshake failed: Error in the certificate.\n",
      {}, "db");
  EXPECT_NE(untrusted.find("not trusted: no certificate authority in "
                           "/etc/ssl/certs/ca-certificates.crt"),
            std::string::npos)
      << untrusted;

  const std::string mismatch = odb_tls_failure_message(
      "tls.c:435:Certificate hostname does not match\ntls.c:567:handshake failed: x\n", tls,
      "db.example", {"sql1.example", "10.0.0.5"});
  EXPECT_NE(mismatch.find("'db.example'"), std::string::npos) << mismatch;
  EXPECT_NE(mismatch.find("it carries 'sql1.example', '10.0.0.5'"), std::string::npos) << mismatch;
}

TEST(odb_tls_failure, encryption_not_offered_matters_only_when_mandatory) {
  const std::string record =
      "login.c:1342:detected crypt flag 2\nlogin.c:599:login packet rejected\n";
  EXPECT_NE(odb_tls_failure_message(record, {}, "db").find("does not offer encryption"),
            std::string::npos);
  odb_tls optional;
  optional.encryption = odb_encryption::optional;
  EXPECT_EQ(odb_tls_failure_message(record, optional, "db"), "");
  // A refused address or login says nothing of encryption.
  EXPECT_EQ(odb_tls_failure_message("net.c:318:Connecting to 10.0.0.1 port 1\n", {}, "db"), "");
}

}  // namespace
