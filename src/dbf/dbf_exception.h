#pragma once

#include <string_view>

#include "tk/tk_exception.h"

// A table or memo file that cannot be read as such. Level 0: the table is abandoned and the
// conversion goes on with the next one.
class dbf_exception : public tk_exception {
 public:
  explicit dbf_exception(std::string_view message, int level = 0) : tk_exception(message, level) {}
};

// The memo file of a table with memo fields is missing; the table is read without it.
class dbf_no_memo_exception : public dbf_exception {
 public:
  dbf_no_memo_exception() : dbf_exception("Memo file not found") {}
};

inline constexpr std::string_view dbf_msg_bad_format = "File does not comply with DBF format";
inline constexpr std::string_view dbf_msg_memo_corrupted = "Memo file is corrupted";
inline constexpr std::string_view dbf_msg_memo_read_failed = "Failed to read MEMO field";
inline constexpr std::string_view dbf_msg_index_damaged = "Index file is damaged";
inline constexpr std::string_view dbf_msg_index_open_failed = "Cannot open index file";
