#include "udb/udb_names_map.h"

#include <gtest/gtest.h>

namespace {

TEST(udb_names_map, global_replacement_changes_whole_words_only) {
  udb_names_map map;
  map.add_tn_mapping(u"Orders", u"Orders1");
  EXPECT_EQ(map.do_global_replace1(u"select * from Orders o", u"", u""),
            u"select * from Orders1 o");
  EXPECT_EQ(map.do_global_replace1(u"select * from OrdersArchive", u"", u""),
            u"select * from OrdersArchive");
  EXPECT_EQ(map.do_global_replace1(u"select [Orders].ID from Orders join xOrders", u"", u""),
            u"select [Orders1].ID from Orders1 join xOrders");
  EXPECT_EQ(map.do_global_replace1(u"Orders.ID,Orders", u"", u""), u"Orders1.ID,Orders1");
  // Letters beyond ASCII count as word characters too.
  EXPECT_EQ(map.do_global_replace1(u"éOrders Ordersé", u"", u""), u"éOrders Ordersé");
}

TEST(udb_names_map, replacement_wraps_in_prefix_and_suffix_once) {
  udb_names_map map;
  map.add_tn_mapping(u"a", u"b");
  map.add_tn_mapping(u"c", u"[d]");
  EXPECT_EQ(map.do_global_replace1(u"a c", u"[", u"]"), u"[b] [d]");
}

TEST(udb_names_map, column_maps_apply_after_the_table_names) {
  udb_names_map map;
  map.add_tn_mapping(u"order", u"order1");
  map.add_fn_map(u"order1", {{u"desc", u"desc1"}, {u"key", u"key_"}});
  EXPECT_EQ(map.do_global_replace1(u"select desc, key from order", u"", u""),
            u"select desc1, key_ from order1");
}

TEST(udb_names_map, an_empty_source_name_is_ignored) {
  udb_names_map map;
  map.add_tn_mapping(u"", u"x");
  map.add_tn_mapping(u"t", u"u");
  EXPECT_EQ(map.do_global_replace1(u"t", u"", u""), u"u");
}

TEST(udb_names_map, table_lookups_exact_or_ignoring_case) {
  udb_names_map map;
  map.add_tn_mapping(u"Orders", u"Orders1");
  map.add_tn_mapping(u"Orders", u"Orders2");  // the first mapping stays
  EXPECT_EQ(map.get_tn_mapped_name(u"Orders", true), u"Orders1");
  EXPECT_EQ(map.get_tn_mapped_name(u"ORDERS", true), u"ORDERS");
  EXPECT_EQ(map.get_tn_mapped_name(u"ORDERS", false), u"Orders1");
  EXPECT_EQ(map.get_tn_mapped_name(u"Other", false), u"Other");
}

TEST(udb_names_map, column_lookups_both_ways) {
  udb_names_map map;
  map.add_fn_map(u"T", {{u"first-name", u"first_name"}, {u"first-name", u"ignored"}});
  map.add_fn_map(u"T", {{u"first-name", u"other"}});  // the first map of a table stays
  EXPECT_EQ(map.get_fn_mapped_name(u"T", u"first-name", true), u"first_name");
  EXPECT_EQ(map.get_fn_mapped_name(u"T", u"FIRST-NAME", true), u"FIRST-NAME");
  EXPECT_EQ(map.get_fn_mapped_name(u"T", u"FIRST-NAME", false), u"first_name");
  EXPECT_EQ(map.get_fn_orig_name(u"T", u"first_name", true), u"first-name");
  EXPECT_EQ(map.get_fn_orig_name(u"T", u"FIRST_NAME", false), u"first-name");
  // The table itself is looked up exactly.
  EXPECT_EQ(map.get_fn_mapped_name(u"t", u"first-name", false), u"first-name");
  EXPECT_EQ(map.get_fn_orig_name(u"absent", u"col", false), u"col");
}

TEST(udb_names_map, revision_changes_only_with_content) {
  udb_names_map map;
  const auto start = map.revision();
  map.add_tn_mapping(u"a", u"b");
  const auto after_add = map.revision();
  EXPECT_NE(after_add, start);
  map.add_tn_mapping(u"a", u"c");
  EXPECT_EQ(map.revision(), after_add);
}

}  // namespace
