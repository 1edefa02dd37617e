#include "ole/ole_variant.h"

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <functional>
#include <utility>
#include <vector>

namespace {

ole_variant parse(std::string_view text, ole_vartype kind) {
  return ole_variant::from_string(text, kind);
}

ole_variant changed(ole_variant v, ole_vartype kind) {
  v.change_type(kind);
  return v;
}

TEST(ole_variant_from_string, empty_text_is_empty_except_for_text) {
  for (const ole_vartype kind :
       {VT_I2, VT_I4, VT_R8, VT_CY, VT_DECIMAL, VT_DATE, VT_BOOL, VT_BINARY}) {
    EXPECT_EQ(parse("", kind).vt(), VT_EMPTY) << kind;
  }
  const ole_variant text = parse("", VT_BSTR);
  ASSERT_EQ(text.vt(), VT_BSTR);
  EXPECT_EQ(text.text(), u"");
}

TEST(ole_variant_from_string, integers_read_their_leading_number_within_range) {
  EXPECT_EQ(parse("  -42abc", VT_I4).i4(), -42);
  EXPECT_EQ(parse("abc", VT_I4).i4(), 0);
  EXPECT_EQ(parse("+7", VT_I2).i2(), 7);
  EXPECT_EQ(parse("12.9", VT_I4).i4(), 12);
  EXPECT_EQ(parse("255", VT_UI1).ui1(), 255);
  EXPECT_EQ(parse("4294967295", VT_UI4).ui4(), 4294967295u);
  EXPECT_EQ(parse("-9223372036854775808", VT_I8).i8(), INT64_MIN);
  EXPECT_EQ(parse("18446744073709551615", VT_UI8).ui8(), UINT64_MAX);
  // A number the kind cannot hold is refused rather than wrapped.
  EXPECT_THROW(parse("32768", VT_I2), ole_cast_exception);
  EXPECT_THROW(parse("256", VT_UI1), ole_cast_exception);
  EXPECT_THROW(parse("-1", VT_UI4), ole_cast_exception);
  EXPECT_THROW(parse("99999999999", VT_I4), ole_cast_exception);
  EXPECT_THROW(parse("9223372036854775808", VT_I8), ole_cast_exception);
  EXPECT_THROW(parse("18446744073709551616", VT_UI8), ole_cast_exception);
}

TEST(ole_variant_from_string, floating_numbers_take_a_comma_as_point) {
  EXPECT_EQ(parse("12,50", VT_R8).r8(), 12.5);
  EXPECT_EQ(parse(" -1.5e2xyz", VT_R8).r8(), -150.0);
  EXPECT_EQ(parse("abc", VT_R8).r8(), 0.0);
  EXPECT_EQ(parse("0.1", VT_R4).r4(), 0.1f);
  EXPECT_EQ(parse("1e-400", VT_R8).r8(), 0.0);
  EXPECT_THROW(parse("1e400", VT_R8), ole_cast_exception);
  EXPECT_THROW(parse("1e39", VT_R4), ole_cast_exception);
}

TEST(ole_variant_from_string, decimal_and_currency_ignore_the_locale) {
  // A user locale with a decimal comma must not change how text is read or written.
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old != nullptr ? old : "C";
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  const ole_variant dec = parse("1,5", VT_DECIMAL);
  const ole_variant r8 = parse("2.25", VT_R8);
  std::setlocale(LC_ALL, saved.c_str());
  ASSERT_EQ(dec.vt(), VT_DECIMAL);
  EXPECT_EQ(dec.to_string(), "1.5");
  EXPECT_EQ(r8.r8(), 2.25);

  EXPECT_EQ(parse("abc", VT_CY).vt(), VT_EMPTY);
  EXPECT_EQ(parse("1.234.5", VT_DECIMAL).vt(), VT_EMPTY);
  EXPECT_EQ(parse("   123.45", VT_DECIMAL).to_string(), "123.45");
  EXPECT_EQ(parse("2,5", VT_CY).cy().int64, 25000);
  EXPECT_EQ(parse("922337203685477.5808", VT_CY).vt(), VT_EMPTY);
}

TEST(ole_variant_from_string, booleans) {
  for (const char* yes : {"TRUE", "Yes", "true", "2", "-1", "1abc"}) {
    EXPECT_TRUE(parse(yes, VT_BOOL).to_bool()) << yes;
  }
  for (const char* no : {"No", "false", "FALSE", "0", "x", "T"}) {
    EXPECT_FALSE(parse(no, VT_BOOL).to_bool()) << no;
  }
  EXPECT_EQ(parse("yes", VT_BOOL).bool_val(), -1);
}

TEST(ole_variant_from_string, hexadecimal_bytes) {
  const ole_variant prefixed = parse("0x0a0b", VT_BINARY);
  ASSERT_EQ(prefixed.vt(), VT_BINARY);
  EXPECT_EQ(std::vector<std::uint8_t>(prefixed.bytes().begin(), prefixed.bytes().end()),
            (std::vector<std::uint8_t>{0x0A, 0x0B}));
  const ole_variant plain = parse("FF00aB", VT_BLOB);
  EXPECT_EQ(plain.vt(), VT_BINARY);
  EXPECT_EQ(plain.to_string(), "0xFF00AB");
  EXPECT_EQ(parse("\\X01", VT_BINARY).to_string(), "0x01");
  EXPECT_EQ(parse("abc", VT_BINARY).vt(), VT_EMPTY);
  EXPECT_EQ(parse("0x", VT_BINARY).bytes().size(), 0u);
  EXPECT_THROW(parse("0x0g", VT_BINARY), ole_type_exception);
}

TEST(ole_variant_from_string, other_kinds_go_through_the_type_change) {
  EXPECT_EQ(parse("42", VT_INT).i4(), 42);
  EXPECT_EQ(parse("héllo", VT_BSTR).text(), u"h\u00e9llo");
  EXPECT_THROW(parse("abc", VT_UINT), ole_type_exception);
  EXPECT_THROW(parse("abc", VT_NULL), ole_type_exception);
}

TEST(ole_variant_from_string, wide_text_keeps_text_and_parses_the_rest) {
  EXPECT_EQ(ole_variant::from_wstring(u" x\u20ac ", VT_BSTR).text(), u" x\u20ac ");
  EXPECT_EQ(ole_variant::from_wstring(u"20170612", VT_DATE).to_string(), "2017-06-12");
  EXPECT_EQ(ole_variant::from_wstring(u"123.45", VT_DECIMAL).to_string(), "123.45");
  EXPECT_EQ(ole_variant::from_wstring(u"", VT_DATE).vt(), VT_EMPTY);
  EXPECT_EQ(ole_variant::from_wstring(u"1\u00e9", VT_I4).i4(), 1);
}

TEST(ole_variant_change_type, does_nothing_for_same_empty_null_and_binary_pairs) {
  EXPECT_EQ(changed(ole_variant(), VT_I4).vt(), VT_EMPTY);
  ole_variant null;
  null.set_null();
  EXPECT_EQ(changed(null, VT_BSTR).vt(), VT_NULL);
  EXPECT_EQ(changed(parse("0x01", VT_BINARY), VT_BLOB).vt(), VT_BINARY);
}

TEST(ole_variant_change_type, sixty_four_bit_integers) {
  EXPECT_EQ(changed(ole_variant(5LL), VT_CY).cy().int64, 50000);
  EXPECT_EQ(changed(ole_variant(-7LL), VT_BSTR).text(), u"-7");
  EXPECT_EQ(changed(ole_variant(18446744073709551615ULL), VT_BSTR).text(), u"18446744073709551615");
  EXPECT_EQ(changed(ole_variant(-7LL), VT_DECIMAL).to_string(), "-7");
  EXPECT_EQ(changed(ole_variant(300LL), VT_I2).i2(), 300);
  EXPECT_EQ(changed(ole_variant(2LL), VT_BOOL).bool_val(), -1);
  EXPECT_EQ(changed(ole_variant(3LL), VT_R8).r8(), 3.0);
  EXPECT_THROW(changed(ole_variant(70000LL), VT_I2), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(-1LL), VT_UI8), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(INT64_MAX), VT_CY), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(1LL), VT_DATE), ole_cast_exception);
}

