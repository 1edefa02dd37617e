// Why an encrypted login failed, in words that say what to do: the client library reports
// only "connection failed" and leaves the reason in its login record.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "odb/odb_login.h"

// Whether the record shows a certificate that does not carry the host name.
bool odb_tls_host_mismatch(std::string_view record);

// The message for the failure `record` (the library's login record) shows, or empty when it
// shows no encryption failure. `host` is the name the certificate had to carry,
// `certificate_names` the names it carries (where they could be read).
std::string odb_tls_failure_message(std::string_view record, const odb_tls& tls,
                                    std::string_view host,
                                    const std::vector<std::string>& certificate_names = {});
