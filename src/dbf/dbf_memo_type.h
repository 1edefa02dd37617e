#pragma once

#include <cstdint>
#include <string_view>

// The memo format that goes with a table, chosen by its signature byte.
enum class dbf_memo_type : int {
  memo_none = 0,
  memo_old = 1,
  memo_dbase4 = 3,
  memo_fpt = 4,
  memo_vfp = 8,
  memo_vfp_dbc = 12,
  memo_smt = 16,
};

// The memo format of a table from its signature and table flags (byte 28, read only for the
// Visual FoxPro signatures).
dbf_memo_type dbf_memo_type_of(std::uint8_t signature, std::uint8_t table_flags);

// The memo file's extension without the dot; empty for memo_none.
std::string_view dbf_memo_extension(dbf_memo_type type);