TEST(ole_variant_change_type, to_sixty_four_bits) {
  EXPECT_EQ(changed(ole_variant(ole_currency{25000}), VT_I8).i8(), 3);
  EXPECT_EQ(changed(ole_variant(ole_currency{-25000}), VT_I8).i8(), -2);
  EXPECT_EQ(changed(ole_variant(ole_currency{24999}), VT_I8).i8(), 2);
  EXPECT_EQ(changed(ole_variant(-2.9), VT_I8).i8(), -2);
  EXPECT_EQ(changed(ole_variant(true), VT_I8).i8(), -1);
  EXPECT_EQ(changed(ole_variant(static_cast<unsigned char>(200)), VT_UI8).ui8(), 200u);
  EXPECT_EQ(changed(parse("2.5", VT_DECIMAL), VT_I8).i8(), 2);
  EXPECT_EQ(changed(ole_variant(u"-42"), VT_I8).i8(), -42);
  EXPECT_THROW(changed(ole_variant(1e19), VT_I8), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(-1), VT_UI8), ole_cast_exception);
}

TEST(ole_variant_change_type, floating_to_32_and_16_bits_rounds_half_away_from_zero) {
  EXPECT_EQ(changed(ole_variant(2.5), VT_UI4).ui4(), 3u);
  EXPECT_EQ(changed(ole_variant(2.5), VT_I4).i4(), 3);
  EXPECT_EQ(changed(ole_variant(-2.5), VT_I4).i4(), -3);
  EXPECT_EQ(changed(ole_variant(2.4f), VT_I2).i2(), 2);
  EXPECT_THROW(changed(ole_variant(1e10), VT_I4), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(-0.6), VT_UI2), ole_cast_exception);
  // The other integer kinds round half to even, as the VARIANT type change does.
  EXPECT_EQ(changed(ole_variant(2.5), VT_UI1).ui1(), 2);
  EXPECT_EQ(changed(ole_variant(3.5), VT_I1).i1(), 4);
}

