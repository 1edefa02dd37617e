#include "udb/udb_indexes.h"

#include <gtest/gtest.h>

#include "tk/tk_exception.h"
#include "udb/udb_relationships.h"

namespace {

udb_index plain(std::u16string name, std::vector<std::u16string> fields) {
  return udb_index(std::move(name), false, false, std::move(fields));
}
udb_index unique(std::u16string name, std::vector<std::u16string> fields) {
  return udb_index(std::move(name), true, false, std::move(fields));
}
udb_index primary(std::u16string name, std::vector<std::u16string> fields) {
  return udb_index(std::move(name), true, true, std::move(fields));
}

TEST(udb_indexes, a_primary_key_replaces_a_plain_index_of_its_name_in_place) {
  udb_indexes indexes;
  indexes.push_back(plain(u"A", {u"a"}));
  indexes.push_back(plain(u"PK", {u"x"}));
  indexes.push_back(plain(u"B", {u"b"}));
  indexes.push_back(primary(u"pk", {u"id"}));
  ASSERT_EQ(indexes.size(), 3u);
  EXPECT_EQ(indexes[1], primary(u"pk", {u"id"}));
  EXPECT_EQ(indexes[0].name, u"A");
  EXPECT_EQ(indexes[2].name, u"B");
}

TEST(udb_indexes, merging_keeps_the_stronger_index) {
  udb_indexes indexes;
  indexes.push_back(unique(u"ix", {u"a"}));
  indexes.push_back(plain(u"IX", {u"b"}));  // plain after unique: nothing changes
  EXPECT_EQ(indexes[0], unique(u"ix", {u"a"}));

  indexes.push_back(plain(u"p", {u"c"}));
  indexes.push_back(unique(u"P", {u"d"}));  // unique after plain: upgraded
  EXPECT_EQ(indexes[1], unique(u"P", {u"d"}));

  indexes.push_back(primary(u"key", {u"id"}));
  indexes.push_back(primary(u"KEY", {u"other"}));  // a primary key is never replaced
  indexes.push_back(unique(u"Key", {u"other"}));
  EXPECT_EQ(indexes[2], primary(u"key", {u"id"}));

  indexes.push_back(plain(u"q", {u"e"}));
  indexes.push_back(plain(u"Q", {u"f"}));  // two plain ones: the first stays
  EXPECT_EQ(indexes[3], plain(u"q", {u"e"}));
  EXPECT_EQ(indexes.size(), 4u);
}

TEST(udb_indexes, names_compare_ignoring_case) {
  udb_indexes indexes;
  indexes.push_back(plain(u"Idx_Name", {u"a"}));
  EXPECT_TRUE(indexes.find2(u"IDX_NAME"));
  EXPECT_FALSE(indexes.is_acceptable_name(u"idx_name"));
  EXPECT_TRUE(indexes.is_acceptable_name(u"other"));
  EXPECT_FALSE(indexes.find2(u"other"));
}

TEST(udb_indexes, index_fields_compare_exactly_but_prefixes_ignore_case) {
  udb_indexes indexes;
  indexes.push_back(primary(u"pk", {u"CustID"}));
  indexes.push_back(plain(u"ix", {u"custid", u"Date"}));
  EXPECT_TRUE(indexes.is_idx_field(u"CustID", true));
  EXPECT_FALSE(indexes.is_idx_field(u"custid", true));  // only in a plain index
  EXPECT_TRUE(indexes.is_idx_field(u"custid", false));
  EXPECT_FALSE(indexes.is_idx_field(u"CUSTID", false));
  EXPECT_TRUE(indexes[1].starts_with_fields({u"CustID"}));
  EXPECT_TRUE(indexes.has_index_on_fields({u"CUSTID", u"date"}));
  EXPECT_FALSE(indexes.has_index_on_fields({u"Date"}));
}

TEST(udb_index, starts_with_fields_compares_position_by_position) {
  const udb_index index = plain(u"ab", {u"A", u"B"});
  EXPECT_TRUE(index.starts_with_fields({}));
  EXPECT_TRUE(index.starts_with_fields({u"A"}));
  EXPECT_TRUE(index.starts_with_fields({u"a", u"b"}));
  EXPECT_FALSE(index.starts_with_fields({u"B"}));
  EXPECT_FALSE(index.starts_with_fields({u"A", u"B", u"C"}));
  EXPECT_FALSE(index.starts_with_fields({u"B", u"A"}));
}

TEST(udb_relationships, names_compare_ignoring_case_and_absent_ones_are_internal_errors) {
  udb_relationships relationships;
  relationships.push_back(udb_relationship(u"FK_Orders", u"", u"Orders", u"Customers", {u"CustID"},
                                           {u"ID"}, u" ON DELETE CASCADE"));
  EXPECT_FALSE(relationships.is_acceptable_name(u"fk_orders"));
  EXPECT_TRUE(relationships.is_acceptable_name(u"fk_other"));
  const udb_relationship& found = relationships.get_index(u"FK_ORDERS");
  EXPECT_EQ(found.pk_table, u"Customers");
  EXPECT_EQ(found.child_fields, std::vector<std::u16string>{u"CustID"});
  EXPECT_EQ(found.action_text, u" ON DELETE CASCADE");
  EXPECT_THROW(relationships.get_index(u"absent"), tk_mail_assertion);
}

}  // namespace
