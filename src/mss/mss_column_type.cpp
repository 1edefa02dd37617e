// The server type of a column descriptor, for the CREATE TABLE of the server writer.

#include "mss/mss_column_type.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "mss/mss_server_facts.h"
#include "tk/tk_log.h"
#include "udb/t_ftd.h"
#include "udb/udb_custom_conversion.h"

std::u16string get_mss_native_type(const t_ftd& column, bool type_only) {
  TK_LOG(2, "get_mss_native_type1(bTypeOnly=%d)", type_only ? 1 : 0);
  TK_LOG(2, "vartype=%08X, size=%d", static_cast<unsigned>(column.vartype),
         static_cast<int>(column.size));
  const mss_server_facts* facts = mss_server_facts::instance_ptr();
  const bool unicode = mss_current_unicode();
  const std::uint32_t size = column.size;
  if (facts != nullptr && facts->version() >= 5 && facts->is_initialized() &&
      column.vartype == VT_DATE) {
    if (column.reserved == 2) return u"date";
    if (column.reserved == 3) return u"time";
  }
  auto sized = [&](std::u16string type) {
    if (!type_only) {
      char buf[16];
      const int n = std::snprintf(buf, sizeof buf, "(%u) ", static_cast<unsigned>(size));
      for (int i = 0; i < n; ++i) type += static_cast<char16_t>(buf[i]);
    }
    return type;
  };
  switch (column.vartype) {
    case VT_I2:
    case VT_UI2:
      return u"smallint";
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
      return u"int";
    case VT_R4:
      return u"real";
    case VT_R8:
      return u"float";
    case VT_CY:
      // smallmoney stops at 214748.3647; a currency value needs money.
      return u"money";
    case VT_DATE:
      return u"datetime";
    case VT_BSTR:
      if (size == 0 || size > 4000) return unicode ? u"nvarchar(max)" : u"varchar(max)";
      return sized(unicode ? u"nvarchar" : u"varchar");
    case VT_BOOL:
      return u"bit";
    case VT_DECIMAL:
      TK_LOG(3, "get_mss_native_type: VT_DECIMAL(%d)", static_cast<int>(column.get_precision()));
      return column.get_precision() < 39 ? u"numeric" : u"float";
    case VT_I1:
    case VT_UI1:
      return u"tinyint";
    case VT_I8:
    case VT_UI8:
      return u"bigint";
    case VT_BLOB:
    case VT_BLOB_OBJECT:
    case VT_BINARY:
      if (size == 0 || size > 8000) return u"varbinary(max)";
      return sized(u"varbinary");
    default:
      return unicode ? u"nvarchar(max)" : u"varchar(max)";
  }
}

std::u16string mss_server_column_type(const t_ftd& column) {
  if (!column.native_type.empty()) return column.native_type;
  if (udb_custom_conversion::is_acceptable1(column)) {
    std::u16string type = udb_custom_conversion::handle1(column);
    if (!type.empty()) return type;
  }
  const mss_server_facts* facts = mss_server_facts::instance_ptr();
  const bool modern = facts != nullptr && facts->version() >= 5;
  char buf[32];
  switch (column.vartype) {
    case VT_DECIMAL: {
      const std::uint32_t precision = column.get_precision();
      // No precision given: every integer part a decimal can have, with nine decimals.
      if (precision == 0) return u"numeric(38,9)";
      if (precision >= 39) return u"float";
      std::snprintf(buf, sizeof buf, "numeric(%u,%u)", precision, column.get_scale());
      return std::u16string(buf, buf + std::strlen(buf));
    }
    case VT_BSTR:
      if (column.reserved == 1 && modern) return u"uniqueidentifier";
      break;
    default:
      break;
  }
  std::u16string type = get_mss_native_type(column, false);
  while (!type.empty() && type.back() == u' ') type.pop_back();
  return type;
}
