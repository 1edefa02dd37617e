#include "mss/mss_validator.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <array>

#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "udb/udb_schema.h"

bool mss_validator::is_acceptable(std::u16string_view name) {
  TK_WLOG(1, "mss_validator::is_acceptable(%s)", name);
  if (!udb_validator::is_acceptable(name)) return false;
  TK_LOG(1, "udb_validator::is_acceptable has been passed");
  TK_ASSERT(!name.empty());
  if (name.size() >= 2 && name.front() == u'[' && name.back() == u']') {
    TK_LOG(1, "Names enclosed in [...] are always acceptable");
    return true;
  }
  UChar32 first = 0;
  std::size_t i = 0;
  U16_NEXT(name.data(), i, name.size(), first);
  return first == U'_' || u_isalpha(first) != 0;
}

std::u16string mss_validator::get_safe_name(std::u16string_view name) {
  TK_WLOG(1, "mss_validator::get_safe_name(%s)", name);
  static constexpr std::array<std::u16string_view, 6> k_prefixes{u"_", u"1", u"_",
                                                                 u"2", u"_", u"3"};
  std::u16string result(name);
  for (std::size_t retry = 0; is_duplicated(result); ++retry) {
    TK_LOG(2, "Duplicate table name was found");
    result.insert(0, k_prefixes[retry % k_prefixes.size()]);
  }
  return result;
}

mss_tn_validator::mss_tn_validator(const std::vector<std::u16string>& first,
                                   const std::vector<std::u16string>& second) {
  TK_LOG(1, "mss_tn_validator::ctor");
  for (const auto* list : {&first, &second}) {
    for (const std::u16string& name : *list) {
      TK_WLOG(1, "udb_validator::add_existing_name(%s)", name);
      add_existing_name(name);
    }
  }
}

mss_fn_validator::mss_fn_validator(const udb_schema& schema) {
  TK_LOG(2, "mss_fn_validator::ctor1");
  for (const t_ftd& column : schema) {
    if (!column.name.empty() && is_acceptable(column.name)) {
      TK_WLOG(1, "udb_validator::add_existing_name(%s)", column.name);
      add_existing_name(column.name);
    }
  }
}
