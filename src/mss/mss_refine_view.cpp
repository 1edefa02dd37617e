#include "mss/mss_refine_view.h"

#include <array>

#include "tk/tk_log.h"

namespace {

constexpr char16_t fold(char16_t c) noexcept {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

void replace_all(std::u16string& text, std::u16string_view from, std::u16string_view to) {
  std::size_t pos = 0;
  while ((pos = text.find(from, pos)) != std::u16string::npos) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
}

struct keyword_action {
  icomparer keyword;
  std::u16string_view write;   // written in place of the keyword
  std::u16string_view suffix;  // written in place of the closing parenthesis
};

const std::array<keyword_action, 8>& actions() {
  static const std::array<keyword_action, 8> table{{
      {icomparer(u"_cp"), u"", u""},
      {icomparer(u"_utf"), u"", u""},
      {icomparer(u"_latin"), u"", u""},
      {icomparer(u"now"), u"getdate", u""},
      {icomparer(u"isnull"), u"", u") is null"},
      {icomparer(u"from_unixtime"), u"DateAdd(ss,", u"),'01-01-1970')"},
      {icomparer(u"curdate"), u"cast", u"getdate() as date)"},
      {icomparer(u"curtime"), u"convert", u"time, getdate())"},
  }};
  return table;
}

}  // namespace

bool icomparer::operator()(std::u16string_view text, std::size_t pos) const noexcept {
  if (pos >= text.size() || text.size() - pos <= keyword_.size()) return false;
  for (std::size_t i = 0; i < keyword_.size(); ++i) {
    if (fold(text[pos + i]) != fold(keyword_[i])) return false;
  }
  return true;
}

std::u16string refine_view(std::u16string_view text) {
  TK_LOG(2, "mss_database::refine_view");
  std::u16string out;
  out.reserve(text.size() + 16);
  bool in_string = false;
  bool back_quote_open = false;
  bool skipping = false;
  bool token_start = false;
  int depth = 0;
  std::u16string_view suffix;
  int suffix_depth = 0;

  // Copies one character outside a string unless skipping; back-quotes become brackets.
  auto copy = [&](char16_t c) {
    if (skipping) return;
    if (c == u'`') {
      out += back_quote_open ? u']' : u'[';
      back_quote_open = !back_quote_open;
    } else {
      out += c;
    }
  };

  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    const char16_t c = text[pos];
    if (c == u'\'') {
      in_string = !in_string;
      if (in_string) skipping = false;
      out += c;
      continue;
    }
    if (in_string) {
      out += c;
      continue;
    }
    if (c == u')') {
      --depth;
      if (!suffix.empty() && depth == suffix_depth) {
        out += suffix;
        TK_WLOG(1, "After adding suffix: '%s'", out);
        suffix = {};
        continue;
      }
    } else if (c == u'(') {
      ++depth;
      skipping = false;
    }
    if (c == u' ' || c == u',' || c == u'(') {
      copy(c);
      token_start = true;
      continue;
    }
    if (token_start && pos + 3 < text.size()) {
      bool matched = false;
      for (const keyword_action& action : actions()) {
        if (!action.keyword(text, pos)) continue;
        out += action.write;
        skipping = true;
        if (!action.suffix.empty()) {
          suffix = action.suffix;
          suffix_depth = depth;
        }
        matched = true;
        break;
      }
      if (matched) continue;
      copy(c);
      token_start = false;
      continue;
    }
    copy(c);
  }
  replace_all(out, u"IFNULL", u"ISNULL");
  replace_all(out, u"ifnull", u"isnull");
  return out;
}