TEST(ole_variant_change_type, text_and_numbers) {
  // A text column value arrives at a numeric column as a number.
  EXPECT_EQ(changed(ole_variant(u"42"), VT_I4).i4(), 42);
  EXPECT_EQ(changed(ole_variant(u" 2.5 "), VT_I4).i4(), 2);
  EXPECT_EQ(changed(ole_variant(u"12.5"), VT_R8).r8(), 12.5);
  EXPECT_EQ(changed(ole_variant(u"12.5"), VT_DECIMAL).to_string(), "12.5");
  EXPECT_EQ(changed(ole_variant(u"-3.25"), VT_CY).cy().int64, -32500);
  EXPECT_EQ(changed(ole_variant(u"True"), VT_BOOL).bool_val(), -1);
  EXPECT_EQ(changed(ole_variant(u"0"), VT_BOOL).bool_val(), 0);
  EXPECT_THROW(changed(ole_variant(u"abc"), VT_I4), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(u"12,50"), VT_R8), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(u"40000"), VT_I2), ole_cast_exception);

  EXPECT_EQ(changed(ole_variant(12.5), VT_BSTR).text(), u"12.5");
  EXPECT_EQ(changed(ole_variant(0.1f), VT_BSTR).text(), u"0.1");
  EXPECT_EQ(changed(ole_variant(1e20), VT_BSTR).text(), u"1E+20");
  EXPECT_EQ(changed(ole_variant(true), VT_BSTR).text(), u"-1");
  EXPECT_EQ(changed(ole_variant(ole_currency{25000}), VT_BSTR).text(), u"2.5");
  EXPECT_EQ(changed(ole_variant(7), VT_DECIMAL).to_string(), "7");
  EXPECT_EQ(changed(ole_variant(0.5), VT_CY).cy().int64, 5000);
  EXPECT_EQ(changed(ole_variant(0), VT_BOOL).bool_val(), 0);
  EXPECT_EQ(changed(ole_variant(static_cast<short>(-1)), VT_BOOL).bool_val(), -1);
  EXPECT_EQ(changed(ole_variant(true), VT_I2).i2(), -1);
  EXPECT_THROW(changed(ole_variant(1e300), VT_R4), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(1e30), VT_DECIMAL), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(300), VT_UI1), ole_cast_exception);
}

