#pragma once

#include <string_view>

// Name comparisons of the universal model. Names are compared either exactly or ignoring
// case; the case-ignoring form uses full Unicode case folding and never allocates, so it is
// cheap enough for lookups made once per field of a row.

// True when both names are equal after case folding (CustID equals custid).
bool udb_names_equal_nocase(std::u16string_view a, std::u16string_view b) noexcept;

// Exact comparison when case_sensitive is set, case folding otherwise.
inline bool udb_names_equal(std::u16string_view a, std::u16string_view b,
                            bool case_sensitive) noexcept {
  return case_sensitive ? a == b : udb_names_equal_nocase(a, b);
}

// Letter or digit in Unicode's sense, for whole-word checks in query texts.
bool udb_is_alnum(char32_t code_point) noexcept;
