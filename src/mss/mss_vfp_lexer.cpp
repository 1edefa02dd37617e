// Tokens of Visual FoxPro SQL text. Date literals are checked and rewritten here so that the
// parser sees a finished T-SQL literal.

#include "mss/mss_vfp_lexer.h"

#include <unicode/uchar.h>

#include <array>
#include <cstdio>

#include "tk/tk_encoding.h"

namespace {

[[noreturn]] void fail(std::string why) {
  throw mss_vfp_untranslatable(why);
}

bool is_blank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
bool is_digit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
bool is_name_start(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' ||
         (c >= 0x80 && (u_isalpha(c) || U16_IS_SURROGATE(c)));
}
bool is_name_char(char16_t c) {
  return is_name_start(c) || is_digit(c) || (c >= 0x80 && u_isalnum(c));
}
char16_t upper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

std::string at(std::size_t pos) {
  return " at offset " + std::to_string(pos);
}

// The number of digits read at `i` (at most `max`), their value in `value`.
std::size_t digits(std::u16string_view s, std::size_t i, std::size_t max, int& value) {
  std::size_t n = 0;
  value = 0;
  while (i + n < s.size() && n < max && is_digit(s[i + n]))
    value = value * 10 + (s[i + n++] - u'0');
  return n;
}

// {^yyyy/mm/dd[ hh[:mm[:ss]] [AM|PM]]} (separators / - .) as 'YYYYMMDD', or with a time as
// 'YYYY-MM-DDThh:mm:ss'. Both forms are read the same under every SET LANGUAGE and
// SET DATEFORMAT; 'YYYY-MM-DD' is not for datetime columns (it reads as year-day-month
// under dmy), which is what date fields become.
std::u16string date_literal(std::u16string_view body, std::size_t pos) {
  std::size_t i = 0;
  while (i < body.size() && is_blank(body[i])) ++i;
  if (i == body.size() || body.find_first_not_of(u" /-.:") == std::u16string_view::npos)
    fail("empty date literal {}" + at(pos) + ": an empty date has no T-SQL value");
  if (body[i] != u'^')
    fail("date literal without ^" + at(pos) + ": its meaning depends on SET DATE");
  ++i;
  int year = 0, month = 0, day = 0;
  const auto sep = [&](std::u16string_view seps) {
    if (i < body.size() && seps.find(body[i]) != std::u16string_view::npos) {
      ++i;
      return true;
    }
    return false;
  };
  const auto bad = [&]() { fail("malformed date literal" + at(pos)); };
  std::size_t n = digits(body, i, 4, year);
  if (n == 0) bad();
  i += n;
  if (!sep(u"/-.")) bad();
  if ((n = digits(body, i, 2, month)) == 0) bad();
  i += n;
  if (!sep(u"/-.")) bad();
  if ((n = digits(body, i, 2, day)) == 0) bad();
  i += n;
  static constexpr std::array<int, 12> days = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > days[month - 1] ||
      (month == 2 && day == 29 && !leap))
    fail("date literal with no such day" + at(pos));
  bool has_time = false;
  int hour = 0, minute = 0, second = 0;
  sep(u",");
  while (i < body.size() && is_blank(body[i])) ++i;
  if (i < body.size()) {
    has_time = true;
    if ((n = digits(body, i, 2, hour)) == 0) bad();
    i += n;
    if (sep(u":")) {
      if ((n = digits(body, i, 2, minute)) == 0) bad();
      i += n;
      if (sep(u":")) {
        if ((n = digits(body, i, 2, second)) == 0) bad();
        i += n;
      }
    }
    while (i < body.size() && is_blank(body[i])) ++i;
    if (i + 1 < body.size() && upper(body[i + 1]) == u'M' &&
        (upper(body[i]) == u'A' || upper(body[i]) == u'P')) {
      if (hour < 1 || hour > 12) bad();
      hour = hour % 12 + (upper(body[i]) == u'P' ? 12 : 0);
      i += 2;
    }
    while (i < body.size() && is_blank(body[i])) ++i;
    if (hour > 23 || minute > 59 || second > 59) fail("date literal with no such time" + at(pos));
  }
  if (i != body.size()) bad();
  char out[32];
  if (has_time)
    std::snprintf(out, sizeof out, "'%04d-%02d-%02dT%02d:%02d:%02d'", year, month, day, hour,
                  minute, second);
  else
    std::snprintf(out, sizeof out, "'%04d%02d%02d'", year, month, day);
  return tk_from_utf8(out);
}

