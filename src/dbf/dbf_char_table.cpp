#include "dbf/dbf_char_table.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

#include "dbf/dbf_codepage_table.h"
#include "tk/tk_block16.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"

namespace {

using unit_table = std::array<char16_t, 256>;

// Bytes before the first above ASCII.
std::size_t ascii_prefix(std::string_view bytes) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= bytes.size(); i += 16) {
    const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
    if (const auto high = static_cast<unsigned>(_mm_movemask_epi8(sixteen)); high != 0)
      return i + static_cast<std::size_t>(std::countr_zero(high));
  }
#endif
  while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
  return i;
}

// Asks ICU (through the toolkit's converters) for each byte on its own. A byte the converter
// substitutes, or maps to more than one unit, is undefined in that code page.
bool build_from_converter(int code_page, unit_table& units) {
  if (!tk_is_codepage_known(code_page)) return false;
  units[0] = u'\0';
  for (int b = 1; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    std::u16string one;
    try {
      one = tk_from_codepage(std::string_view(&byte, 1), code_page);
    } catch (const tk_exception&) {
      one.clear();
    }
    const bool substituted = one.size() == 1 && one[0] == u'\x1A' && b != 0x1A;
    units[static_cast<std::size_t>(b)] =
        (one.size() == 1 && !substituted) ? one[0] : dbf_char_table::k_undefined;
  }
  return true;
}

// Kamenicky (Czech and Slovak MS-DOS): code page 437 with the upper half's first three rows
// holding the Czech and Slovak letters.
constexpr char16_t k_kamenicky_80_af[48] = {
    0x010C, 0x00FC, 0x00E9, 0x010F, 0x00E4, 0x010E, 0x0164, 0x010D,  // 80
    0x011B, 0x011A, 0x0139, 0x00CD, 0x013E, 0x013A, 0x00C4, 0x00C1,  // 88
    0x00C9, 0x017E, 0x017D, 0x00F4, 0x00F6, 0x00D3, 0x016F, 0x00DA,  // 90
    0x00FD, 0x00D6, 0x00DC, 0x0160, 0x013D, 0x00DD, 0x0158, 0x0165,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x0148, 0x0147, 0x016E, 0x00D4,  // A0
    0x0161, 0x0159, 0x0155, 0x0154, 0x00BC, 0x00A7, 0x00AB, 0x00BB,  // A8
};

// Mazovia (Polish MS-DOS): code page 437 with the Polish letters in place of some accented
// Latin letters; the box drawing characters stay where they are.
struct mazovia_entry {
  std::uint8_t byte;
  char16_t unit;
};
constexpr mazovia_entry k_mazovia[] = {
    {0x86, 0x0105}, {0x8D, 0x0107}, {0x8F, 0x0104}, {0x90, 0x0118}, {0x91, 0x0119}, {0x92, 0x0142},
    {0x95, 0x0106}, {0x98, 0x015A}, {0x9C, 0x0141}, {0x9E, 0x015B}, {0xA0, 0x0179}, {0xA1, 0x017B},
    {0xA3, 0x00D3}, {0xA4, 0x0144}, {0xA5, 0x0143}, {0xA6, 0x017A}, {0xA7, 0x017C},
};

unit_table own_table(int code_page) {
  unit_table units{};
  build_from_converter(437, units);
  if (code_page == 895) {
    for (int i = 0; i < 48; ++i) units[static_cast<std::size_t>(0x80 + i)] = k_kamenicky_80_af[i];
  } else {
    for (const mazovia_entry& e : k_mazovia) units[e.byte] = e.unit;
  }
  return units;
}

// Code pages no mark names but a code page file beside a table may: Vietnamese Windows,
// KOI8-R and KOI8-U, and the ISO 8859 parts.
constexpr int k_named_only[] = {1258,  20866, 21866, 28591, 28592, 28593, 28594, 28595, 28596,
                                28597, 28598, 28599, 28600, 28601, 28603, 28604, 28605, 28606};

