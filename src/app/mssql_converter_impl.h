#pragma once

#include <memory>
#include <string>

#include "app/udb_converter.h"
#include "mss/mss_dump_options.h"
#include "mss/mss_engine.h"

// The SQL Server side of the settings: how to connect, what a script holds, and the server
// engine, which this object owns.
class mssql_converter_impl : public udb_converter {
 public:
  mssql_converter_impl();

  // Connects the engine with the login settings; raises tk_exception when it cannot.
  void connect_mssql_server();

  mss_engine& engine() { return *engine_; }
  const mss_engine& engine() const { return *engine_; }

  std::u16string host;  // empty: the local server
  std::u16string user;  // empty: integrated login
  std::u16string pswd;
  bool sec_log = false;  // integrated login
  // Tables loading at once into a server, each on a connection of its own; 1 loads them in turn.
  int jobs = default_jobs();
  static constexpr int k_max_default_jobs = 4;
  static constexpr int k_max_jobs = 64;
  // The processors this process may use, at most k_max_default_jobs.
  static int default_jobs();
  mss_dump_options dump_options;

 protected:
  void store_profile(udb_profile& profile) const;
  void load_profile(const udb_profile& profile);

  // Profile flags are written as "1" or "0"; on reading only "1" counts as true, and a missing
  // or empty value changes nothing.
  static void store_flag(udb_profile& profile, std::u16string_view section, std::u16string_view key,
                         bool value);
  static void load_flag(const udb_profile& profile, std::u16string_view section,
                        std::u16string_view key, bool& value);

 private:
  std::unique_ptr<mss_engine> engine_;
};
