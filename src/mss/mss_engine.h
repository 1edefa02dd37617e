#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "mss/mss_dump_options.h"
#include "mss/mss_server_facts.h"
#include "tk/tk_singleton.h"

class mss_dmp_database;

// The process-wide stand-in for one SQL Server instance. It holds what the dialect reads
// about the server (version, connection, Unicode flag, login) and builds the script writer.
// Until it connects it reports version 0, not connected, Unicode on.
class mss_engine : public mss_server_facts, public tk_singleton<mss_engine> {
 public:
  using tk_singleton<mss_engine>::instance;
  using tk_singleton<mss_engine>::instance_ptr;

  explicit mss_engine(bool no_com_initialization = true);
  ~mss_engine() override;

  int version() const override { return version_; }
  bool is_initialized() const override { return connected_; }
  bool unicode() const override { return unicode_; }
  bool is_view_owned() const override { return is_view_owned_; }
  const std::u16string& user() const override { return user_; }
  bool as_dbo() const override { return as_dbo_; }
  bool fast_load() const noexcept { return fast_load_; }

  void set_unicode(bool on) noexcept { unicode_ = on; }
  void set_as_dbo(bool on) noexcept { as_dbo_ = on; }

  // The owner-qualified, bracketed table name.
  std::u16string get_safe_tname(std::u16string_view name) const;

  // The script writer on the file; no connection is needed. Raises a level-1
  // tk_exception_ex when the file cannot be created.
  std::unique_ptr<mss_dmp_database> create_dump(const std::u16string& file_name,
                                                const mss_dump_options& options) const;

 protected:
  int version_ = 0;
  std::u16string server_;
  std::u16string user_;
  std::u16string password_;
  bool connected_ = false;
  bool fast_load_ = true;
  bool integrated_ = false;
  bool unicode_ = true;
  bool as_dbo_ = false;
  bool is_view_owned_ = true;
};
