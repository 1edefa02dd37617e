// Reading a server certificate's names over TDS (see the header). TLS records travel inside
// TDS pre-login packets until the handshake ends, so the transport wraps and unwraps them.
#include "odb/odb_certificate_names.h"

#include <arpa/inet.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

constexpr unsigned char k_prelogin = 0x12;
constexpr std::size_t k_header = 8;

// A connected socket, closed with the object.
struct socket_fd {
  int fd = -1;
  ~socket_fd() {
    if (fd >= 0) ::close(fd);
  }
};

bool send_all(int fd, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool read_all(int fd, unsigned char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::recv(fd, data, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool send_packet(int fd, const unsigned char* payload, std::size_t size) {
  const std::size_t total = size + k_header;
  std::string packet(total, '\0');
  packet[0] = static_cast<char>(k_prelogin);
  packet[1] = 0x01;  // end of message
  packet[2] = static_cast<char>(total >> 8);
  packet[3] = static_cast<char>(total & 0xFF);
  packet[6] = 0x01;
  std::memcpy(packet.data() + k_header, payload, size);
  return send_all(fd, reinterpret_cast<const unsigned char*>(packet.data()), total);
}

// One TDS packet's payload.
bool read_packet(int fd, std::string& payload) {
  std::array<unsigned char, k_header> header{};
  if (!read_all(fd, header.data(), header.size())) return false;
  const std::size_t total = (std::size_t{header[2]} << 8) | header[3];
  if (total < k_header) return false;
  payload.assign(total - k_header, '\0');
  return read_all(fd, reinterpret_cast<unsigned char*>(payload.data()), payload.size());
}

// The transport of the handshake: records out in packets of their own, records in from the
// payloads of the server's packets.
struct tds_transport {
  int fd;
  std::string pending;
  std::size_t used = 0;
};

ssize_t push(gnutls_transport_ptr_t ptr, const void* data, size_t size) {
  auto* t = static_cast<tds_transport*>(ptr);
  const std::size_t chunk = std::min<std::size_t>(size, 4096 - k_header);
  if (!send_packet(t->fd, static_cast<const unsigned char*>(data), chunk)) return -1;
  return static_cast<ssize_t>(chunk);
}

ssize_t pull(gnutls_transport_ptr_t ptr, void* data, size_t size) {
  auto* t = static_cast<tds_transport*>(ptr);
  if (t->used == t->pending.size()) {
    t->used = 0;
    if (!read_packet(t->fd, t->pending)) return -1;
  }
  const std::size_t n = std::min(size, t->pending.size() - t->used);
  std::memcpy(data, t->pending.data() + t->used, n);
  t->used += n;
  return static_cast<ssize_t>(n);
}

bool connect_to(socket_fd& s, const std::string& host, int port, int timeout_seconds) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(found, &::freeaddrinfo);
  timeval limit{};
  limit.tv_sec = timeout_seconds;
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    // Linux bounds connect by the send timeout, every read and write by these two.
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
      s.fd = fd;
      return true;
    }
    ::close(fd);
  }
  return false;
}

// Asks for encryption; true when the server's answer does not refuse it.
bool prelogin(int fd) {
  // VERSION (6 bytes) and ENCRYPTION (1 byte: on) after two 5-byte tokens and the terminator.
  const unsigned char payload[] = {0x00, 0x00, 0x0B, 0x00, 0x06, 0x01, 0x00, 0x11, 0x00,
                                   0x01, 0xFF, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
  if (!send_packet(fd, payload, sizeof payload)) return false;
  std::string answer;
  if (!read_packet(fd, answer)) return false;
  for (std::size_t at = 0;
       at + 5 <= answer.size() && static_cast<unsigned char>(answer[at]) != 0xFF; at += 5) {
    if (answer[at] != 0x01) continue;
    const std::size_t offset = (static_cast<unsigned char>(answer[at + 1]) << 8) |
                               static_cast<unsigned char>(answer[at + 2]);
    return offset < answer.size() && answer[offset] != 0x02;  // 2: not supported
  }
  return false;
}

std::vector<std::string> names_of(const gnutls_datum_t& der) {
  std::vector<std::string> names;
  gnutls_x509_crt_t crt = nullptr;
  if (gnutls_x509_crt_init(&crt) < 0) return names;
  const std::unique_ptr<gnutls_x509_crt_int, decltype(&gnutls_x509_crt_deinit)> guard(
      crt, &gnutls_x509_crt_deinit);
  if (gnutls_x509_crt_import(crt, &der, GNUTLS_X509_FMT_DER) < 0) return names;
  for (unsigned i = 0;; ++i) {
    std::array<char, 512> buffer{};
    size_t size = buffer.size();
    const int type = gnutls_x509_crt_get_subject_alt_name(crt, i, buffer.data(), &size, nullptr);
    if (type == GNUTLS_E_REQUESTED_DATA_NOT_AVAILABLE) break;
    if (type == GNUTLS_SAN_DNSNAME) {
      names.emplace_back(buffer.data(), size);
    } else if (type == GNUTLS_SAN_IPADDRESS && (size == 4 || size == 16)) {
      std::array<char, INET6_ADDRSTRLEN> text{};
      if (::inet_ntop(size == 4 ? AF_INET : AF_INET6, buffer.data(), text.data(), text.size()))
        names.emplace_back(text.data());
    } else if (type < 0) {
      break;
    }
  }
  std::array<char, 512> cn{};
  size_t size = cn.size();
  if (gnutls_x509_crt_get_dn_by_oid(crt, GNUTLS_OID_X520_COMMON_NAME, 0, 0, cn.data(), &size) ==
      0) {
    const std::string common(cn.data(), size);
    bool known = false;
    for (const std::string& n : names) known = known || n == common;
    if (!known) names.push_back(common);
  }
  return names;
}

}  // namespace

std::vector<std::string> odb_certificate_names(const std::string& host, int port,
                                               int timeout_seconds) {
  socket_fd s;
  if (!connect_to(s, host, port, timeout_seconds) || !prelogin(s.fd)) return {};
  gnutls_certificate_credentials_t credentials = nullptr;
  if (gnutls_certificate_allocate_credentials(&credentials) < 0) return {};
  const std::unique_ptr<gnutls_certificate_credentials_st,
                        decltype(&gnutls_certificate_free_credentials)>
      credentials_guard(credentials, &gnutls_certificate_free_credentials);
  gnutls_session_t session = nullptr;
  if (gnutls_init(&session, GNUTLS_CLIENT) < 0) return {};
  const std::unique_ptr<gnutls_session_int, decltype(&gnutls_deinit)> session_guard(session,
                                                                                    &gnutls_deinit);
  if (gnutls_set_default_priority(session) < 0 ||
      gnutls_credentials_set(session, GNUTLS_CRD_CERTIFICATE, credentials) < 0)
    return {};
  tds_transport transport{s.fd, {}, 0};
  gnutls_transport_set_ptr(session, &transport);
  gnutls_transport_set_push_function(session, push);
  gnutls_transport_set_pull_function(session, pull);
  int rc = 0;
  do {
    rc = gnutls_handshake(session);
  } while (rc < 0 && gnutls_error_is_fatal(rc) == 0);
  if (rc < 0) return {};
  unsigned count = 0;
  const gnutls_datum_t* chain = gnutls_certificate_get_peers(session, &count);
  if (chain == nullptr || count == 0) return {};
  return names_of(chain[0]);
}