class table_registry {
 public:
  table_registry() {
    add(1252);
    add(tk_cp_utf8);
    for (const int code_page : k_named_only) add(code_page);
    for (const auto& [mark, entry] : dbf_codepage_table()) {
      if (entry.code_page != 0) add(entry.code_page);
    }
  }

  const dbf_char_table* find(int code_page) const {
    const auto it = tables_.find(code_page == 0 ? 1252 : code_page);
    return it == tables_.end() ? nullptr : it->second.get();
  }

 private:
  void add(int code_page) {
    if (tables_.contains(code_page)) return;
    if (tk_codepage_char_size(code_page) > 1) {
      tables_.emplace(code_page, std::make_unique<dbf_char_table>(code_page));
      return;
    }
    unit_table units{};
    if (code_page == 895 || code_page == 620) {
      units = own_table(code_page);
    } else if (!build_from_converter(code_page, units)) {
      TK_LOG(2, "No converter for code page %d", code_page);
      return;
    }
    tables_.emplace(code_page, std::make_unique<dbf_char_table>(code_page, units));
  }

  std::unordered_map<int, std::unique_ptr<dbf_char_table>> tables_;
};

const table_registry& registry() {
  static const table_registry instance;
  return instance;
}

}  // namespace

dbf_char_table::dbf_char_table(int code_page, const std::array<char16_t, 256>& units)
    : code_page_(code_page), units_(units) {
  ascii_as_is_ = true;
  printable_as_is_ = true;
  for (std::size_t b = 0; b < 0x80; ++b) {
    ascii_as_is_ = ascii_as_is_ && units_[b] == b;
    if (b >= 0x20 && b < 0x7F) printable_as_is_ = printable_as_is_ && units_[b] == b;
  }
  for (std::size_t b = 0; b < 256; ++b) {
    const char16_t c = units_[b];
    std::array<char, 4>& seq = utf8_[b];
    if (c < 0x80) {
      seq = {static_cast<char>(c), 0, 0, 1};
    } else if (c < 0x800) {
      seq = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F)), 0, 2};
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      has_utf8_ = false;
    } else {
      seq = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
             static_cast<char>(0x80 | (c & 0x3F)), 3};
    }
  }
}

dbf_char_table::dbf_char_table(int code_page)
    : code_page_(code_page), has_utf8_(false), multibyte_(true) {
  for (std::size_t b = 0; b < 0x80; ++b) units_[b] = static_cast<char16_t>(b);
  for (std::size_t b = 0x80; b < 256; ++b) units_[b] = k_undefined;
  // A text of single bytes below 0x80 starts no multi-byte sequence, so the converter's
  // reading of all of them at once answers for each.
  std::string printable;
  for (char c = 0x20; c < 0x7F; ++c) printable += c;
  std::u16string decoded;
  tk_decode_codepage(printable, code_page, decoded);
  printable_as_is_ = std::equal(decoded.begin(), decoded.end(), printable.begin(), printable.end());
}

const dbf_char_table& dbf_char_table::for_code_page(int code_page) {
  const dbf_char_table* table = registry().find(code_page);
  if (table == nullptr) table = registry().find(1252);
  TK_ASSERT(table != nullptr);
  return *table;
}

bool dbf_char_table::has_code_page(int code_page) {
  return registry().find(code_page) != nullptr;
}

