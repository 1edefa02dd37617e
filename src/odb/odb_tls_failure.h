// Why an encrypted login failed, in words that say what to do: the client library reports
// only "connection failed" and leaves the reason in its login record.
#pragma once

#include <string>
#include <string_view>

#include "odb/odb_login.h"

// The message for the failure `record` (the library's login record) shows, or empty when it
// shows no encryption failure. `host` is the name the certificate had to carry.
std::string odb_tls_failure_message(std::string_view record, const odb_tls& tls,
                                    std::string_view host);