TEST(ole_variant_change_type, decimals_to_integers) {
  EXPECT_EQ(changed(parse("2.5", VT_DECIMAL), VT_I4).i4(), 2);
  EXPECT_EQ(changed(parse("-3.5", VT_DECIMAL), VT_I2).i2(), -4);
  EXPECT_EQ(changed(parse("65535.4", VT_DECIMAL), VT_UI2).ui2(), 65535);
  EXPECT_THROW(changed(parse("4294967296", VT_DECIMAL), VT_UI4), ole_cast_exception);
  EXPECT_THROW(changed(parse("-1", VT_DECIMAL), VT_UI4), ole_cast_exception);
}

TEST(ole_variant_change_type, dates_only_to_and_from_text) {
  const ole_variant date = parse("2017-06-12 10:20:30", VT_DATE);
  EXPECT_EQ(changed(date, VT_BSTR).text(), u"2017-06-12 10:20:30");
  EXPECT_EQ(changed(parse("12:30", VT_DATE), VT_BSTR).text(), u"12:30:00");
  EXPECT_THROW(changed(date, VT_R8), ole_cast_exception);
  EXPECT_THROW(changed(date, VT_BINARY), ole_cast_exception);
  const ole_variant from_text = changed(ole_variant(u"31.12.2017"), VT_DATE);
  EXPECT_EQ(from_text.to_string(), "2017-12-31");
  EXPECT_THROW(changed(ole_variant(u"not a date"), VT_DATE), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(3.0), VT_DATE), ole_cast_exception);
}

TEST(ole_variant_change_type, bytes_of_values) {
  const auto bytes = [](const ole_variant& v) {
    return std::vector<std::uint8_t>(v.bytes().begin(), v.bytes().end());
  };
  EXPECT_EQ(bytes(changed(ole_variant(0x01020304), VT_BINARY)),
            (std::vector<std::uint8_t>{4, 3, 2, 1}));
  EXPECT_EQ(bytes(changed(ole_variant(true), VT_BLOB)), (std::vector<std::uint8_t>{0xFF, 0xFF}));
  EXPECT_EQ(changed(ole_variant(1.0), VT_BINARY).bytes().size(), 8u);
  EXPECT_EQ(changed(parse("1.5", VT_DECIMAL), VT_BINARY).bytes().size(), 16u);
  EXPECT_EQ(changed(ole_variant(0x0102030405060708LL), VT_BINARY).to_string(),
            "0x0807060504030201");
  EXPECT_EQ(bytes(changed(ole_variant(u"h\u00e9"), VT_BINARY)),
            (std::vector<std::uint8_t>{'h', 0xC3, 0xA9}));
  // And back: bytes are read as UTF-8 text; nothing else is made of them.
  EXPECT_EQ(changed(parse("0x68C3A9", VT_BINARY), VT_BSTR).text(), u"h\u00e9");
  EXPECT_EQ(changed(parse("0x", VT_BINARY), VT_BSTR).text(), u"");
  EXPECT_THROW(changed(parse("0xFF", VT_BINARY), VT_BSTR), ole_cast_exception);
  EXPECT_THROW(changed(parse("0x01", VT_BINARY), VT_I4), ole_cast_exception);
}

TEST(ole_variant_to_string, fixed_forms) {
  EXPECT_EQ(ole_variant(true).to_string(), "1");
  EXPECT_EQ(ole_variant(false).to_string(), "0");
  EXPECT_EQ(ole_variant(12.5).to_string(), "1.2500000000000000e+01");
  EXPECT_EQ(ole_variant(12.5f).to_string(), "1.250000e+01");
  EXPECT_EQ(ole_variant(static_cast<signed char>(-5)).to_string(), "-5");
  EXPECT_EQ(ole_variant(4294967295u).to_string(), "4294967295");
  EXPECT_EQ(ole_variant(INT64_MIN).to_string(), "-9223372036854775808");
  EXPECT_EQ(ole_variant(ole_currency{-5}).to_string(), "-0.0005");
  EXPECT_EQ(ole_variant().to_string(), "");
  EXPECT_EQ(ole_variant(u"x\u00e9").to_string(), "x\xc3\xa9");
  EXPECT_EQ(ole_variant(u"x\u00e9").to_wstring(), u"x\u00e9");
  EXPECT_EQ(ole_variant(-3).to_wstring(), u"-3");
  EXPECT_EQ(parse("0x", VT_BINARY).to_string(), "");
  EXPECT_EQ(changed(ole_variant(9), VT_INT).to_string(), "9");
}

