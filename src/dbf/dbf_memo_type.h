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

// Whether a field of this type letter keeps its value in the memo file. `level7` marks dBase
// level 7 tables, whose B fields are binary memos.
bool dbf_is_memo_field(char letter, bool level7);

// The memo format of a table that has memo fields although its header names no memo file
// (several writers leave the Visual FoxPro memo flag clear, or write a dBase III or level 7
// signature without its memo variant): what its signature family uses, or memo_none.
dbf_memo_type dbf_memo_type_by_fields(std::uint8_t signature, std::uint8_t table_flags);

// The memo file's extension without the dot; empty for memo_none.
std::string_view dbf_memo_extension(dbf_memo_type type);
