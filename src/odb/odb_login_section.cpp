// Building the private login section (see the header).
#include "odb/odb_login_section.h"

#include <array>
#include <cstdlib>

namespace {

struct setting {
  const char* key;
  std::string value;  // empty: not written
};

// The three settings encryption depends on; an entry's own values for them give way.
std::array<setting, 3> tls_settings(const odb_tls& tls) {
  const bool check = odb_checks_certificate(tls);
  return {{
      {"encryption", tls.encryption == odb_encryption::mandatory ? "require" : "request"},
      // Without a CA file the library checks nothing.
      {"ca file", check ? odb_ca_file_of(tls) : std::string()},
      {"check certificate hostname", check ? "yes" : "no"},
  }};
}

bool is_tls_key(std::string_view key) {
  return key == "encryption" || key == "ca file" || key == "check certificate hostname";
}

// Settings that would write the login's traffic elsewhere have no place in a private copy.
bool is_dropped_key(std::string_view key) {
  return key == "dump file" || key == "debug flags" || key == "dump file append";
}

}  // namespace

odb_login_section odb_make_login_section(std::string_view name, std::string_view server,
                                         const odb_tls& tls,
                                         const std::optional<odb_conf_entry>& entry) {
  odb_login_section section;
  section.text = "[" + std::string(name) + "]\n";
  const std::array<setting, 3> own = tls_settings(tls);
  if (entry) {
    for (const auto& [key, value] : entry->settings) {
      if (is_tls_key(key) || is_dropped_key(key)) continue;
      section.text += "\t" + key + " = " + value + "\n";
    }
    section.host = entry->find("host").value_or(std::string());
    if (const std::optional<std::string> port = entry->find("port")) {
      section.port = std::atoi(port->c_str());
    } else if (entry->find("instance")) {
      section.port = 0;
    }
    for (const setting& s : own) {
      const std::optional<std::string> theirs = entry->find(s.key);
      if (theirs && *theirs != s.value) {
        section.notes.push_back("The freetds.conf entry [" + std::string(server) + "] in " +
                                entry->file + " sets " + s.key + " = " + *theirs +
                                "; the connection's options win: " + s.key + " = " +
                                (s.value.empty() ? std::string("(none)") : s.value));
      }
    }
  } else {
    std::string host(server.empty() ? std::string_view("localhost") : server);
    std::string port;
    std::string instance;
    if (const std::size_t slash = host.find('\\'); slash != std::string::npos) {
      instance = host.substr(slash + 1);
      host.resize(slash);
    } else if (const std::size_t colon = host.rfind(':');
               colon != std::string::npos && host.find(':') == colon) {
      port = host.substr(colon + 1);
      host.resize(colon);
    }
    section.text += "\thost = " + host + "\n";
    if (!port.empty()) section.text += "\tport = " + port + "\n";
    if (!instance.empty()) section.text += "\tinstance = " + instance + "\n";
    section.host = host;
    if (!port.empty()) section.port = std::atoi(port.c_str());
    if (!instance.empty()) section.port = 0;
  }
  for (const setting& s : own) {
    if (!s.value.empty()) section.text += std::string("\t") + s.key + " = " + s.value + "\n";
  }
  return section;
}

std::string odb_describe_tls(const odb_tls& tls) {
  std::string text = tls.encryption == odb_encryption::mandatory ? "mandatory" : "optional";
  if (odb_checks_certificate(tls)) {
    text += ", certificate checked against " + odb_ca_file_of(tls) + " with its host name";
  } else if (tls.trust_server_cert) {
    text += ", certificate not checked (trust_server_cert)";
  } else {
    text += ", certificate not checked";
  }
  return text;
}
