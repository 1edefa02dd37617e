#include "udb/udb_database.h"

#include <gtest/gtest.h>

#include "tk/tk_exception.h"
#include "udb/udb_recordset.h"

namespace {

// A destination that keeps the records it is given.
class memory_recordset : public udb_recordset {
 public:
  memory_recordset(udb_database* database, std::u16string name, const udb_schema& schema)
      : udb_recordset(database, std::move(name)) {
    schema_ = schema;
  }
  void append_record(udb_record& record) override {
    convert_record(record);
    ++appended;
  }
  int appended = 0;
};

class memory_database : public udb_database {
 public:
  explicit memory_database(bool case_sensitive) : udb_database(u"memory", 7, case_sensitive) {}

  std::unique_ptr<udb_recordset> create_table(const std::u16string& name, const udb_schema& schema,
                                              const udb_indexes& indexes) override {
    tables_.push_back(name);
    create_indexes(name, schema, indexes);
    return std::make_unique<memory_recordset>(this, name, schema);
  }
  void create_index(const std::u16string& table, const udb_schema&,
                    const udb_index& index) override {
    created_indexes.push_back(table + u"." + index.name);
  }
  bool get_query(const std::u16string&, std::u16string&) override { return false; }
  std::unique_ptr<udb_recordset> get_table(const std::u16string&) override { return nullptr; }
  bool test_query(const std::u16string&) override { return false; }