TEST(ole_variant_to_string, every_printed_value_reads_back) {
  const ole_variant values[] = {
      ole_variant(-32768),
      ole_variant(static_cast<short>(32767)),
      ole_variant(INT64_MAX),
      ole_variant(UINT64_MAX),
      ole_variant(0.1),
      ole_variant(-1.7976931348623157e308),
      ole_variant(4.9e-324),
      ole_variant(ole_currency{INT64_MIN}),
      ole_variant(ole_currency{INT64_MAX}),
      parse("0x00FF10", VT_BINARY),
      parse("79228162514264337593543950335", VT_DECIMAL),
      parse("-0.0000000000000000000000000001", VT_DECIMAL),
      parse("2017-06-12 10:20:30.005", VT_DATE),
      ole_variant(u"text, with comma"),
  };
  for (const ole_variant& v : values) {
    EXPECT_EQ(parse(v.to_string(), v.vt()), v) << v.to_string();
  }
}

TEST(ole_variant_numbers, out_by_kind) {
  EXPECT_EQ(ole_variant(2.9).to_long(), 2);
  EXPECT_EQ(ole_variant(-2.9).to_long(), -2);
  EXPECT_EQ(ole_variant(static_cast<unsigned char>(200)).to_i8(), 200);
  EXPECT_EQ(ole_variant(true).to_long(), 1);
  EXPECT_EQ(ole_variant(true).to_double(), 1.0);
  EXPECT_EQ(ole_variant().to_double(), 0.0);
  EXPECT_EQ(ole_variant(ole_currency{25000}).to_long(), 2);
  EXPECT_EQ(ole_variant(ole_currency{35000}).to_i8(), 4);
  EXPECT_EQ(ole_variant(ole_currency{-12345}).to_double(), -1.2345);
  EXPECT_EQ(parse("-2.5", VT_DECIMAL).to_long(), -2);
  EXPECT_EQ(parse("123.45", VT_DECIMAL).to_double(), 123.45);
  EXPECT_EQ(ole_variant(5000000000LL).to_i8(), 5000000000LL);
  EXPECT_EQ(ole_variant(UINT64_MAX).to_ui8(), UINT64_MAX);
  // Values that do not fit are refused, not wrapped or zeroed.
  EXPECT_THROW(ole_variant(5000000000LL).to_long(), ole_cast_exception);
  EXPECT_THROW(ole_variant(1e10).to_long(), ole_cast_exception);
  EXPECT_THROW(ole_variant(4294967295u).to_long(), ole_cast_exception);
  EXPECT_THROW(parse("1e20", VT_DECIMAL).to_long(), ole_cast_exception);
  EXPECT_THROW(ole_variant(UINT64_MAX).to_i8(), ole_cast_exception);
  EXPECT_THROW(ole_variant(-1).to_ui8(), ole_cast_exception);
  EXPECT_THROW(ole_variant(u"1").to_double(), tk_mail_assertion);
  EXPECT_EQ(ole_variant(u"1").to_long(), 0);
}

TEST(ole_variant_numbers, booleans_out) {
  EXPECT_TRUE(ole_variant(0.1).to_bool());
  EXPECT_FALSE(ole_variant(0.0).to_bool());
  EXPECT_FALSE(ole_variant(ole_currency{4000}).to_bool());  // rounds to 0
  EXPECT_TRUE(parse("1e20", VT_DECIMAL).to_bool());
  EXPECT_TRUE(ole_variant(1LL << 40).to_bool());
  EXPECT_FALSE(ole_variant(u"yes").to_bool());
  EXPECT_FALSE(changed(ole_variant(1), VT_UI1).to_bool() == false);
}

TEST(ole_variant_binary, arrays) {
  ole_variant v;
  const std::uint8_t raw[] = {1, 2, 3};
  v.attach_binary(3, raw);
  std::vector<std::uint8_t> out;
  EXPECT_EQ(v.get_bytes(out), 3u);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3}));
  v.allocate_safe_array(5);
  EXPECT_EQ(v.get_bytes(out), 5u);
  EXPECT_EQ(out[2], 3);
  v.attach_binary(std::vector<std::uint8_t>{9});
  EXPECT_EQ(v.to_string(), "0x09");
  EXPECT_EQ(ole_variant().get_bytes(out), 0u);
  EXPECT_TRUE(out.empty());
  EXPECT_THROW(ole_variant(1).get_bytes(out), tk_mail_assertion);
  EXPECT_THROW(v.attach_binary(2, nullptr), tk_mail_assertion);
  convert_to_byte_array(raw, 2, out);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2}));
}

