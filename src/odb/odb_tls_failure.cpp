// Reading the reason of a failed encrypted login (see the header).
#include "odb/odb_tls_failure.h"

namespace {

// Whether `marker` occurs; `rest` is then what follows it on its line.
bool line_after(std::string_view record, std::string_view marker, std::string& rest) {
  const std::size_t at = record.find(marker);
  if (at == std::string_view::npos) return false;
  const std::size_t start = at + marker.size();
  const std::size_t end = record.find('\n', start);
  rest = std::string(record.substr(start, end == std::string_view::npos ? end : end - start));
  while (!rest.empty() && (rest.back() == '\r' || rest.back() == ' ' || rest.back() == '.'))
    rest.pop_back();
  return true;
}

}  // namespace

bool odb_tls_host_mismatch(std::string_view record) {
  return record.find("Certificate hostname does not match") != std::string_view::npos;
}

std::string odb_tls_failure_message(std::string_view record, const odb_tls& tls,
                                    std::string_view host,
                                    const std::vector<std::string>& certificate_names) {
  const std::string ca = odb_ca_file_of(tls);
  std::string reason;
  // The server's pre-login answer 2 is "encryption not supported".
  if (tls.encryption == odb_encryption::mandatory &&
      record.find("detected crypt flag 2") != std::string_view::npos) {
    return "The server does not offer encryption, and encryption is mandatory. Connect with "
           "--encrypt=optional (the wizard: clear \"Encrypt the connection\") to allow an "
           "unencrypted connection, or turn encryption on at the server.";
  }
  if (odb_tls_host_mismatch(record)) {
    std::string carried;
    for (const std::string& name : certificate_names)
      carried += (carried.empty() ? "'" : ", '") + name + "'";
    return "The server's certificate does not carry the host name '" + std::string(host) +
           "' that the connection was made to" +
           (carried.empty() ? std::string(" (its names could not be read)")
                            : "; it carries " + carried) +
           ". Connect by a name the certificate carries, or give --trust_server_cert to encrypt "
           "without checking the certificate.";
  }
  if (line_after(record, "Certificate status: ", reason) ||
      record.find("Error verifying certificate") != std::string_view::npos) {
    return "The server's certificate is not trusted: no certificate authority in " + ca +
           " signed it. Give the authority's certificate with --ca_file=PATH, or give "
           "--trust_server_cert to encrypt without checking the certificate (a self-signed "
           "server).";
  }
  if (line_after(record, "loading CA file failed: ", reason)) {
    return "The certificate authorities in " + ca + " cannot be read (" + reason +
           "). Give a readable PEM bundle with --ca_file=PATH.";
  }
  if (line_after(record, "handshake failed: ", reason)) {
    return "The TLS handshake with the server failed: " + reason +
           ". Check that the server's TLS setup is sound; --encrypt=optional connects "
           "without encryption where the server allows it.";
  }
  return {};
}
