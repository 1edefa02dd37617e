#pragma once

// A constant of an xBase expression in a neutral form, for a layer that writes it in another
// language: numbers keep their text, dates become ISO text, strings keep their bytes.

#include <cstdint>
#include <optional>
#include <string>

#include "dbf/dbf_xbase_lexer.h"

struct dbf_constant {
  enum class kind : std::uint8_t { number, string, date, datetime, logical, null };
  kind type = kind::null;
  // number: as written, with its sign ("-12.50"); string: the characters between the
  // delimiters, in the bytes of the expression; date "YYYY-MM-DD" and datetime
  // "YYYY-MM-DDThh:mm:ss". An empty date {} or { / / } is a date with empty text (and an empty
  // datetime {:} a datetime with empty text): the value a blank date field holds.
  std::string text;
  bool logical = false;

  friend bool operator==(const dbf_constant&, const dbf_constant&) = default;
};

// The constant a literal token stands for: a number, string, braces, logical or null token.
// None for any other token and for braces that hold no strict date ({^2024-01-31}) or
// datetime ({^2024-01-31 10:20:30}): a date written like {01/31/2024} reads by the settings of
// the program that wrote it, which the file does not record.
std::optional<dbf_constant> dbf_xbase_literal(const dbf_xbase_token& token);

// "YYYY-MM-DD" of a calendar date of the years 1 to 9999, none for a day that does not exist.
std::optional<std::string> dbf_xbase_iso_date(int year, int month, int day);

// "YYYY-MM-DDThh:mm:ss" of such a date and a time of day, none when either does not exist.
std::optional<std::string> dbf_xbase_iso_datetime(int year, int month, int day, int hour,
                                                  int minute, int second);
