#pragma once

#include <cstdint>
#include <map>
#include <string>

// The code page marks of a DBF header (its language-driver byte), in mark order.
struct dbf_codepage_entry {
  int code_page;  // 0 means the platform's default ANSI code page for DBF data
  std::string display_name;
};

const std::map<std::uint8_t, dbf_codepage_entry>& dbf_codepage_table();

bool dbf_is_codepage_mark(int mark);

// The user's choice of UTF-8 for every table's text: no mark names it, so the choice, kept
// where a mark is kept otherwise, takes its Windows code page number.
inline constexpr int dbf_choice_utf8 = 65001;

// True for a mark of the table and for dbf_choice_utf8.
bool dbf_is_encoding_choice(int choice);

// A mark missing from the table decodes with code page 0.
int dbf_codepage_of_mark(std::uint8_t mark);
