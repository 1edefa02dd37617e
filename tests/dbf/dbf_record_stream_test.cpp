// Records decoded ahead on a helper thread against the same records read one by one.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbf/dbf_record_stream.h"
#include "dbf/dbf_recordset.h"
#include "dbf_test_util.h"

namespace {

// A dBase III table with a memo: N(8) id, C(12) name (with bytes above ASCII), M memo.
// `memo_size(i)` gives record i's memo length (0: none); every eleventh record is deleted.
std::unique_ptr<dbf_recordset> make_table(const dbf_temp_dir& dir, int count,
                                          const std::function<std::size_t(int)>& memo_size) {
  std::string dbt(512, '\0');
  std::vector<std::string> records;
  for (int i = 0; i < count; ++i) {
    std::string block = "          ";
    if (const std::size_t size = memo_size(i); size > 0) {
      const std::string number = std::to_string(dbt.size() / 512);
      block.replace(10 - number.size(), number.size(), number);
      std::string memo(size, static_cast<char>('a' + i % 26));
      memo[0] = '\xE9';  // é in code page 1252
      dbt += memo + "\x1A\x1A";
      dbt.resize((dbt.size() + 511) / 512 * 512, '\0');
    }
    char head[32];
    std::snprintf(head, sizeof head, "%c%8d%-12s", i % 11 == 0 ? '*' : ' ', i,
                  i % 3 == 0 ? "Z\xFCrich" : "Paris");
    records.push_back(head + block);
  }
  dbf_put_le(dbt, 0, dbt.size() / 512, 4);
  tk_write_file(dir.file("t.dbt"), dbt);
  tk_write_file(dir.file("t.dbf"),
                dbf_make_table(0x83, {{"ID", 'N', 8}, {"NAME", 'C', 12}, {"NOTES", 'M', 10}},
                               records, 0, 0x03));
  return std::make_unique<dbf_recordset>(dir.wfile("t.dbf"), dbf_recordset::k_mode_read, 0);
}

std::string describe(const dbf_record& record) {
  std::string text = record.is_deleted() ? "*" : " ";
  for (const udb_field& field : record) {
    text += '|';
    text += dbf_utf8(field.to_wstring());
  }
  return text;
}

std::vector<std::string> read_one_by_one(dbf_recordset& table) {
  std::vector<std::string> rows;
  for (table.reset(); !table.is_eof(); table.next())
    rows.push_back(describe(*static_cast<dbf_record*>(table.get_item())));
  return rows;
}

std::vector<std::string> read_streamed(dbf_recordset& table) {
  std::vector<std::string> rows;
  table.reset();
  dbf_record_stream stream(table, dbf_record_stream::helper_use::always);
  while (const dbf_record* record = stream.next()) rows.push_back(describe(*record));
  EXPECT_EQ(stream.next(), nullptr);
  return rows;
}

}  // namespace

TEST(DbfRecordStream, GivesTheRecordsReadingOneByOneGives) {
  constexpr std::size_t batch = dbf_record_stream::k_batch_records;
  // Memos of every size up to 300 KB: long ones hand a batch over early and leave records
  // with large buffers that are given back before their next fill.
  const auto memos = [](int i) -> std::size_t {
    if (i % 7 != 0) return 0;
    return i % 49 == 0 ? 300000 : static_cast<std::size_t>(i % 700);
  };
  for (const int count : {0, 1, static_cast<int>(batch), static_cast<int>(2 * batch + 1), 3000}) {
    SCOPED_TRACE(count);
    dbf_temp_dir dir;
    auto table = make_table(dir, count, memos);
    const std::vector<std::string> expected = read_one_by_one(*table);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(read_streamed(*table), expected);
    EXPECT_TRUE(table->is_eof());
  }
}

// Wide records go in batches of a few records each: every batch boundary still hands over
// each record once, in order, whether a helper decodes them or not.
TEST(DbfRecordStream, WideRecordsInSmallBatchesArriveWholeAndInOrder) {
  constexpr int k_fields = 300;
  std::vector<dbf_test_field> fields;
  for (int f = 0; f < k_fields; ++f) fields.push_back({"F" + std::to_string(f), 'N', 4});
  std::vector<std::string> records;
  for (int i = 0; i < 97; ++i) {
    std::string record = i % 13 == 0 ? "*" : " ";
    for (int f = 0; f < k_fields; ++f) {
      char value[8];
      std::snprintf(value, sizeof value, "%4d", (i * 31 + f) % 10000);
      record += value;
    }
    records.push_back(record);
  }
  dbf_temp_dir dir;
  tk_write_file(dir.file("w.dbf"), dbf_make_table(0x03, fields, records, 0, 0x03));
  dbf_recordset table(dir.wfile("w.dbf"), dbf_recordset::k_mode_read, 0);
  const std::vector<std::string> expected = read_one_by_one(table);
  ASSERT_EQ(expected.size(), records.size());
  EXPECT_EQ(read_streamed(table), expected);
  table.reset();
  std::vector<std::string> where_it_pays;
  {
    dbf_record_stream stream(table);
    while (const dbf_record* record = stream.next()) where_it_pays.push_back(describe(*record));
  }
  EXPECT_EQ(where_it_pays, expected);
}

TEST(DbfRecordStream, StartsAtThePositionAndLeavesItAfterTheLastRecordHandedOut) {
  dbf_temp_dir dir;
  auto table = make_table(dir, 2000, [](int i) -> std::size_t { return i % 5 == 0 ? 40 : 0; });
  const std::vector<std::string> expected = read_one_by_one(*table);
  table->set_position(100);
  {
    dbf_record_stream stream(*table, dbf_record_stream::helper_use::always);
    for (int i = 100; i < 700; ++i) ASSERT_EQ(describe(*stream.next()), expected[i]);
  }
  EXPECT_EQ(table->position(), 700);
  EXPECT_EQ(describe(*static_cast<dbf_record*>(table->get_item())), expected[700]);
}

TEST(DbfRecordStream, ReadErrorIsThrownInTheTurnOfTheRecordItHit) {
  dbf_temp_dir dir;
  constexpr int count = 20000;
  auto table = make_table(dir, count, [](int) -> std::size_t { return 0; });
  const std::vector<std::string> expected = read_one_by_one(*table);
  // Cut the file under the open table: the read-ahead block holding record 15000 comes up
  // short. Reading one by one fails at some record; the stream must fail at the same one.
  const auto file = dir.file("t.dbf");
  std::filesystem::resize_file(file, std::filesystem::file_size(file) - 5000 * 31);
  const auto failing_record = [&](const std::function<const dbf_record*()>& next) {
    for (int i = 0; i < count; ++i) {
      try {
        const dbf_record* record = next();
        if (record == nullptr) return -1;
        if (describe(*record) != expected[i]) return -2;
      } catch (const std::exception&) {
        return i;
      }
    }
    return count;
  };
  table->reset();
  const int one_by_one = failing_record([&]() -> const dbf_record* {
    const auto* record = static_cast<const dbf_record*>(table->get_item());
    table->next();
    return record;
  });
  ASSERT_GT(one_by_one, 0);
  ASSERT_LT(one_by_one, count);
  table->reset();
  dbf_record_stream stream(*table, dbf_record_stream::helper_use::always);
  EXPECT_EQ(failing_record([&] { return stream.next(); }), one_by_one);
  EXPECT_EQ(stream.next(), nullptr);
}
