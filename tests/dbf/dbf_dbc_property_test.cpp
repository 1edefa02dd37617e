// Splitting PROPERTY memos of container objects: the records of real containers' layout, and
// memos damaged in each way a length can be wrong, which must fail rather than over-read or loop.
#include "dbf/dbf_dbc_property.h"

#include <gtest/gtest.h>

#include <string>

#include "dbf/dbf_exception.h"
#include "dbf_test_util.h"

namespace {

// One record: total length, id length, id (little-endian, `id_size` bytes), value.
std::string record(std::uint32_t id, const std::string& value, int id_size = 1) {
  std::string r(6 + static_cast<std::size_t>(id_size), '\0');
  dbf_put_le(r, 0, r.size() + value.size(), 4);
  dbf_put_le(r, 4, static_cast<std::uint64_t>(id_size), 2);
  dbf_put_le(r, 6, id, id_size);
  return r + value;
}

std::string text_record(dbf_dbc_prop id, const std::string& text) {
  return record(static_cast<std::uint32_t>(id), text + '\0');
}

std::string with_length(std::string r, std::uint32_t length) {
  dbf_put_le(r, 0, length, 4);
  return r;
}

}  // namespace

TEST(DbcPropertyTest, SplitsRecordsAndReadsTextAndBytes) {
  // As a real table object stores them: class byte, path, an unknown id, primary key.
  const std::string memo = record(0x02, std::string(1, '\x01')) +
                           text_record(dbf_dbc_prop::path, "..\\data\\orders.dbf") +
                           record(0x0F, std::string("__ri_update_orders()\0", 21)) +
                           text_record(dbf_dbc_prop::primary_key, "orderid");
  const auto props = dbf_dbc_properties(memo);
  ASSERT_EQ(props.size(), 4u);
  EXPECT_EQ(props[2].id, 0x0Fu);
  EXPECT_EQ(dbf_dbc_text(props, dbf_dbc_prop::path), "..\\data\\orders.dbf");
  EXPECT_EQ(dbf_dbc_text(props, dbf_dbc_prop::primary_key), "orderid");
  EXPECT_EQ(dbf_dbc_byte(props, dbf_dbc_prop::object_class, -1), 1);
  // Absent properties give the empty text and the caller's default.
  EXPECT_EQ(dbf_dbc_text(props, dbf_dbc_prop::comment), "");
  EXPECT_EQ(dbf_dbc_byte(props, dbf_dbc_prop::key_tag, -1), -1);
}

TEST(DbcPropertyTest, TextStopsAtTheFirstNulAndWideIdsReadLittleEndian) {
  const std::string memo = record(0x2A, std::string("SELECT 1\0junk", 13)) +
                           record(0x0120, "x", 2) + record(0x07, "no terminator");
  const auto props = dbf_dbc_properties(memo);
  ASSERT_EQ(props.size(), 3u);
  EXPECT_EQ(dbf_dbc_text(props, dbf_dbc_prop::sql), "SELECT 1");
  EXPECT_EQ(props[1].id, 0x0120u);
  EXPECT_EQ(props[1].value, "x");
  EXPECT_EQ(dbf_dbc_text(props, dbf_dbc_prop::comment), "no terminator");
  // A record with no value bytes reads as absent for a byte.
  EXPECT_EQ(dbf_dbc_byte(dbf_dbc_properties(record(0x11, "")), dbf_dbc_prop::key_tag, 7), 7);
  EXPECT_TRUE(dbf_dbc_properties("").empty());
}

TEST(DbcPropertyTest, DamagedLengthsFail) {
  const std::string good = text_record(dbf_dbc_prop::path, "a.dbf");
  // Length 0 and lengths below the record's own header would never advance.
  EXPECT_THROW(dbf_dbc_properties(good + with_length(good, 0)), dbf_exception);
  EXPECT_THROW(dbf_dbc_properties(with_length(good, 6)), dbf_exception);
  // A length past the memo's end.
  EXPECT_THROW(dbf_dbc_properties(with_length(good, static_cast<std::uint32_t>(good.size() + 1))),
               dbf_exception);
  EXPECT_THROW(dbf_dbc_properties(good + with_length(good, 0xFFFFFFFFu)), dbf_exception);
  // A record header cut short after a good record.
  EXPECT_THROW(dbf_dbc_properties(good + good.substr(0, 5)), dbf_exception);
  // Ids of no bytes or more than four.
  EXPECT_THROW(dbf_dbc_properties(record(1, "v", 0)), dbf_exception);
  EXPECT_THROW(dbf_dbc_properties(record(1, "v", 5)), dbf_exception);
}

TEST(DbcPropertyTest, MessageSaysWhereTheMemoIsDamaged) {
  const std::string good = text_record(dbf_dbc_prop::comment, "c");
  try {
    dbf_dbc_properties(good + with_length(good, 0));
    FAIL() << "no exception";
  } catch (const dbf_exception& e) {
    EXPECT_NE(e.message().find("byte " + std::to_string(good.size())), std::string::npos)
        << e.message();
  }
}