  std::vector<std::u16string> created_indexes;
};

TEST(udb_database, table_lookups_follow_the_case_rule) {
  memory_database insensitive(false);
  memory_database sensitive(true);
  for (memory_database* db : {&insensitive, &sensitive}) db->get_tables() = {u"Orders"};
  EXPECT_TRUE(insensitive.is_table_exist(u"ORDERS"));
  EXPECT_FALSE(sensitive.is_table_exist(u"ORDERS"));
  EXPECT_TRUE(sensitive.is_table_exist(u"Orders"));
  EXPECT_FALSE(sensitive.delete_tab(u"orders"));
  EXPECT_EQ(sensitive.tables().size(), 1u);
}

TEST(udb_database, delete_tab_removes_the_first_match_and_keeps_the_order) {
  memory_database db(false);
  db.get_tables() = {u"a", u"Orders", u"b", u"ORDERS", u"c"};
  EXPECT_FALSE(db.delete_tab(u"absent"));
  EXPECT_EQ(db.tables().size(), 5u);
  EXPECT_TRUE(db.delete_tab(u"orders"));
  EXPECT_EQ(db.tables(), (std::vector<std::u16string>{u"a", u"b", u"ORDERS", u"c"}));
}

TEST(udb_database, base_operations) {
  memory_database db(false);
  udb_schema schema;
  udb_indexes indexes;
  indexes.push_back(udb_index(u"pk", true, true, {u"id"}));
  indexes.push_back(udb_index(u"ix", false, false, {u"name"}));
  auto table = db.create_table(u"t", schema, indexes);
  EXPECT_EQ(db.created_indexes, (std::vector<std::u16string>{u"t.pk", u"t.ix"}));
  EXPECT_TRUE(db.is_table_exist(u"T"));

  std::vector<std::u16string> schemas{u"dbo"};
  db.get_schema_info(schemas);
  EXPECT_TRUE(schemas.empty());
  EXPECT_THROW(db.query(u"select 1"), tk_mail_assertion);

  // A recordset that reads nothing is at its end at once.
  EXPECT_TRUE(table->is_eof());
  EXPECT_EQ(table->get_item(), nullptr);
  EXPECT_FALSE(table->has_text());
}

TEST(udb_recordset, add_index_drops_taken_names_and_remembers_the_first_key) {
  memory_database db(false);
  memory_recordset rs(&db, u"t", udb_schema());
  EXPECT_EQ(rs.key_pos(), -1);
  rs.add_index(udb_index(u"ix", false, false, {u"a"}));
  EXPECT_EQ(rs.key_pos(), -1);
  rs.add_index(udb_index(u"uq", true, false, {u"b"}));
  EXPECT_EQ(rs.key_pos(), 1);
  rs.add_index(udb_index(u"pk", true, true, {u"c"}));
  EXPECT_EQ(rs.key_pos(), 1);
  rs.add_index(udb_index(u"IX", true, true, {u"d"}));  // the name is taken: dropped
  ASSERT_EQ(rs.indexes().size(), 3u);
  EXPECT_FALSE(rs.indexes()[0].b_primary);
}

udb_schema order_schema() {
  udb_schema schema;
  schema.push_back(t_ftd(0, u"id", VT_I4));
  schema.push_back(t_ftd(30, u"customer", VT_BSTR));
  schema.push_back(t_ftd(0, u"total", VT_R8));
  return schema;
}

void fill(udb_record& record, const char16_t* id, const char16_t* customer, double total) {
  record[0].set_value(ole_variant(id));
  record[1].set_value(ole_variant(customer));
  record[2].set_value(ole_variant(total));
}

udb_record source_record() {
  udb_record record;
  record.add_field(u"ID", 10, ole_variant());
  record.add_field(u"cust-name", 30, ole_variant());
  record.add_field(u"TOTAL", 12, ole_variant());
  return record;
}

TEST(udb_recordset, convert_record_changes_values_to_the_column_types) {
  memory_database db(false);
  db.names_map().add_fn_map(u"orders", {{u"cust-name", u"customer"}});
  auto table = db.create_table(u"orders", order_schema(), udb_indexes());
  udb_record record = source_record();
  fill(record, u"42", u"Smith", 1.5);
  table->append_record(record);
  EXPECT_EQ(record[0].get_type(), VT_I4);
  EXPECT_EQ(record[0].i4(), 42);
  EXPECT_EQ(record[1].get_type(), VT_BSTR);
  EXPECT_EQ(record[1].text(), u"Smith");
  EXPECT_EQ(record[2].get_type(), VT_R8);
  // Names and order stay those of the source.
  EXPECT_EQ(record[1].name, u"cust-name");

  // The next row, refilled in place, converts the same way.
  fill(record, u"43", u"Jones", 2.5);
  table->append_record(record);
  EXPECT_EQ(record[0].i4(), 43);
  EXPECT_EQ(record[1].text(), u"Jones");
}

TEST(udb_recordset, a_field_without_a_column_fails_before_any_value_changes) {
  memory_database db(false);
  auto table = db.create_table(u"orders", order_schema(), udb_indexes());
  udb_record record = source_record();  // cust-name has no mapping and no column
  fill(record, u"42", u"Smith", 1.5);
  try {
    table->append_record(record);
    FAIL() << "the record must be refused";
  } catch (const tk_exception& e) {
    EXPECT_STREQ(e.what(),
                 "The structure of data source does not conform to the destination table.");
    EXPECT_EQ(e.level(), 1);
  }
  EXPECT_EQ(record[0].get_type(), VT_BSTR);
  EXPECT_EQ(record[0].text(), u"42");

  // A mapping added later is seen by the next record.
  db.names_map().add_fn_map(u"orders", {{u"cust-name", u"Customer"}});
  table->append_record(record);
  EXPECT_EQ(record[0].get_type(), VT_I4);
}

TEST(udb_recordset, without_a_database_field_names_are_used_as_they_are) {
  memory_recordset rs(nullptr, u"t", order_schema());
  udb_record record;
  record.add_field(u"TOTAL", 0, ole_variant(u"2.5"));
  rs.convert_record(record);
  EXPECT_EQ(record[0].get_type(), VT_R8);
  EXPECT_DOUBLE_EQ(record[0].r8(), 2.5);
}

TEST(udb_recordset, a_changed_record_layout_is_resolved_again) {
  memory_recordset rs(nullptr, u"t", order_schema());
  udb_record record;
  record.add_field(u"id", 0, ole_variant(u"7"));
  rs.convert_record(record);
  EXPECT_EQ(record[0].get_type(), VT_I4);

  udb_record other;
  other.add_field(u"customer", 0, ole_variant(7));
  rs.convert_record(other);
  EXPECT_EQ(other[0].get_type(), VT_BSTR);
  EXPECT_EQ(other[0].text(), u"7");

  udb_record unknown;
  unknown.add_field(u"nope", 0, ole_variant(7));
  EXPECT_THROW(rs.convert_record(unknown), tk_exception);
  // A schema change is seen as well.
  rs.schema().push_back(t_ftd(0, u"nope", VT_R8));
  rs.convert_record(unknown);
  EXPECT_EQ(unknown[0].get_type(), VT_R8);
}

TEST(udb_recordset, a_field_renamed_in_place_to_a_name_of_the_same_length_is_resolved_again) {
  // Names of every short length, changed in their first, middle or last unit: the record keeps
  // its size and its name lengths, so only the units tell the layouts apart.
  for (std::size_t length = 1; length <= 12; ++length) {
    for (const std::size_t changed : {std::size_t{0}, length / 2, length - 1}) {
      const std::u16string first(length, u'a');
      std::u16string second = first;
      second[changed] = u'b';
      udb_schema schema;
      schema.push_back(t_ftd(0, first, VT_I4));
      schema.push_back(t_ftd(30, second, VT_BSTR));
      memory_recordset rs(nullptr, u"t", schema);
      udb_record record;
      record.add_field(first, 0, ole_variant(u"7"));
      rs.convert_record(record);
      ASSERT_EQ(record[0].get_type(), VT_I4) << "length " << length;

      record[0].name = second;
      record[0].set_value(ole_variant(8));
      rs.convert_record(record);
      EXPECT_EQ(record[0].get_type(), VT_BSTR) << "length " << length << ", unit " << changed;
      EXPECT_EQ(record[0].text(), u"8");
    }
  }
}

// A reader's records of one shared layout take the plan resolved for the first; a record of
// another shared layout, or one whose fields changed since it was shared, is resolved anew.
TEST(udb_recordset, records_of_a_shared_layout_are_resolved_once_per_layout) {
  memory_recordset rs(nullptr, u"t", order_schema());
  const auto record_of = [](const std::u16string& name, std::uint64_t layout) {
    auto record = std::make_unique<udb_record>();
    record->add_field(name, 0, ole_variant(u"7"));
    record->share_layout(layout);
    return record;
  };
  const std::uint64_t ids = udb_record::next_layout_id();
  const std::uint64_t other_ids = udb_record::next_layout_id();
  ASSERT_NE(ids, other_ids);
  ASSERT_NE(ids, 0u);

  auto first = record_of(u"id", ids);
  auto second = record_of(u"id", ids);
  rs.convert_record(*first);
  rs.convert_record(*second);
  EXPECT_EQ(second->operator[](0).get_type(), VT_I4);

  auto other = record_of(u"customer", other_ids);
  rs.convert_record(*other);
  EXPECT_EQ(other->operator[](0).get_type(), VT_BSTR);

  // Fields added after sharing end the promise: the names are looked at again.
  auto grown = record_of(u"id", other_ids);
  grown->clear();
  grown->add_field(u"total", 0, ole_variant(u"2.5"));
  EXPECT_EQ(grown->layout_id(), 0u);
  rs.convert_record(*grown);
  EXPECT_EQ(grown->operator[](0).get_type(), VT_R8);
}

TEST(udb_recordset, converting_into_a_reused_target_keeps_the_source_and_the_target_fields) {
  memory_database db(false);
  db.names_map().add_fn_map(u"orders", {{u"cust-name", u"customer"}});
  auto table = db.create_table(u"orders", order_schema(), udb_indexes());
  udb_record source = source_record();
  udb_record target;

  fill(source, u"1", u"Smith", 1.0);
  table->convert_record(source, target);
  ASSERT_EQ(target.size(), 3u);
  const udb_field* first = &target[0];
  EXPECT_EQ(target[1].name, u"cust-name");
  EXPECT_EQ(target[1].size, 30);
  EXPECT_EQ(target[0].i4(), 1);

  fill(source, u"2", u"Jones", 2.0);
  table->convert_record(source, target);
  EXPECT_EQ(&target[0], first);
  EXPECT_EQ(target[0].i4(), 2);
  EXPECT_EQ(target[1].text(), u"Jones");
  EXPECT_EQ(source[0].get_type(), VT_BSTR);
  EXPECT_EQ(source[0].text(), u"2");
}

}  // namespace
