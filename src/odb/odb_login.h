#pragma once

#include <string>

// Whether a connection must be encrypted. Mandatory: encrypted or not made; optional:
// encrypted when the server offers it (FreeTDS's "request").
enum class odb_encryption { mandatory, optional };

// How a connection is encrypted and how the server's certificate is checked.
struct odb_tls {
  odb_encryption encryption = odb_encryption::mandatory;
  // Encrypts without checking the certificate (self-signed servers).
  bool trust_server_cert = false;
  // The certificate authorities the server's certificate is checked against (UTF-8 path);
  // empty: the system's bundle.
  std::string ca_file;
};

// The system's certificate authorities (Debian's ca-certificates).
inline constexpr const char* odb_system_ca_file = "/etc/ssl/certs/ca-certificates.crt";

// The bundle a certificate is checked against.
inline std::string odb_ca_file_of(const odb_tls& tls) {
  return tls.ca_file.empty() ? std::string(odb_system_ca_file) : tls.ca_file;
}

// Whether the server's certificate is checked: always with mandatory encryption unless it is
// trusted as it is; with optional encryption only against a bundle given by name.
inline bool odb_checks_certificate(const odb_tls& tls) {
  if (tls.trust_server_cert) return false;
  return tls.encryption == odb_encryption::mandatory || !tls.ca_file.empty();
}

// What a connection needs: the server as the client library names it (host, host:port,
// host\instance, a freetds.conf entry; empty = this machine), the login (an empty user means
// integrated Kerberos login), the database to start in (empty = the login's default) and the
// encryption.
struct odb_login {
  std::u16string server;
  std::u16string user;
  std::u16string password;
  std::u16string database;
  odb_tls tls;
};

// The password as traces and messages show it.
inline constexpr const char* odb_masked_password = "********";