void dbf_char_table::decode(std::string_view bytes, std::u16string& out) const {
  if (multibyte_) {
    tk_decode_codepage(bytes, code_page_, out);
    return;
  }
  out.resize(bytes.size());
  char16_t* dest = out.data();
  const char* src = bytes.data();
  const char* const end = src + bytes.size();
#if defined(__SSE2__)
  if (ascii_as_is_) {
    // Blocks of sixteen, then eight bytes are widened by interleaving with zeros; the few
    // bytes of a block above ASCII are then looked up one by one.
    const __m128i zero = _mm_setzero_si128();
    while (end - src >= 16) {
      const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), _mm_unpacklo_epi8(sixteen, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + 8), _mm_unpackhi_epi8(sixteen, zero));
      for (auto high = static_cast<unsigned>(_mm_movemask_epi8(sixteen)); high != 0;
           high &= high - 1) {
        const int k = std::countr_zero(high);
        dest[k] = units_[static_cast<std::uint8_t>(src[k])];
      }
      dest += 16;
      src += 16;
    }
    if (end - src >= 8) {
      const __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), _mm_unpacklo_epi8(eight, zero));
      for (auto high = static_cast<unsigned>(_mm_movemask_epi8(eight)) & 0xFF; high != 0;
           high &= high - 1) {
        const int k = std::countr_zero(high);
        dest[k] = units_[static_cast<std::uint8_t>(src[k])];
      }
      dest += 8;
      src += 8;
    }
  }
#endif
  for (; src != end; ++src) *dest++ = units_[static_cast<std::uint8_t>(*src)];
}

void dbf_char_table::decode_utf8(std::string_view bytes, std::string& utf8) const {
  TK_ASSERT(has_utf8_);
  // Text that is ASCII up to some point is copied that far as it is, without first preparing
  // (and clearing) room for the longest UTF-8 form; most text is ASCII throughout.
  const std::size_t ascii = ascii_as_is_ ? ascii_prefix(bytes) : 0;
  utf8.assign(bytes.data(), ascii);
  if (ascii == bytes.size()) return;
  // The rest is written through a pointer into room for three UTF-8 bytes per byte (the most
  // one takes) and a block.
  const std::size_t n = bytes.size() - ascii;
  utf8.resize(ascii + 3 * n + 16);
  char* const base = utf8.data();
  char* p = base + ascii;
  const char* src = bytes.data() + ascii;
  const char* const end = src + n;
  const auto put = [&](char byte) {
    const auto b = static_cast<std::uint8_t>(byte);
    std::memcpy(p, utf8_[b].data(), 4);
    p += utf8_[b][3];
  };
#if defined(__SSE2__)
  if (ascii_as_is_) {
    // Sixteen bytes at a time, the last few through a padded copy: stored as they are, and
    // those before the first above ASCII count; that one goes through the table.
    while (src != end) {
      const auto left = static_cast<std::size_t>(end - src);
      const __m128i sixteen = tk_load_block16(src, left);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p), sixteen);
      const auto high = static_cast<unsigned>(_mm_movemask_epi8(sixteen));
      const std::size_t plain = std::min<std::size_t>(left, std::countr_zero(high | 0x10000u));
      src += plain;
      p += plain;
      if (src != end) put(*src++);
    }
  }
#endif
  for (; src != end; ++src) put(*src);
  utf8.resize(static_cast<std::size_t>(p - base));
}

void dbf_char_table::decode(std::string_view bytes, ole_variant& value) const {
  if (has_utf8_) {
    decode_utf8(bytes, value.utf8_text_buffer());
  } else {
    decode(bytes, value.text_buffer());
  }
}

std::u16string dbf_char_table::decode(std::string_view bytes) const {
  std::u16string out;
  decode(bytes, out);
  return out;
}

std::string dbf_char_table::encode(std::u16string_view text) const {
  if (multibyte_) return tk_to_ansi(text, code_page_);
  std::string out;
  out.reserve(text.size());
  for (const char16_t unit : text) {
    char byte = '?';
    if (unit < 0x80) {
      byte = static_cast<char>(unit);
    } else {
      for (int b = 0x80; b < 256; ++b) {
        if (units_[static_cast<std::size_t>(b)] == unit) {
          byte = static_cast<char>(b);
          break;
        }
      }
    }
    out.push_back(byte);
  }
  return out;
}
