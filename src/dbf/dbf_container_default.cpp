// Container field defaults as column defaults (see the header).
#include "dbf/dbf_container_default.h"

#include "dbf/dbf_xbase_expr.h"
#include "tk/tk_encoding.h"

std::optional<ole_variant> dbf_container_default(const t_ftd& column, const std::string& expr) {
  if (expr.empty()) return ole_variant();
  const std::optional<dbf_default> parsed = dbf_translate_default(expr);
  const bool date = column.vartype == VT_DATE;
  if (parsed && parsed->type != dbf_default::kind::constant && date)
    return ole_variant(std::u16string(u"getdate()"));
  if (parsed && parsed->type == dbf_default::kind::constant) {
    const dbf_constant& value = parsed->value;
    using k = dbf_constant::kind;
    // NULL is every nullable column's default already.
    if (value.type == k::null) return ole_variant();
    if (value.type == k::logical && column.vartype == VT_BOOL) return ole_variant(value.logical);
    const bool fits =
        (value.type == k::number && t_ftd::is_numeric_type(column.vartype) &&
         column.vartype != VT_BOOL) ||
        (value.type == k::string && column.vartype == VT_BSTR) ||
        ((value.type == k::date || value.type == k::datetime) && date && !value.text.empty());
    if (fits) return ole_variant(tk_from_utf8_lossy(value.text));
  }
  return std::nullopt;
}
