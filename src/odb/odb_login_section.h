// The private freetds.conf section one login goes through: the server's address and the
// encryption settings, since db-lib takes encryption only from a configuration file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "odb/odb_conf_entry.h"
#include "odb/odb_login.h"

struct odb_login_section {
  // The file's text: one section named `name`.
  std::string text;
  // The host the certificate must name (empty: the entry's host was not known).
  std::string host;
  // Its TCP port (0: found by instance name, not known here).
  int port = 1433;
  // Where the freetds.conf entry and the options disagree, what wins, for the trace.
  std::vector<std::string> notes;
};

// `server` as the client library takes it (host, host:port, host\instance; empty: this
// machine), or the name of `entry` when that is given: the entry's settings are kept, except
// the encryption ones, which `tls` decides.
odb_login_section odb_make_login_section(std::string_view name, std::string_view server,
                                         const odb_tls& tls,
                                         const std::optional<odb_conf_entry>& entry);

// The encryption settings as the trace shows them, e.g. "mandatory, certificate checked
// against /etc/ssl/certs/ca-certificates.crt with its host name".
std::string odb_describe_tls(const odb_tls& tls);