// After a ";" only blanks may follow up to the line's end: it continues the line.
bool continuation(std::u16string_view s, std::size_t i) {
  for (++i; i < s.size() && s[i] != u'\r' && s[i] != u'\n'; ++i)
    if (s[i] != u' ' && s[i] != u'\t') return false;
  return true;
}

}  // namespace

std::vector<mss_vfp_token> mss_vfp_tokens(std::u16string_view s) {
  std::vector<mss_vfp_token> out;
  std::size_t i = 0;
  const auto push = [&](mss_vfp_tok kind, std::u16string text, std::size_t pos) {
    out.push_back({kind, std::move(text), pos});
  };
  while (i < s.size()) {
    const char16_t c = s[i];
    const std::size_t start = i;
    if (is_blank(c)) {
      ++i;
    } else if (c == u';') {
      if (!continuation(s, i)) fail("';' inside a line" + at(i));
      ++i;
    } else if (c == u'&') {
      if (i + 1 < s.size() && s[i + 1] == u'&') {
        while (i < s.size() && s[i] != u'\r' && s[i] != u'\n') ++i;  // && comment
      } else {
        fail("macro substitution (&)" + at(i) + ": its text is known only when the view runs");
      }
    } else if (c == u'?') {
      fail("view parameter (?)" + at(i) + ": T-SQL views take no parameters");
    } else if (is_name_start(c)) {
      while (i < s.size() && is_name_char(s[i])) ++i;
      push(mss_vfp_tok::name, std::u16string(s.substr(start, i - start)), start);
    } else if (is_digit(c) || (c == u'.' && i + 1 < s.size() && is_digit(s[i + 1]))) {
      while (i < s.size() && is_digit(s[i])) ++i;
      // "0.AND." is a number before an operator.
      if (i < s.size() && s[i] == u'.' && !(i + 1 < s.size() && is_name_start(s[i + 1]))) {
        ++i;
        while (i < s.size() && is_digit(s[i])) ++i;
      }
      if (i < s.size() && upper(s[i]) == u'E') {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-')) ++j;
        if (j < s.size() && is_digit(s[j])) {
          i = j;
          while (i < s.size() && is_digit(s[i])) ++i;
        }
      }
      if (i < s.size() && is_name_char(s[i])) fail("malformed number" + at(start));
      push(mss_vfp_tok::number, std::u16string(s.substr(start, i - start)), start);
    } else if (c == u'\'' || c == u'"' || c == u'[') {
      const char16_t close = c == u'[' ? u']' : c;
      const std::size_t end = s.find(close, i + 1);
      if (end == std::u16string_view::npos) fail("string without its closing quote" + at(i));
      push(mss_vfp_tok::text, std::u16string(s.substr(i + 1, end - i - 1)), start);
      i = end + 1;
    } else if (c == u'{') {
      const std::size_t end = s.find(u'}', i + 1);
      if (end == std::u16string_view::npos) fail("date literal without its '}'" + at(i));
      push(mss_vfp_tok::date, date_literal(s.substr(i + 1, end - i - 1), i), start);
      i = end + 1;
    } else if (c == u'.') {
      // .T. .F. .Y. .N. .NULL. .AND. .OR. .NOT.
      std::size_t j = i + 1;
      std::u16string word;
      while (j < s.size() && ((s[j] >= u'a' && s[j] <= u'z') || (s[j] >= u'A' && s[j] <= u'Z')))
        word += upper(s[j++]);
      if (j < s.size() && s[j] == u'.' &&
          (word == u"T" || word == u"F" || word == u"Y" || word == u"N" || word == u"NULL" ||
           word == u"AND" || word == u"OR" || word == u"NOT")) {
        push(mss_vfp_tok::dotted, word, start);
        i = j + 1;
      } else {
        push(mss_vfp_tok::op, u".", start);
        ++i;
      }
    } else {
      static constexpr std::array<std::u16string_view, 6> pairs = {u"==", u"!=", u"<>",
                                                                   u"<=", u">=", u"**"};
      std::u16string op;
      for (const std::u16string_view p : pairs)
        if (s.substr(i, 2) == p) op = p;
      // xBase also takes the comparisons written the other way round.
      if (s.substr(i, 2) == u"=>") op = u">=";
      if (s.substr(i, 2) == u"=<") op = u"<=";
      if (op.empty() &&
          std::u16string_view(u"=<>#+-*/%^(),!$").find(c) != std::u16string_view::npos)
        op = std::u16string(1, c);
      if (op.empty()) fail("unexpected character" + at(i));
      i += op.size();
      push(mss_vfp_tok::op, op, start);
    }
  }
  out.push_back({mss_vfp_tok::end, u"", s.size()});
  return out;
}