TEST(ole_variant_values, copies_and_refills_keep_buffers) {
  ole_variant a(u"a fairly long text that does not fit the small string buffer");
  ole_variant b(u"another long text that does not fit the small string buffer either");
  const char16_t* storage = b.text().data();
  b = a;
  EXPECT_EQ(b, a);
  EXPECT_EQ(b.text().data(), storage);  // the old buffer was large enough
  b.set_i4(5);
  std::u16string& buf = b.text_buffer();
  EXPECT_EQ(buf.data(), storage);
  buf = u"refilled";
  EXPECT_EQ(b.text(), u"refilled");
  b.assign_from_string("17", VT_I4);
  EXPECT_EQ(b.i4(), 17);

  const std::u16string original = a.text();
  ole_variant moved(std::move(a));
  EXPECT_EQ(moved.text(), original);
  EXPECT_EQ(a.vt(), VT_EMPTY);

  ole_variant date(ole_systemtime{2017, 6, 1, 12, 0, 0, 0, 0});
  ole_variant copy(date);
  EXPECT_EQ(copy.systemtime().day, 12);
  EXPECT_EQ(copy.date(), date.date());
  ole_variant bad_date(ole_systemtime{2017, 2, 0, 30, 0, 0, 0, 0});
  EXPECT_EQ(bad_date.vt(), VT_DATE);
  EXPECT_EQ(bad_date.date(), 0.0);
}

// A UTF-8 form given with the text stands only while the text does: every change forgets it,
// and copies do not carry it.
TEST(ole_variant_values, utf8_form_stands_only_for_the_text_it_came_with) {
  const auto with_form = [] {
    ole_variant v;
    v.text_buffer() = u"Z\u00FCrich";
    v.utf8_form_buffer() = "Z\xC3\xBCrich";
    return v;
  };
  ole_variant v = with_form();
  ASSERT_NE(v.utf8_form(), nullptr);
  EXPECT_EQ(*v.utf8_form(), "Z\xC3\xBCrich");

  const std::vector<std::pair<const char*, std::function<void(ole_variant&)>>> changes = {
      {"set_text", [](ole_variant& x) { x.set_text(u"other"); }},
      {"text_buffer", [](ole_variant& x) { x.text_buffer() = u"other"; }},
      {"attach_string", [](ole_variant& x) { x.attach_string("other"); }},
      {"number and back",
       [](ole_variant& x) {
         x.set_i4(5);
         x.change_type(VT_BSTR);
       }},
      {"copy assigned", [](ole_variant& x) { x = ole_variant(u"other"); }},
      {"moved into",
       [](ole_variant& x) {
         ole_variant other(u"other");
         x = std::move(other);
       }},
      {"buffers released",
       [](ole_variant& x) {
         x.release_buffers(0);
         x.text_buffer() = u"other";
       }},
  };
  for (const auto& [name, change] : changes) {
    ole_variant changed = with_form();
    change(changed);
    EXPECT_EQ(changed.utf8_form(), nullptr) << name;
  }
  const ole_variant original = with_form();
  const ole_variant copy(original);
  EXPECT_EQ(copy.utf8_form(), nullptr);
  ole_variant number;
  number.set_i4(3);
  number.utf8_form_buffer() = "3";
  EXPECT_EQ(number.utf8_form(), nullptr);  // only text has a UTF-8 form
}

