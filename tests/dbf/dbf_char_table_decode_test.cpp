#include <gtest/gtest.h>

#include <string>

#include "dbf/dbf_char_table.h"
#include "dbf/dbf_codepage_table.h"
#include "tk/tk_encoding.h"

namespace {

// Whatever the mix of ASCII and other bytes, and wherever blocks of plain bytes begin and
// end, decoding gives one table unit per byte, and the UTF-8 form is that text's, for every
// code page of the mark table.
TEST(dbf_char_table_decode, mixed_bytes_of_every_length_match_the_table) {
  const int code_pages[] = {0, 437, 850, 866, 1250, 1251, 1252, 1253, 620, 895};
  for (const int code_page : code_pages) {
    const dbf_char_table& table = dbf_char_table::for_code_page(code_page);
    ASSERT_TRUE(table.has_utf8()) << code_page;
    std::u16string out = u"left over from before";
    std::string utf8 = "left over from before";
    for (std::size_t length = 0; length <= 50; ++length) {
      for (std::size_t at = 0; at <= length; ++at) {
        std::string bytes;
        for (std::size_t i = 0; i < length; ++i)
          bytes += static_cast<char>(i == at || i % 13 == length % 7 ? 0x80 + (i * 7 + at) % 128
                                                                     : 0x20 + (i * 5) % 95);
        table.decode(bytes, out);
        ASSERT_EQ(out.size(), bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i) {
          ASSERT_EQ(out[i], table[static_cast<std::uint8_t>(bytes[i])])
              << code_page << " length " << length << " at " << i;
        }
        table.decode_utf8(bytes, utf8);
        ASSERT_EQ(utf8, tk_to_utf8(out)) << code_page << " length " << length << " at " << at;
      }
    }
  }
}

}  // namespace
