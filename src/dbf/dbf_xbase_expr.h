#pragma once

// What the converter can carry over from the xBase expressions that index tags, FOR filters
// and field defaults store: a key's fields in order, a filter made of ANDed comparisons of a
// field with a constant, a default that is a constant or the current date or time. Anything
// else gives none and the caller goes without. The results name no target language; the
// layer that writes the target renders them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/dbf_xbase_constant.h"

// The fields of an index key in key order, spelt as in `fields` (matched ignoring case).
// A key is one field or fields joined by +, each field optionally qualified (alias.field,
// alias->field) and inside any nesting of UPPER, LOWER, ALLTRIM, LTRIM, RTRIM, TRIM, DTOS,
// DTOC, TTOC, STR, PADL, PADR, PADC, BINTOC, LEFT(f, n) and SUBSTR(f, 1[, n]), whose further
// arguments are constants; a wrapper may hold a joined run (UPPER(last+first)). Function names
// may be abbreviated to four letters. None for anything else: other functions or operators,
// SUBSTR from another position, constants among the fields, a field the table lacks, a field
// named twice (an index cannot hold a column twice).
std::optional<std::vector<std::string>> dbf_translate_key(std::string_view expr,
                                                          const std::vector<std::string>& fields);

// One condition of a filter: a field compared with a constant, or tested alone.
struct dbf_filter_term {
  enum class op : std::uint8_t { eq, ne, lt, le, gt, ge, not_empty, is_true, is_false };
  std::string field;  // as spelt in `fields`
  op relation = op::eq;
  dbf_constant value;  // unused for not_empty, is_true, is_false

  friend bool operator==(const dbf_filter_term&, const dbf_filter_term&) = default;
};

struct dbf_filter {
  // The filter is nothing but !DELETED() (NOT DELETED(), .NOT. DELETED()).
  bool not_deleted_only = false;
  // ANDed conditions; !DELETED() beside other conditions leaves no term of its own.
  std::vector<dbf_filter_term> terms;

  friend bool operator==(const dbf_filter&, const dbf_filter&) = default;
};

// A FOR filter as conditions joined by AND / .AND.: !EMPTY(field), field compared with a
// constant by = == # != <> < <= =< > >= => (either side may hold the field), a field alone
// (true) or negated (false), !DELETED(); NOT before a comparison turns it round (!(a = 1) is
// a # 1). Both = and == give eq: with SET EXACT OFF, xBase's = compares a string only up to
// the length of the right-hand one, which the caller has to weigh. None for OR and anything
// else.
std::optional<dbf_filter> dbf_translate_filter(std::string_view expr,
                                               const std::vector<std::string>& fields);

struct dbf_default {
  enum class kind : std::uint8_t { constant, today, now };
  kind type = kind::constant;
  dbf_constant value;  // for a constant

  friend bool operator==(const dbf_default&, const dbf_default&) = default;
};

// A field default: a constant (DATE(y, m, d) and DATETIME(y, m, d[, h[, mi[, s]]]) with whole
// numbers are constants too), DATE() for the current date, DATETIME() for the current date and
// time. None for anything else, TIME() among them: it gives the time as text, which no
// neutral kind stands for.
std::optional<dbf_default> dbf_translate_default(std::string_view expr);
