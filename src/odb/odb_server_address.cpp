// SQL Server address forms for the TDS client library (see the header).
#include "odb/odb_server_address.h"

#include <algorithm>
#include <cctype>

std::string odb_server_address(std::string_view server) {
  const auto starts_tcp = [](std::string_view s) {
    return s.size() > 4 && std::tolower(static_cast<unsigned char>(s[0])) == 't' &&
           std::tolower(static_cast<unsigned char>(s[1])) == 'c' &&
           std::tolower(static_cast<unsigned char>(s[2])) == 'p' && s[3] == ':';
  };
  if (starts_tcp(server)) server.remove_prefix(4);
  const std::size_t comma = server.rfind(',');
  if (comma == std::string_view::npos || comma == 0) return std::string(server);
  const std::string_view port = server.substr(comma + 1);
  const bool digits = !port.empty() && std::all_of(port.begin(), port.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
  if (!digits) return std::string(server);
  std::string_view host = server.substr(0, comma);
  if (const std::size_t instance = host.find('\\'); instance != std::string_view::npos)
    host = host.substr(0, instance);
  return std::string(host) + ":" + std::string(port);
}
