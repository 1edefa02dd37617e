// Index tags as udb indexes: keys against short container field names, candidate and UNIQUE
// tags, filters, repeated tags and tags that cannot be carried.
#include <gtest/gtest.h>

#include "dbf/dbf_index_builder.h"
#include "dbf/dbf_index_model.h"
#include "dbf/dbf_recordset.h"
#include "dbf_test_util.h"
#include "tk/tk_encoding.h"

namespace {

const std::vector<std::string> k_fields = {"ORDERID", "CUSTOMERID", "SHIPPEDDAT",
                                           "NAME",    "QTY",        "ACTIVE"};

dbf_index_tag tag(std::string name, std::string key, std::string filter = {}, bool unique = false,
                  bool candidate = false, bool descending = false) {
  return dbf_index_tag{std::move(name), std::move(key), std::move(filter),
                       unique,          candidate,      descending};
}

udb_indexes convert(const std::vector<dbf_index_tag>& tags) {
  // Latin-1 decoding, enough to see that string constants pass through the table's decoder.
  return dbf_indexes_of_tags("orders", tags, k_fields, [](std::string_view bytes) {
    std::u16string out;
    for (const char c : bytes) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
  });
}

TEST(DbfIndexModel, KeysBecomeColumnsInKeyOrder) {
  const udb_indexes got = convert({tag("ORDERID", "orderid", {}, false, true),
                                   tag("CUSTDATE", "UPPER(customerid)+DTOS(shippeddate)"),
                                   tag("BYNAME", "name", {}, true, false, true)});
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].name, u"ORDERID");
  EXPECT_EQ(got[0].fields, std::vector<std::u16string>{u"ORDERID"});
  EXPECT_TRUE(got[0].b_unique);  // a candidate key enforces uniqueness
  EXPECT_FALSE(got[0].b_primary);
  // The container's long name "shippeddate" is the ten-character field SHIPPEDDAT.
  EXPECT_EQ(got[1].fields, (std::vector<std::u16string>{u"CUSTOMERID", u"SHIPPEDDAT"}));
  EXPECT_FALSE(got[1].b_unique);
  // An xBase UNIQUE tag only hides duplicates: a plain index.
  EXPECT_FALSE(got[2].b_unique);
  EXPECT_TRUE(got[2].descending);
}

TEST(DbfIndexModel, LongNamesWidenOnlyWhereNoFieldMatches) {
  EXPECT_EQ(dbf_widen_short_names("shippeddate", k_fields), "SHIPPEDDAT");
  EXPECT_EQ(dbf_widen_short_names("DTOS(shippeddate)+name", k_fields), "DTOS(SHIPPEDDAT)+name");
  // A name whose first ten characters match nothing stays and the key is not translated.
  EXPECT_EQ(dbf_widen_short_names("customerkey1", k_fields), "customerkey1");
  // A short name is never widened, a long one that names a field as it is stays.
  EXPECT_EQ(dbf_widen_short_names("shipped", k_fields), "shipped");
  const std::vector<std::string> long_fields = {"SHIPPEDDATE", "SHIPPEDDAT"};
  EXPECT_EQ(dbf_widen_short_names("shippeddate", long_fields), "shippeddate");
}

TEST(DbfIndexModel, UntranslatedKeysAreSkipped) {
  const udb_indexes got = convert({tag("ODD", "SUBSTR(name,3,2)+STR(qty*2)"),
                                   tag("MISSING", "nosuchfield"), tag("QTY", "qty")});
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].name, u"QTY");
}

