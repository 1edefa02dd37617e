#include "dbf/dbf_codepage_table.h"

const std::map<std::uint8_t, dbf_codepage_entry>& dbf_codepage_table() {
  static const std::map<std::uint8_t, dbf_codepage_entry> table = {
      {0x00, {0, "Default"}},
      {0x01, {437, "U.S. MS-DOS"}},
      {0x02, {850, "International MS-DOS"}},
      {0x03, {1252, "Windows ANSI"}},
      {0x04, {10000, "Standard Macintosh"}},
      {0x26, {866, "866 DOS Russian"}},
      {0x57, {1251, "1251 Windows ANSI"}},
      {0x64, {852, "Eastern European MS-DOS"}},
      {0x65, {866, "Russian MS-DOS"}},
      {0x66, {865, "Nordic MS-DOS"}},
      {0x67, {861, "Icelandic MS-DOS"}},
      {0x68, {895, "Kamenicky (Czech) MS-DOS"}},
      {0x69, {620, "Mazovia (Polish) MS-DOS"}},
      {0x6A, {737, "Greek MS-DOS (437G)"}},
      {0x6B, {857, "Turkish MS-DOS"}},
      {0x7E, {1256, "Arabic Windows"}},
      {0x96, {10007, "Russian Macintosh"}},
      {0x97, {10029, "Eastern European Macintosh"}},
      {0x98, {10006, "Greek Macintosh"}},
      {0xC8, {1250, "Eastern European Windows"}},
      {0xC9, {1251, "Russian Windows"}},
      {0xCA, {1254, "Turkish Windows"}},
      {0xCB, {1253, "Greek Windows"}},
  };
  return table;
}

bool dbf_is_codepage_mark(int mark) {
  return mark >= 0 && mark <= 0xFF &&
         dbf_codepage_table().contains(static_cast<std::uint8_t>(mark));
}

int dbf_codepage_of_mark(std::uint8_t mark) {
  const auto& table = dbf_codepage_table();
  const auto it = table.find(mark);
  return it == table.end() ? 0 : it->second.code_page;
}
