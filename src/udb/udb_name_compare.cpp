#include "udb/udb_name_compare.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

bool udb_names_equal_nocase(std::u16string_view a, std::u16string_view b) noexcept {
  if (a == b) return true;
  UErrorCode status = U_ZERO_ERROR;
  const int32_t order =
      u_strCaseCompare(a.data(), static_cast<int32_t>(a.size()), b.data(),
                       static_cast<int32_t>(b.size()), U_FOLD_CASE_DEFAULT, &status);
  return U_SUCCESS(status) && order == 0;
}

bool udb_is_alnum(char32_t code_point) noexcept {
  return u_isalnum(static_cast<UChar32>(code_point)) != 0;
}