// Text given as UTF-8 alone is the same value as the same text given as UTF-16, to every
// reader, copy, move, comparison and change of kind; its UTF-16 form is worked out once asked.
TEST(ole_variant_values, text_given_as_utf8_alone_reads_as_its_utf16) {
  const std::u16string wide = u"Z\u00FCrich \u20AC 'q' \U0001F600";
  const auto given_as_utf8 = [](std::string_view utf8) {
    ole_variant v;
    v.set_i4(7);  // buffers of an earlier kind do not leak into the text
    v.utf8_text_buffer() = utf8;
    return v;
  };
  const std::string utf8 = "Z\xC3\xBCrich \xE2\x82\xAC 'q' \xF0\x9F\x98\x80";
  const ole_variant v = given_as_utf8(utf8);
  ASSERT_EQ(v.vt(), VT_BSTR);
  ASSERT_NE(v.utf8_form(), nullptr);
  EXPECT_EQ(*v.utf8_form(), utf8);
  EXPECT_EQ(v.text(), wide);
  EXPECT_EQ(v, ole_variant(wide));
  EXPECT_EQ(v.to_string(), utf8);
  EXPECT_EQ(v.to_wstring(), wide);

  const ole_variant copy(given_as_utf8(utf8));  // moved from a temporary
  EXPECT_EQ(copy.text(), wide);
  ole_variant assigned(u"something longer than the text before it, to be reused");
  assigned = given_as_utf8(utf8);
  EXPECT_EQ(assigned.text(), wide);
  ASSERT_NE(assigned.utf8_form(), nullptr);
  EXPECT_EQ(*assigned.utf8_form(), utf8);
  ole_variant copied;
  copied = v;
  EXPECT_EQ(copied.text(), wide);

  ole_variant date = given_as_utf8("2024-02-29");
  date.change_type(VT_DATE);
  EXPECT_EQ(date.systemtime().day, 29);
  ole_variant bytes = given_as_utf8("\xC3\xBC");
  bytes.change_type(VT_BINARY);
  EXPECT_EQ(bytes.bytes().size(), 2u);

  // Refilled as UTF-16 afterwards, the old UTF-8 text no longer stands for it.
  ole_variant refilled = given_as_utf8(utf8);
  refilled.text_buffer() = u"new";
  EXPECT_EQ(refilled.text(), u"new");
  EXPECT_EQ(refilled.utf8_form(), nullptr);
  ole_variant emptied = given_as_utf8("");
  EXPECT_TRUE(emptied.text().empty());
}

// A decimal given as its text is the value parse_plain reads from it, to every reader, copy,
// comparison and change of kind, and prints as that value does.
TEST(ole_variant_values, decimal_given_as_text_is_the_decimal_it_spells) {
  const auto given_as_text = [](std::string_view text) {
    ole_variant v;
    v.utf8_text_buffer() = std::string(5000, 'x');  // a large buffer of an earlier kind
    EXPECT_TRUE(v.set_decimal_text(text)) << text;
    return v;
  };
  for (const char* text : {"-0012.500", "0.05", "-0.000", "123456789012345678", ".5", "7."}) {
    ole_decimal expected;
    ASSERT_TRUE(ole_decimal::parse_plain(text, expected));
    const ole_variant v = given_as_text(text);
    ASSERT_EQ(v.vt(), VT_DECIMAL);
    char printed[ole_decimal::k_text_size];
    char want[ole_decimal::k_text_size];
    EXPECT_EQ(std::string(printed, v.format_decimal(printed)),
              std::string(want, expected.format(want)))
        << text;
    EXPECT_EQ(v.to_string(), std::string(want, expected.format(want))) << text;
    EXPECT_EQ(v, ole_variant(expected)) << text;
    const ole_variant copy(v);
    EXPECT_EQ(copy.decimal().scale, expected.scale) << text;
    ole_variant moved_into;
    moved_into = given_as_text(text);
    EXPECT_EQ(moved_into.decimal().scale, expected.scale) << text;
    ole_variant released = given_as_text(text);
    released.release_buffers(0);
    EXPECT_EQ(released, ole_variant(expected)) << text;
    ole_variant real = given_as_text(text);
    real.change_type(VT_R8);
    EXPECT_DOUBLE_EQ(real.r8(), expected.to_double()) << text;
  }
  ole_variant kept(3);
  EXPECT_FALSE(kept.set_decimal_text("1e5"));
  EXPECT_EQ(kept.vt(), VT_I4);
  kept.set_decimal_text("2.5");
  kept.set_decimal(ole_decimal::from_i8(4));  // a parsed value replaces the text
  EXPECT_EQ(kept.to_string(), "4");
}

