// Rows formatted from a record's bytes against rows of the decoded record's values: the same
// text for every record of every shared table and of tables of awkward values, and the
// block readers of numbers and text against their one-byte-at-a-time forms.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "app/talvex_row_formatter.h"
#include "dbf/dbf_char_table.h"
#include "dbf/dbf_codepage_table.h"
#include "dbf/dbf_field.h"
#include "dbf/dbf_recordset.h"
#include "e2e/e2e_dbf.h"
#include "mss/mss_literal.h"
#include "mss/mss_text_literal.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_test_dir.h"
#include "udb/t_ftd.h"

namespace {

// The row as a decoded record gives it, or "threw" where a value cannot be written.
std::string decoded_row(dbf_recordset& table, dbf_record& record, std::int64_t position) {
  table.fill_record(record, position);
  std::string out;
  try {
    for (std::size_t i = 0; i < record.size(); ++i) {
      const t_ftd& column = table.schema()[i];
      udb_field& field = record[i];
      const ole_vartype vt = field.vt();
      if (vt != column.vartype && vt != VT_EMPTY && vt != VT_NULL)
        field.change_type(column.vartype);
      if (i != 0) out += ", ";
      mss_append_fld_str(out, field, column);
    }
  } catch (const tk_exception&) {
    return "threw";
  }
  return out;
}

std::string formatted_row(talvex_row_formatter& values, const char* bytes) {
  std::string out;
  values.set_record(bytes);
  try {
    values.append_values(out);
  } catch (const tk_exception&) {
    return "threw";
  }
  return out;
}

// Compares every record of the table; returns the number compared.
std::size_t compare_table(const std::string& path) {
  dbf_recordset table(tk_from_utf8_lossy(path), dbf_recordset::k_mode_read, 0);
  if (table.layouts().size() != table.schema().size()) return 0;
  talvex_row_formatter values(table, table.schema());
  const std::unique_ptr<dbf_record> record = table.make_record();
  for (std::int64_t position = 0; position < table.record_count(); ++position) {
    const std::string expected = decoded_row(table, *record, position);
    const std::string got = formatted_row(values, table.record_bytes(position));
    EXPECT_EQ(got, expected) << path << ", record " << position + 1;
    EXPECT_EQ(values.unreadable(), record->unreadable()) << path << ", record " << position + 1;
    if (got != expected) return 0;
  }
  return static_cast<std::size_t>(table.record_count());
}

TEST(talvex_row_formatter, every_shared_table_gives_the_decoded_records_rows) {
  const std::filesystem::path root(QV_TESTDATA_DIR);
  if (!std::filesystem::exists(root)) GTEST_SKIP() << "no shared test data";
  std::size_t tables = 0;
  std::size_t records = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    std::string ext = entry.path().extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".dbf") continue;
    try {
      records += compare_table(entry.path().string());
      ++tables;
    } catch (const tk_exception&) {
      // A table the reader refuses is no row formatter's business.
    }
  }
  EXPECT_GT(tables, 20u);
  EXPECT_GT(records, 1000u);
  std::printf("compared %zu records of %zu tables\n", records, tables);
}

TEST(talvex_row_formatter, awkward_values_give_the_decoded_records_rows) {
  const tk_test_dir dir;
  const std::vector<e2e_field> fields = {
      {"AMOUNT", 'N', 20, 4}, {"SMALL", 'N', 5, 2}, {"COUNT", 'N', 9}, {"BIG", 'N', 12},
      {"NAME", 'C', 40},      {"BORN", 'D', 8},     {"OK", 'L', 1},    {"WIDE", 'N', 20, 18},
  };
  const std::vector<std::string> numbers = {
      "",          "0",          "-0",    "-0.000",  "00012.3400", "1.2.3",
      "12a",       "*****",      "-",     ".",       ".5",         "-.5",
      "5.",        "+5",         "- 5",   "1 2",     "99999",      "-99999",
      "123456789", "-12345678",  "1e5",   "123.456", "0.0001",     "99.999",
      "-99.99",    "1234567890", "\0 12", "12\0 3",  "   -7.25",   "99999999999999999999"};
  const std::vector<std::string> texts = {
      "",          "plain",          "it's",       "$(VAR)",
      "cost $5",   "tab\there",      "line\r\nGO", "caf\xE9",
      "\x80 euro", "\x93quoted\x94", "x",          "{12345678-1234-1234-1234-123456789012} guid"};
  const std::vector<std::string> dates = {"",         "20240229", "20230229", "00000000",
                                          "17000101", "17530101", "99991231", "2024 1 1",
                                          "19991301", "00010101"};
  const std::vector<std::string> logicals = {"T", "F", "Y", "N", "?", " ", "t", "y", "\0"};
  std::vector<e2e_row> rows;
  for (std::size_t i = 0; i < 400; ++i) {
    const std::string& n = numbers[i % numbers.size()];
    rows.push_back({i % 13 == 0,
                    {n, numbers[(i / 3) % numbers.size()], numbers[(i / 5) % numbers.size()], n,
                     texts[i % texts.size()], dates[i % dates.size()],
                     logicals[i % logicals.size()], numbers[(i / 7) % numbers.size()]}});
  }
  e2e_write_dbf(dir.path() + "/odd.dbf", fields, rows, 0x03);
  EXPECT_EQ(compare_table(dir.path() + "/odd.dbf"), rows.size());
  e2e_write_dbf(dir.path() + "/odd866.dbf", fields, rows, 0x65);
  EXPECT_EQ(compare_table(dir.path() + "/odd866.dbf"), rows.size());
}

