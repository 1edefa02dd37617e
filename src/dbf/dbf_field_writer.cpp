#include "dbf/dbf_field_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dbf/dbf_exception.h"
#include "dbf/dbf_paths.h"
#include "dbf/old_memo_file.h"
#include "tk/tk_file_name.h"
#include "tk/tk_log.h"

namespace {

void put_le32(char* dest, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) dest[i] = static_cast<char>(v >> (8 * i));
}

std::string memo_path_of(const std::string& table_path) {
  if (auto found = dbf_sibling_path(table_path, "dbt")) return *found;
  tk_file_name name(table_path);
  name.set_extension("dbt");
  return name.full_path();
}

void write_memo(const ole_variant& value, const dbf_field_layout& layout,
                const dbf_char_table& chars, const std::string& table_path, char* dest) {
  TK_LOG(1, "Processing as MEMO");
  std::u16string text;
  value.to_wstring(text);
  if (text.empty()) {
    TK_LOG(1, "Skip empty MEMO");
    return;
  }
  old_memo_file memo(memo_path_of(table_path), dbf_memo_file::k_mode_write);
  const std::uint32_t block = memo.next_block();
  memo.write_memo(block, chars.encode(text));
  char ref[16];
  const int n = std::snprintf(ref, sizeof ref, "%10u", block);
  if (static_cast<std::uint32_t>(n) > layout.width)
    throw dbf_exception("Memo block number does not fit its field");
  std::memcpy(dest + layout.width - static_cast<std::size_t>(n), ref, static_cast<std::size_t>(n));
}

void write_datetime(const ole_variant& value, char* dest) {
  TK_LOG(1, "Processing as DATETIME");
  ole_variant date = value;
  if (date.vt() != VT_DATE) {
    if (date.is_empty() || date.is_null()) {
      std::memset(dest, 0, 8);
      return;
    }
    date.change_type(VT_DATE);
  }
  const ole_systemtime& st = date.systemtime();
  const std::int64_t day = (st.year == 0 && st.month == 0 && st.day == 0)
                               ? 0
                               : dbf_julian_day(st.year, st.month, st.day);
  const std::uint32_t ms = (st.hour * 3600u + st.minute * 60u + st.second) * 1000u;
  put_le32(dest, static_cast<std::uint32_t>(day));
  put_le32(dest + 4, ms);
}

}  // namespace

std::int64_t dbf_julian_day(int year, int month, int day) {
  // Days since 1970-01-01 of the proleptic Gregorian date, then moved to Julian days.
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned mp = static_cast<unsigned>(month > 2 ? month - 3 : month + 9);
  const unsigned doy = (153 * mp + 2) / 5 + static_cast<unsigned>(day) - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t days_since_1970 = era * 146097 + static_cast<std::int64_t>(doe) - 719468;
  return days_since_1970 + 2440588;
}

void dbf_encode_field(const ole_variant& value, const dbf_field_layout& layout,
                      const dbf_char_table& chars, const std::string& table_path, char* dest) {
  const std::uint32_t width = layout.width;
  switch (layout.fd.field_type()) {
    case 'B': {
      TK_LOG(1, "Processing as DOUBLE");
      if (width < 8) return;
      const double d = value.to_double();
      std::memcpy(dest, &d, 8);
      return;
    }
    case 'L':
      TK_LOG(1, "Processing as LOGICAL");
      if (width >= 1) dest[0] = value.to_bool() ? 'T' : 'F';
      return;
    case 'I':
      TK_LOG(1, "Processing as INTEGER");
      if (width >= 4) put_le32(dest, static_cast<std::uint32_t>(value.to_long()));
      return;
    case 'M':
    case 'G':
      write_memo(value, layout, chars, table_path, dest);
      return;
    case 'T':
      if (width >= 8) write_datetime(value, dest);
      return;
    default:
      break;
  }
  const char letter = layout.fd.field_type();
  std::string text;
  if (letter == 'C' || layout.vartype == VT_BSTR) {
    std::u16string wide;
    value.to_wstring(wide);
    text = chars.encode(wide);
  } else {
    value.to_string(text);
  }
  if (letter == 'D' && std::count(text.begin(), text.end(), '-') == 2) {
    std::erase(text, '-');
    text.resize(std::min<std::size_t>(text.size(), 8));
  }
  if (letter == 'C') {
    std::memcpy(dest, text.data(), std::min<std::size_t>(text.size(), width));
    return;
  }
  if (text.size() > width) {
    if (layout.vartype == VT_BSTR) {
      text.resize(width);
    } else {
      TK_LOG(2, "Value '%s' does not fit field of %d bytes", text, static_cast<int>(width));
      throw dbf_exception("Value does not fit its field");
    }
  }
  std::memcpy(dest + (width - text.size()), text.data(), text.size());
}
