#pragma once

#include <string>
#include <vector>

#include "e2e/cli_run.h"
#include "tk/tk_test_dir.h"

// A dump run of quorvik and what its script holds, table by table.
struct e2e_script {
  cli_result result;
  std::string text;

  // The tables the script creates, in byte order.
  std::vector<std::string> tables() const;
  // The value lists of the table's INSERT statements, in script order ("N'a', 1").
  std::vector<std::string> rows(const std::string& table) const;
  // The type a CREATE TABLE statement gives the column ("NVARCHAR(6)"), or "" when absent.
  std::string column_type(const std::string& table, const std::string& column) const;
};

// Converts the folder `src` into a script in `dir`, with the extra options.
e2e_script e2e_dump(const tk_test_dir& dir, const std::string& src,
                    const std::vector<std::string>& extra = {});
