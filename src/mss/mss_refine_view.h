#pragma once

#include <string>
#include <string_view>

// One keyword of the view rewriting: whether a text has it at a position, letter case
// ignored, with at least one character after it.
class icomparer {
 public:
  explicit icomparer(std::u16string_view keyword) : keyword_(keyword) {}
  bool operator()(std::u16string_view text, std::size_t pos) const noexcept;
  std::u16string_view keyword() const noexcept { return keyword_; }

 private:
  std::u16string_view keyword_;
};

// A view's SELECT text rewritten from the dialect it was written in into T-SQL: back-quoted
// names bracketed, now(), isnull(x), from_unixtime(x), curdate(), curtime() and IFNULL turned
// into their T-SQL forms, character-set prefixes of strings dropped.
std::u16string refine_view(std::u16string_view text);
