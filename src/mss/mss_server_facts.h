#pragma once

#include <string>

#include "tk/tk_singleton.h"

// What the SQL Server dialect reads about the server engine: its version, whether it is
// connected, whether text goes as Unicode, and the login the tables are owned by. The engine
// registers itself as the current facts; while none exists the dialect assumes an engine that
// has not connected, with Unicode on.
class mss_server_facts : public tk_singleton<mss_server_facts> {
 public:
  // Server version number: 5 and above is SQL Server 2008 or later, 100 is Azure.
  virtual int version() const = 0;
  // Connected, and the data source initialised.
  virtual bool is_initialized() const = 0;
  // Text columns are N-types and text literals carry the N prefix.
  virtual bool unicode() const = 0;
  // Qualified names without brackets are taken as simple names when set.
  virtual bool is_view_owned() const = 0;
  // Login name; empty when not connected with a user name and password.
  virtual const std::u16string& user() const = 0;
  // Objects are created as the database owner whatever the login.
  virtual bool as_dbo() const = 0;

 protected:
  mss_server_facts() = default;
};

// The Unicode flag of the current engine; on while there is none.
inline bool mss_current_unicode() {
  const mss_server_facts* facts = mss_server_facts::instance_ptr();
  return facts == nullptr || facts->unicode();
}
