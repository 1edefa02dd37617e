#include "udb/udb_schema.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "udb/udb_record.h"

namespace {

udb_schema make_schema(std::initializer_list<t_ftd> columns) {
  udb_schema schema;
  for (const t_ftd& column : columns) schema.push_back(column);
  return schema;
}

TEST(udb_schema, lookups_ignore_case_and_report_absent_names) {
  const udb_schema schema = make_schema(
      {t_ftd(10, u"custid", VT_BSTR), t_ftd(4, u"Amount", VT_R8), t_ftd(8, u"CUSTID", VT_I4)});
  EXPECT_TRUE(schema.find_field(u"CustID"));
  EXPECT_EQ(schema.get_field_idx(u"CustID"), 0);  // the first match in column order wins
  EXPECT_EQ(schema.get_field_size(u"amount"), 4u);
  EXPECT_EQ(schema.get_field_type(u"AMOUNT"), VT_R8);
  EXPECT_EQ(schema.get_field1(u"Custid").name, u"custid");

  EXPECT_FALSE(schema.find_field(u"missing"));
  EXPECT_EQ(schema.get_field_idx(u"missing"), -1);
  EXPECT_EQ(schema.get_field_size(u"missing"), 0xFFFFFFFFu);
  EXPECT_EQ(schema.get_field_type(u"missing"), VT_NULL);
  const t_ftd empty = schema.get_field1(u"missing");
  EXPECT_EQ(empty.size, 0u);
  EXPECT_TRUE(empty.name.empty());
  EXPECT_EQ(empty.vartype, VT_EMPTY);
  EXPECT_FALSE(empty.b_not_null || empty.b_auto_num);
  EXPECT_TRUE(empty.def_value.is_empty());
  EXPECT_EQ(empty.reserved, 0u);
}

TEST(udb_schema, lookups_fold_case_beyond_ascii) {
  const udb_schema schema = make_schema({t_ftd(10, u"Straße", VT_BSTR), t_ftd(4, u"ÉTÉ", VT_I4)});
  EXPECT_EQ(schema.get_field_idx(u"été"), 1);
  EXPECT_EQ(schema.get_field_idx(u"STRASSE"), 0);
}

TEST(udb_schema, conformance_matches_columns_by_position) {
  const udb_schema three =
      make_schema({t_ftd(0, u"a", VT_I4), t_ftd(10, u"b", VT_BSTR), t_ftd(0, u"c", VT_DATE)});
  const udb_schema four = make_schema({t_ftd(0, u"a", VT_I4), t_ftd(10, u"b", VT_BSTR),
                                       t_ftd(0, u"c", VT_DATE), t_ftd(0, u"d", VT_I4)});
  EXPECT_FALSE(three.conform_to(four));
  EXPECT_FALSE(four.conform_to(three));
  EXPECT_TRUE(three.conform_to(three));

  // Same names, swapped types: the positions decide.
  const udb_schema swapped =
      make_schema({t_ftd(0, u"a", VT_DATE), t_ftd(10, u"b", VT_BSTR), t_ftd(0, u"c", VT_I4)});
  EXPECT_FALSE(three.conform_to(swapped));
  // Other names, conforming types.
  const udb_schema renamed =
      make_schema({t_ftd(0, u"x", VT_R8), t_ftd(0, u"y", VT_BSTR), t_ftd(0, u"z", VT_DATE)});
  EXPECT_TRUE(three.conform_to(renamed));

  EXPECT_TRUE(udb_schema().conform_to(udb_schema()));
}

TEST(udb_schema, copies_are_deep_and_positions_are_checked) {
  udb_schema original = make_schema({t_ftd(5, u"a", VT_BSTR)});
  udb_schema copy(original);
  copy[0].name = u"changed";
  EXPECT_EQ(original[0].name, u"a");
  original = copy;
  EXPECT_EQ(original[0].name, u"changed");
  EXPECT_NE(&original[0], &copy[0]);
  EXPECT_THROW(static_cast<void>(copy[1]), std::out_of_range);
}

TEST(udb_schema, descriptors_keep_their_address_while_columns_are_added) {
  udb_schema schema;
  const t_ftd* first = &schema.push_back(t_ftd(1, u"a", VT_I4));
  for (int i = 0; i < 100; ++i) schema.push_back(t_ftd(1, u"x", VT_I4));
  EXPECT_EQ(first, &schema[0]);
}

int g_destroyed = 0;

class counted_field : public udb_field {
 public:
  counted_field(std::u16string name, int value)
      : udb_field(std::move(name), 0, ole_variant(value)) {}
  ~counted_field() override { ++g_destroyed; }
};

TEST(udb_record, owns_its_fields_and_destroys_them_whole) {
  g_destroyed = 0;
  {
    udb_record record;
    record.push_back(std::make_unique<counted_field>(u"a", 1));
    record.push_back(std::make_unique<counted_field>(u"b", 2));
    record.clear();
    EXPECT_EQ(g_destroyed, 2);
    EXPECT_TRUE(record.empty());
    record.push_back(std::make_unique<counted_field>(u"c", 3));
  }
  EXPECT_EQ(g_destroyed, 3);
}

TEST(udb_record, lookups_ignore_case_and_absent_names_give_an_empty_field) {
  udb_record record;
  record.add_field(u"CustID", 10, ole_variant(u"A1"));
  record.add_field(u"custid", 4, ole_variant(7));
  EXPECT_TRUE(record.find_field(u"CUSTID"));
  EXPECT_EQ(record.get_field(u"custID").to_wstring(), u"A1");
  EXPECT_EQ(record.get_field_idx(u"CUSTID"), 0);
  EXPECT_FALSE(record.find_field(u"other"));
  const udb_field& absent = record.get_field(u"other");
  EXPECT_TRUE(absent.is_empty());
  EXPECT_TRUE(absent.name.empty());
  EXPECT_EQ(record.get_field_idx(u"other"), -1);
  EXPECT_THROW(static_cast<void>(record[2]), std::out_of_range);
  EXPECT_THROW(record.push_back(nullptr), std::invalid_argument);
}

TEST(udb_record, refilling_a_field_keeps_its_name_and_place) {
  udb_record record;
  udb_field& field = record.add_field(u"name", 20, ole_variant(u"first"));
  for (const char16_t* value : {u"second", u"third"}) {
    record[0].set_value(ole_variant(value));
    EXPECT_EQ(&record[0], &field);
    EXPECT_EQ(record[0].name, u"name");
    EXPECT_EQ(record[0].size, 20);
    EXPECT_EQ(record[0].to_wstring(), value);
  }
  record[0].set_null();
  EXPECT_EQ(record[0].get_type(), VT_NULL);  // a NULL value reports VT_NULL, whatever the column
}

}  // namespace
