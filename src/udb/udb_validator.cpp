#include "udb/udb_validator.h"

#include <algorithm>
#include <cstdio>

#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

namespace {

bool is_high_surrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}

// Cuts to at most n UTF-16 units without splitting a surrogate pair.
void cut_to(std::u16string& s, std::size_t n) {
  if (s.size() <= n) return;
  if (n > 0 && is_high_surrogate(s[n - 1])) --n;
  s.resize(n);
}

}  // namespace

udb_validator::udb_validator(std::uint32_t max_length) : max_length_(max_length) {
  TK_LOG(2, "udb_validator::ctor");
}

udb_validator::~udb_validator() = default;

bool udb_validator::is_acceptable(std::u16string_view name) {
  TK_WLOG(2, "udb_validator::is_acceptable(%s)", name);
  // An empty name cannot stand for a table or column anywhere.
  if (name.empty()) {
    TK_LOG(2, "The name is empty");
    return false;
  }
  if (max_length_ != 0 && name.size() > max_length_) {
    TK_LOG(1, "The name is too long");
    return false;
  }
  for (const std::u16string& restricted : restricted_names_) {
    if (udb_names_equal_nocase(name, restricted)) {
      TK_LOG(2, "The name is restricted");
      return false;
    }
  }
  for (const char16_t c : illegal_chars_) {
    if (name.find(c) != std::u16string_view::npos) {
      TK_WLOG(2, "The name contains illegal: %s", std::u16string(1, c));
      return false;
    }
  }
  return true;
}

bool udb_validator::is_duplicated(std::u16string_view name) {
  TK_WLOG(2, "udb_validator::is_duplicated(%s)", name);
  for (const std::u16string& existing : existing_names_) {
    TK_WLOG(1, "Processing %s", existing);
    if (udb_names_equal_nocase(name, existing)) {
      TK_LOG(2, "Name is duplicated");
      return true;
    }
  }
  return false;
}

std::u16string udb_validator::get_safe_name(std::u16string_view name) {
  TK_WLOG(2, "udb_validator::get_safe_name(%s)", name);
  const std::size_t limit = max_length_;
  std::u16string s(name);
  if (limit != 0 && s.size() > limit) cut_to(s, limit - 1);
  for (const char16_t c : illegal_chars_) std::replace(s.begin(), s.end(), c, u'_');
  if (is_acceptable(s) && !is_duplicated(s)) return s;

  // Five counter digits must fit; a shorter limit can never produce an acceptable name.
  TK_ASSERT(limit == 0 || limit >= 5);
  if (limit != 0 && s.size() + 5 > limit) cut_to(s, limit >= 6 ? limit - 6 : 0);
  const std::size_t base = s.size();
  char digits[8];
  for (int n = 0; n < k_counter_limit; ++n) {
    std::snprintf(digits, sizeof digits, "%05d", n);
    s.resize(base);
    for (const char* d = digits; *d != '\0'; ++d) s.push_back(static_cast<char16_t>(*d));
    if (is_acceptable(s) && !is_duplicated(s)) return s;
  }
  throw tk_mail_assertion(__FILE__, __LINE__);
}
