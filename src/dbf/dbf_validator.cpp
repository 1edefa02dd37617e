#include "dbf/dbf_validator.h"

#include <unicode/uchar.h>

#include <cstdio>

#include "tk/tk_exception.h"
#include "tk/tk_log.h"

namespace {

bool is_name_char(char16_t c) {
  return u_isalnum(c) || c == u'_' || c == u'-';
}

}  // namespace

dbf_validator::dbf_validator() : udb_validator(k_max_length) {}

bool dbf_validator::is_acceptable(std::u16string_view name) {
  TK_WLOG(2, "dbf_validator::is_acceptable(%s)", name);
  if (name.size() > k_max_length) {
    TK_LOG(1, ">>> not acceptable (too long)!");
    return false;
  }
  for (const char16_t c : name) {
    if (!is_name_char(c)) {
      TK_LOG(1, ">>> not acceptable (illegal symbol)!");
      return false;
    }
  }
  TK_LOG(1, ">>> acceptable!");
  return true;
}

std::u16string dbf_validator::get_safe_name(std::u16string_view name) {
  TK_WLOG(2, "dbf_validator::get_safe_name(%s)", name);
  std::u16string s(name);
  if (s.empty() || !u_isalpha(s.front())) s.insert(s.begin(), u'A');
  if (s.size() > k_max_length) s.resize(k_max_length);
  for (char16_t& c : s) {
    if (!is_name_char(c)) c = u'_';
  }
  if (is_acceptable(s) && !is_duplicated(s)) return s;

  if (s.size() > 7) s.resize(7);
  for (int n = 0; n < k_suffix_limit; ++n) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "%03d", n);
    std::u16string candidate = s;
    for (const char* p = suffix; *p != '\0'; ++p) candidate.push_back(static_cast<char16_t>(*p));
    if (is_acceptable(candidate) && !is_duplicated(candidate)) return candidate;
  }
  throw tk_mail_assertion(__FILE__, __LINE__);
}