TEST(DbfIndexModel, FiltersBecomeNeutralTerms) {
  const udb_indexes got =
      convert({tag("LIVE", "orderid", "!DELETED()"), tag("BIG", "orderid", "qty > 10 AND active"),
               tag("NAMED", "name", "name = \"M\xfcller\""), tag("ODD", "qty", "qty > 1 OR active"),
               tag("DATED", "shippeddate", "shippeddate >= {^2024-01-31}")});
  ASSERT_EQ(got.size(), 5u);
  EXPECT_TRUE(got[0].filter.empty());  // !DELETED() alone is dropped
  ASSERT_EQ(got[1].filter.terms.size(), 2u);
  EXPECT_EQ(got[1].filter.terms[0].column, u"QTY");
  EXPECT_EQ(got[1].filter.terms[0].relation, udb_index_filter_term::op::gt);
  EXPECT_EQ(got[1].filter.terms[0].value_kind, udb_index_filter_term::kind::number);
  EXPECT_EQ(got[1].filter.terms[0].text, u"10");
  EXPECT_EQ(got[1].filter.terms[1].relation, udb_index_filter_term::op::is_true);
  ASSERT_EQ(got[2].filter.terms.size(), 1u);
  EXPECT_EQ(got[2].filter.terms[0].value_kind, udb_index_filter_term::kind::string);
  EXPECT_EQ(got[2].filter.terms[0].text, u"M\u00fcller");
  // OR does not translate: the index is made without its filter.
  EXPECT_EQ(got[3].fields, std::vector<std::u16string>{u"QTY"});
  EXPECT_TRUE(got[3].filter.empty());
  EXPECT_EQ(got[4].filter.terms[0].value_kind, udb_index_filter_term::kind::date);
  EXPECT_EQ(got[4].filter.terms[0].text, u"2024-01-31");
}

TEST(DbfIndexModel, RepeatedTagsGiveOneIndex) {
  const udb_indexes got =
      convert({tag("A", "orderid"), tag("B", "ORDERID"), tag("C", "orderid", {}, false, true),
               tag("D", "orderid", {}, false, false, true), tag("E", "orderid", "qty > 1")});
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].name, u"A");
  EXPECT_EQ(got[1].name, u"C");
  EXPECT_EQ(got[2].name, u"D");
  EXPECT_EQ(got[3].name, u"E");
}

// A table of three rows with fields ID and NAME, and its .cdx when `cdx` is not empty.
std::unique_ptr<dbf_recordset> open_table(const dbf_temp_dir& dir, const std::string& cdx) {
  const std::vector<std::string> records = {" 1alpha     ", " 2beta      ", " 3gamma     "};
  tk_write_file(dir.file("t.dbf"),
                dbf_make_table(0x03, {{"ID", 'N', 1}, {"NAME", 'C', 10}}, records));
  if (!cdx.empty()) tk_write_file(dir.file("T.CDX"), cdx);
  return std::make_unique<dbf_recordset>(dir.wfile("t.dbf"), dbf_recordset::k_mode_read, 0);
}

TEST(DbfIndexModel, ATableCarriesTheTagsOfItsIndexFile) {
  const dbf_temp_dir dir;
  std::vector<dbf_test_index_tag> tags;
  tags.push_back({"BYNAME", "UPPER(name)", "!DELETED()", 0, false, true});
  tags.push_back({"ID", "id", "", 0x04, false, false});  // candidate
  tags.push_back({"ODD", "id*2", "", 0, false, false});  // no columns to carry
  const auto table = open_table(dir, dbf_make_cdx(tags));
  const udb_indexes& got = table->indexes();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].name, u"BYNAME");
  EXPECT_EQ(got[0].fields, std::vector<std::u16string>{u"NAME"});
  EXPECT_TRUE(got[0].descending);
  EXPECT_TRUE(got[0].filter.empty());
  EXPECT_EQ(got[1].name, u"ID");
  EXPECT_TRUE(got[1].b_unique);
  EXPECT_EQ(table->key_pos(), 1);
}

TEST(DbfIndexModel, ADamagedIndexFileCostsOnlyItsTags) {
  const dbf_temp_dir dir;
  std::vector<dbf_test_index_tag> tags;
  tags.push_back({"ID", "id", "", 0, false, false});
  const auto table = open_table(dir, dbf_make_cdx(tags).substr(0, 700));
  EXPECT_TRUE(table->indexes().empty());
  EXPECT_EQ(table->record_count(), 3);
  const dbf_temp_dir bare;
  EXPECT_TRUE(open_table(bare, {})->indexes().empty());
}

}  // namespace
