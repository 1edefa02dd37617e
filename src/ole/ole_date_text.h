#pragma once

#include <string_view>

#include "ole/ole_systemtime.h"

// The general date reader, standing in for the platform's date parser with the English
// (United States) rules: a date of three numbers (month/day/year; year-month-day when the
// first number has three or four digits; day/month/year when the month cannot be one) or of
// an English month name with a day and a year, in any of the separators / - . , and blanks,
// optionally followed by a time h:mm or h:mm:ss. Weekday names are skipped. Two-digit years
// are widened as everywhere in the values layer. A bare time or a bare number is not read
// here. Fills st with a checked calendar date and returns true on success.
bool ole_parse_date_text(std::string_view text, ole_systemtime& st);
