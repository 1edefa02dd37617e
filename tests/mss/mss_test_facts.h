#pragma once

#include <string>

#include "mss/mss_server_facts.h"

// Server facts a test sets at will; registered as the current facts while it lives.
struct mss_test_facts : mss_server_facts {
  int version() const override { return version_number; }
  bool is_initialized() const override { return connected; }
  bool unicode() const override { return unicode_on; }
  bool is_view_owned() const override { return view_owned; }
  const std::u16string& user() const override { return login; }
  bool as_dbo() const override { return dbo; }

  int version_number = 0;
  bool connected = false;
  bool unicode_on = true;
  bool view_owned = true;
  std::u16string login;
  bool dbo = false;
};
