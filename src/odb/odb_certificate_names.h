// The names a server's TLS certificate carries, read with a handshake of our own: the client
// library checks the host name but does not say what the certificate names instead.
#pragma once

#include <string>
#include <vector>

// The certificate's alternative DNS names and addresses, then its subject's common name, as
// `host`:`port` presents it after the TDS pre-login; nothing is checked, since only the names
// are wanted. Empty when the server cannot be reached within `timeout_seconds`, does not
// encrypt, or shows no certificate.
std::vector<std::string> odb_certificate_names(const std::string& host, int port,
                                               int timeout_seconds);
