#pragma once

// Tokens of Visual FoxPro SQL text, for the view translation: names, numbers, strings in any
// of the three delimiters, date literals already in their T-SQL form, the dotted words
// (.T., .AND., ...) and operators. Line continuations and CR LF are white space.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tk/tk_exception.h"

// What the translation cannot take; its message says why. Caught by mss_translate_vfp_view.
class mss_vfp_untranslatable : public tk_exception {
 public:
  explicit mss_vfp_untranslatable(std::string_view why) : tk_exception(why, 0) {}
};

enum class mss_vfp_tok { name, number, text, date, dotted, op, end };

struct mss_vfp_token {
  mss_vfp_tok kind = mss_vfp_tok::end;
  // name: as written; number: as written; text: the string's contents; date: the T-SQL literal
  // with its quotes; dotted: the word upper-cased without dots ("T", "AND"); op: the operator.
  std::u16string text;
  std::size_t pos = 0;  // offset in the text, for messages
};

// Splits `sql`; throws mss_vfp_untranslatable on characters and literals it does not know.
std::vector<mss_vfp_token> mss_vfp_tokens(std::u16string_view sql);
