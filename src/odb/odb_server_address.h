#pragma once

// The server address forms SQL Server's own tools take, as the TDS client library takes them:
// "tcp:host,1433" is "host:1433" there.

#include <string>
#include <string_view>

// `server` (UTF-8) with a leading "tcp:" dropped and a trailing ",port" written ":port"; a port
// given so wins over an instance name before it ("host\inst,1500" is "host:1500"), as it does
// for the server's tools. Every other form (host, host:port, host\instance, a freetds.conf
// entry) stays as it is.
std::string odb_server_address(std::string_view server);
