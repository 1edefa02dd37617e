#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/tk_converter.h"
#include "tk/tk_singleton.h"

// The application's conversion settings, filled by a front end (console options, wizard pages
// or a profile) and read by the conversion. Starts with the console defaults.
class talvex_converter : public tk_converter, public tk_singleton<talvex_converter> {
 public:
  talvex_converter();
  ~talvex_converter() override;

  // Existing-target handling: 0 overwrite the database, 1 overwrite existing tables, 2 skip
  // existing tables, 3 merge.
  void set_mode(int mode);
  int mode() const { return mode_; }

  // Prepares the destination once the options are known. Dump: common_check_dest, then an
  // existing dump file is deleted (a failure raises tk_exception_ex, level 1).
  void check_dest();

  // Conversion switches.
  bool direct = true;                      // true: a server database; false: a T-SQL dump file
  bool bool_dbf = true;                    // logical columns as 'T'/'F'; false: 1/0
  bool skip_del = false;                   // leave out records marked as deleted
  bool tab_def = false;                    // table definitions only
  bool skip_idx = false;                   // no indexes
  std::int32_t code_page = 0;              // DBF code page mark for text; 0 = each table's own
  std::vector<std::u16string> table_list;  // selected tables in order; empty = all

  // Server connection.
  std::u16string host;  // empty: the local server
  std::u16string user;  // empty: integrated login
  std::u16string pswd;
  bool sec_log = false;  // integrated login
  bool as_dbo = false;   // connect as database owner

 private:
  int mode_ = 0;
};

// Refusals for a file destination (tk_exception, level 1): a folder, an existing file that
// cannot be opened for reading and writing, or a path in a missing folder.
void common_check_dest(const std::string& path);
