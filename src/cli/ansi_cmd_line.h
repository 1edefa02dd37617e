#pragma once

#include <string>
#include <string_view>
#include <vector>

// One entry of an option table: an identifier and the prefix that selects it. A table ends
// with an entry whose prefix is empty.
struct cmd_option {
  int id;
  const char* prefix;
};

enum quorvik_option : int {
  opt_unmatched = -1,
  opt_dest = 0,
  opt_dump = 1,
  opt_encoding = 2,
  opt_help = 3,
  opt_logfile = 4,
  opt_log2int = 5,
  opt_mode = 6,
  opt_mssqlh = 7,
  opt_mssqlu = 8,
  opt_mssqlp = 9,
  opt_profile = 10,
  opt_silent = 11,
  opt_skip_del = 12,
  opt_src = 13,
  opt_tab_def = 14,
  opt_tab_file = 15,
  opt_version = 16,
  opt_no_indexes = 17,
  opt_as_dbo = 18,
  opt_encrypt = 19,
  opt_trust_server_cert = 20,
  opt_ca_file = 21,
  opt_jobs = 22,
};

// The console program's options, in table order.
extern const cmd_option quorvik_options[];

// Scans argv from argv[1]. Each argument is classified by the first table entry whose prefix
// it begins with (case-sensitive); its value is the rest of the argument. An argument that no
// prefix matches gets the id -1 and is collected; a 21st such argument is an internal error.
class TCmdLine {
 public:
  static constexpr std::size_t k_max_unmatched = 20;

  TCmdLine(int argc, const char* const* argv, const cmd_option* table);
  virtual ~TCmdLine() = default;

  virtual void advance();
  virtual bool has_current() const { return left_ > 0; }

  int id() const { return id_; }
  const std::string& value() const { return value_; }
  const std::vector<std::string>& unmatched() const { return unmatched_; }

 private:
  void classify();

  const cmd_option* table_;
  std::string value_;
  int id_ = opt_unmatched;
  std::vector<std::string> unmatched_;
  const char* const* cursor_;
  int left_;
};

using ansi_cmd_line = TCmdLine;