TEST(ole_variant_values, releasing_buffers_frees_only_large_ones) {
  ole_variant small(u"a text of some forty characters, or so");
  small.release_buffers(1024);
  EXPECT_EQ(small.text(), u"a text of some forty characters, or so");

  ole_variant large(std::u16string(5000, u'x'));
  large.release_buffers(1024);
  EXPECT_EQ(large.vt(), VT_EMPTY);  // not a text that silently lost its characters
  EXPECT_LT(large.text_buffer().capacity(), 1024u);

  ole_variant bytes;
  bytes.bytes_buffer().resize(4096);
  bytes.release_buffers(1024);
  EXPECT_EQ(bytes.vt(), VT_EMPTY);
  EXPECT_LT(bytes.bytes_buffer().capacity(), 1024u);

  // A number keeps its value when the text buffer it no longer uses is freed.
  ole_variant number(std::u16string(5000, u'y'));
  number.set_i4(7);
  number.release_buffers(1024);
  EXPECT_EQ(number.i4(), 7);
  EXPECT_LT(number.text_buffer().capacity(), 1024u);
}

TEST(ole_variant_values, dates_from_parts_give_the_same_ole_date_however_they_are_copied) {
  ole_systemtime st;
  st.year = 2024;
  st.month = 2;
  st.day = 29;
  st.hour = 18;
  double expected = 0;
  ASSERT_TRUE(ole_systemtime_to_variant_time(st, expected));

  ole_variant v;
  ASSERT_TRUE(v.set_date(st));
  // Copies and moves taken before the OLE date is first asked for carry the same date.
  const ole_variant copied(v);
  ole_variant assigned;
  assigned = v;
  ole_variant source(v);
  const ole_variant moved(std::move(source));
  EXPECT_DOUBLE_EQ(copied.date(), expected);
  EXPECT_DOUBLE_EQ(assigned.date(), expected);
  EXPECT_DOUBLE_EQ(moved.date(), expected);
  EXPECT_DOUBLE_EQ(v.date(), expected);
  EXPECT_EQ(v.systemtime(), st);

  // Refilled from an OLE date, the new date wins; refilled from parts again, so do they.
  ASSERT_TRUE(v.set_date(1.5));
  EXPECT_DOUBLE_EQ(v.date(), 1.5);
  st.year = 1899;
  st.month = 12;
  st.day = 29;
  st.hour = 6;
  ASSERT_TRUE(v.set_date(st));
  EXPECT_DOUBLE_EQ(v.date(), -1.25);

  // Parts without an OLE date: false, the date 0 and the parts kept.
  for (const auto& [year, month, day, hour] :
       {std::array{2023, 2, 29, 0}, std::array{2024, 13, 1, 0}, std::array{2024, 1, 0, 0},
        std::array{2024, 1, 1, 24}, std::array{10000, 1, 1, 0}}) {
    ole_systemtime bad;
    bad.year = static_cast<std::uint16_t>(year);
    bad.month = static_cast<std::uint16_t>(month);
    bad.day = static_cast<std::uint16_t>(day);
    bad.hour = static_cast<std::uint16_t>(hour);
    ole_variant b;
    EXPECT_FALSE(b.set_date(bad)) << year << "-" << month << "-" << day << " " << hour;
    EXPECT_EQ(b.systemtime(), bad);
    EXPECT_EQ(b.date(), 0.0);
  }
  // A time of day alone is a fraction of day 0.
  ole_systemtime noon;
  noon.hour = 12;
  ASSERT_TRUE(v.set_date(noon));
  EXPECT_DOUBLE_EQ(v.date(), 0.5);
}

TEST(ole_variant_values, narrow_constructors_choose_text_not_bool) {
  EXPECT_EQ(ole_variant("abc").vt(), VT_BSTR);
  EXPECT_EQ(ole_variant(std::string("abc")).text(), u"abc");
  EXPECT_EQ(ole_variant(std::string_view("a\0b", 3)).text().size(), 3u);
  EXPECT_EQ(ole_variant(static_cast<std::int64_t>(1)).vt(), VT_I8);
  EXPECT_EQ(ole_variant(static_cast<std::int8_t>(1)).vt(), VT_I1);
  EXPECT_THROW(ole_variant("\xff"), tk_exception);
}

}  // namespace
