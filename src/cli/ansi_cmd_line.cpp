#include "cli/ansi_cmd_line.h"

#include <cstring>

#include "tk/tk_exception.h"

const cmd_option quorvik_options[] = {
    {opt_as_dbo, "--as_dbo"},
    {opt_dest, "--dest="},
    {opt_dump, "--dump"},
    {opt_encoding, "--encoding="},
    {opt_help, "--help"},
    {opt_jobs, "--jobs="},
    {opt_logfile, "--logfile="},
    {opt_log2int, "--log2int"},
    {opt_mode, "--mode="},
    {opt_mssqlh, "--mssqlh="},
    {opt_mssqlu, "--mssqlu="},
    {opt_mssqlp, "--mssqlp="},
    {opt_no_indexes, "--no_indexes"},
    {opt_profile, "--profile="},
    {opt_silent, "--silent"},
    {opt_skip_del, "--skip_del"},
    {opt_src, "--src="},
    {opt_tab_def, "--tab_def"},
    {opt_tab_file, "--tab_file="},
    {opt_version, "--version"},
    {opt_encrypt, "--encrypt="},
    {opt_trust_server_cert, "--trust_server_cert"},
    {opt_ca_file, "--ca_file="},
    {opt_unmatched, ""},
};

TCmdLine::TCmdLine(int argc, const char* const* argv, const cmd_option* table)
    : table_(table), cursor_(argv + 1), left_(argc - 1) {
  if (has_current()) classify();
}

void TCmdLine::advance() {
  if (!has_current()) return;
  ++cursor_;
  --left_;
  if (has_current()) classify();
}

void TCmdLine::classify() {
  const std::string_view argument(*cursor_);
  const cmd_option* entry = table_;
  while (!argument.starts_with(entry->prefix)) ++entry;  // the empty prefix ends every walk
  const std::size_t prefix_length = std::strlen(entry->prefix);
  if (prefix_length > 0) {
    id_ = entry->id;
    value_ = argument.substr(prefix_length);
    return;
  }
  id_ = opt_unmatched;
  value_.clear();
  if (unmatched_.size() >= k_max_unmatched) throw tk_mail_assertion(__FILE__, __LINE__);
  unmatched_.emplace_back(argument);
}
