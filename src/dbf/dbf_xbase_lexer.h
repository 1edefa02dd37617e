#pragma once

// Tokens of the xBase expressions that index tags, FOR filters and field defaults of dBase and
// FoxPro files store as text. Only what the converter reads from such expressions is known;
// anything else makes the whole text unreadable rather than guessed at.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

struct dbf_xbase_token {
  enum class kind : std::uint8_t {
    name,     // field, alias or function name
    number,   // digits with an optional fraction and exponent, no sign
    string,   // text is the characters between the delimiters
    braces,   // a date or datetime literal; text is what stands between { and }
    logical,  // .T. .F. .Y. .N.; `truth` holds the value
    null,     // .NULL.
    op_and,   // AND .AND.
    op_or,    // OR .OR.
    op_not,   // NOT .NOT. !
    op,       // an operator; text is its spelling: = == # != <> < <= =< > >= => + - * / % ^ ** $
    open,     // (
    close,    // )
    comma,
    dot,    // the qualifier of alias.field
    arrow,  // the qualifier of alias->field
    end,    // after the last token
  };
  kind type;
  std::string_view text;  // a view into the lexed expression
  bool truth = false;
};

// The tokens of `expr`, ending with one of kind `end`; none when `expr` holds a character no
// token starts with, or an unterminated string or date literal. The views point into `expr`.
std::optional<std::vector<dbf_xbase_token>> dbf_xbase_lex(std::string_view expr);

// Whether `written` names the function `full` (upper case): equal ignoring case, or, as xBase
// allows, an abbreviation of at least four letters ("ALLT" for ALLTRIM).
bool dbf_xbase_names_function(std::string_view written, std::string_view full);
