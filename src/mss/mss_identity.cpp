// Identity columns of both writers: seeds from the source's next values, and the reseed after
// the rows (see the header).
#include "mss/mss_identity.h"

#include <algorithm>

#include "mss/mss_names.h"

namespace {

std::u16string number(std::int64_t value) {
  const std::string text = std::to_string(value);
  return std::u16string(text.begin(), text.end());
}

}  // namespace

std::u16string mss_identity_clause(const t_ftd& column) {
  if (!column.auto_next && column.auto_step == 1) return u" IDENTITY";
  const std::int64_t seed =
      column.auto_next ? std::min<std::int64_t>(1, *column.auto_next - column.auto_step) : 1;
  return u" IDENTITY(" + number(seed) + u"," + number(column.auto_step) + u")";
}

std::u16string mss_reseed_statement(std::u16string_view safe_table, const udb_schema& columns,
                                    bool had_rows) {
  for (const t_ftd& column : columns) {
    if (!column.b_auto_num || !column.auto_next) continue;
    const std::u16string name = mss_quote_literal(safe_table);
    const bool ascii =
        std::all_of(safe_table.begin(), safe_table.end(), [](char16_t c) { return c < 0x80; });
    // A plain literal where the name allows it: some servers' DBCC takes no N prefix.
    return u"DBCC CHECKIDENT (" + (ascii ? name.substr(1) : name) + u", RESEED, " +
           number(*column.auto_next - (had_rows ? column.auto_step : 0)) + u")";
  }
  return {};
}