// Random number fields of every width up to 32 bytes, read as blocks, against the text the
// decoder reads printed one byte at a time.
TEST(talvex_row_formatter, number_fields_print_as_their_text_does) {
  std::mt19937 random(7);
  const std::string alphabet = "  0123456789000.--x\0*+e";
  for (int round = 0; round < 200000; ++round) {
    dbf_field_layout layout;
    layout.fd.bytes[32] = 'N';
    layout.offset = 1;
    layout.width = static_cast<std::uint32_t>(random() % 33);
    std::string record(1 + layout.width + dbf_field::k_block_pad, '9');
    // Right-aligned digits, as writers leave them, and now and then anything at all.
    const std::uint32_t lead = layout.width == 0 ? 0 : random() % (layout.width + 1);
    for (std::uint32_t i = 0; i < layout.width; ++i) {
      const bool digit_only = round % 3 == 0;
      record[1 + i] = i < lead && round % 2 == 0 ? ' '
                      : digit_only               ? static_cast<char>('0' + random() % 10)
                                                 : alphabet[random() % alphabet.size()];
    }
    if (round % 3 == 0 && lead < layout.width && random() % 2 == 0) record[1 + lead] = '-';
    if (round % 3 == 0 && layout.width > lead && random() % 2 == 0)
      record[1 + lead + random() % (layout.width - lead)] = '.';

    const std::string_view text = dbf_field::text_of(record.data(), layout);
    char expected[ole_decimal::k_text_size];
    const std::size_t expected_size =
        text.empty() ? dbf_field::k_blank : ole_decimal::print_plain(text, expected);
    char got[dbf_field::k_print_size];
    int whole_digits = -1;
    const std::size_t size = dbf_field::print_decimal(record.data(), layout, got, whole_digits);
    const std::string shown = std::string(record.substr(1, layout.width));
    ASSERT_EQ(size, expected_size) << '"' << shown << '"';
    if (size == 0 || size == dbf_field::k_blank) continue;
    const std::string_view printed(expected, size);
    ASSERT_EQ(std::string_view(got, size), printed) << '"' << shown << '"';
    const std::size_t sign = printed[0] == '-' ? 1 : 0;
    const std::size_t point = std::min(printed.find('.'), printed.size());
    ASSERT_EQ(whole_digits, printed[sign] == '0' ? 0 : static_cast<int>(point - sign))
        << '"' << shown << '"';
  }
}

// Random single-byte text quoted straight from its bytes against the decoded text's literal.
TEST(talvex_row_formatter, mapped_text_quotes_as_the_decoded_text_does) {
  std::mt19937 random(11);
  int mapped = 0;
  for (const int code_page : {1252, 866, 437, 1251, 1250}) {
    const dbf_char_table& chars = dbf_char_table::for_code_page(code_page);
    const auto* utf8 = chars.utf8_table();
    // A code page whose control bytes read as other characters has no table.
    if (utf8 == nullptr) continue;
    ++mapped;
    for (int round = 0; round < 20000; ++round) {
      std::string bytes(random() % 60, ' ');
      for (char& c : bytes) {
        const unsigned pick = random() % 10;
        c = pick < 6   ? static_cast<char>('a' + random() % 26)
            : pick < 8 ? static_cast<char>(0x80 + random() % 128)
                       : "'$(\r\n\tguid-0"[random() % 13];
      }
      ole_variant value;
      chars.decode(bytes, value);
      std::string expected;
      mss_append_text_value(expected, value);
      // Read in place, and from a buffer whose bytes after the text would each change it.
      const std::string padded = bytes + "'$\x01\x93'$\x01\x93'$\x01\x93'$\x01\x93";
      const std::string_view in_place(padded.data(), bytes.size());
      for (const bool pad : {false, true}) {
        std::string got = "x";
        if (mss_append_mapped_text(got, in_place, *utf8, pad)) {
          EXPECT_EQ(got.substr(1), expected) << code_page << ": " << bytes;
        } else {
          EXPECT_EQ(got, "x");
        }
        got = "x";
        if (mss_append_ascii_text(got, in_place, pad)) {
          EXPECT_EQ(got.substr(1), expected) << bytes;
        }
      }
    }
  }
  EXPECT_GE(mapped, 2);
}

}  // namespace
