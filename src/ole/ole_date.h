#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ole/ole_systemtime.h"
#include "ole/ole_variant.h"

// A date, a date and time, or a time of day: parsed from the many text forms source data
// holds, validated, and printed in one fixed form.
class ole_date {
 public:
  static constexpr int k_invalid = 0;
  static constexpr int k_datetime = 1;
  static constexpr int k_date = 2;
  static constexpr int k_time = 3;

  // Longest printed text plus its terminator.
  static constexpr std::size_t k_text_size = 40;

  ole_date() = default;
  explicit ole_date(const ole_systemtime& st);
  explicit ole_date(const ole_variant& value);  // VT_DATE, VT_EMPTY or VT_NULL
  explicit ole_date(std::string_view text);
  explicit ole_date(std::u16string_view text);

  bool is_valid() const;
  void refine_type();
  void import_from_string(std::string_view text);
  void process_milliseconds(std::string_view seconds);

  ole_variant to_variant() const;

  // The fixed text form; the narrow form prints a time as "0000-00-00 hh:mm:ss".
  std::string to_string(bool with_milliseconds = true) const;
  std::u16string to_wstring(bool with_milliseconds = true) const;
  // The same into a caller's buffer; returns the length (the text is terminated).
  std::size_t print(char (&out)[k_text_size], bool with_milliseconds, bool wide_form) const;

  int kind() const { return kind_; }
  const ole_systemtime& systemtime() const { return st_; }

 private:
  ole_systemtime st_{};
  int kind_ = k_invalid;
  // Set by every constructor: a date-time at exactly midnight prints as a date.
  bool midnight_as_date_ = true;
};
