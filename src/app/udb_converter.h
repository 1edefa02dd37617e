#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/tk_converter.h"

class udb_profile;

// What a conversion moves and how: the mode for existing targets, the selected tables with
// their target names, and the progress counters the front ends read while it runs.
class udb_converter : public tk_converter {
 public:
  using name_pairs = std::vector<std::pair<std::u16string, std::u16string>>;

  // 0 overwrite the database, 1 overwrite existing tables, 2 skip existing tables, 3 merge.
  void set_mode(int mode);
  int mode() const { return mode_; }

  std::vector<std::u16string> table_list;  // selected tables in order; empty = all
  name_pairs name_map;                     // (source table, target name)
  name_pairs queries;
  name_pairs views;
  bool tab_def = false;   // table definitions only
  bool skip_idx = false;  // no indexes

  // Progress of the running conversion.
  std::u16string current_table;
  std::int64_t records_total = 0;
  std::int64_t records_done = 0;
  int tables_total = 0;
  int tables_done = 0;

 protected:
  void store_profile(udb_profile& profile) const;
  void load_profile(const udb_profile& profile);

 private:
  int mode_ = 0;
};
