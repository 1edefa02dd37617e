// MS_Description extended properties (see the header).
#include "mss/mss_description.h"

#include "mss/mss_names.h"

std::u16string mss_description_statement(const std::u16string& safe_table,
                                         const std::u16string& table, const std::u16string& column,
                                         const std::u16string& text) {
  // The schema is the one the table was created in, whichever the login chose.
  std::u16string sql = u"DECLARE @schema sysname = OBJECT_SCHEMA_NAME(OBJECT_ID(" +
                       mss_quote_literal(safe_table) +
                       u"));\r\nEXEC sys.sp_addextendedproperty @name = N'MS_Description', "
                       u"@value = " +
                       mss_quote_literal(text) +
                       u", @level0type = N'SCHEMA', @level0name = @schema, @level1type = "
                       u"N'TABLE', @level1name = " +
                       mss_quote_literal(table);
  if (!column.empty())
    sql += u", @level2type = N'COLUMN', @level2name = " + mss_quote_literal(column);
  return sql + u";";
}
