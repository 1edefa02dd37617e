// The index file readers on the real Visual FoxPro index files of the shared test tables: every
// compound index there reads, its tags' expressions name fields of its own table, and the
// Northwind and FoxPro test database tags are what those databases define.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>

#include "dbf/dbf_index_files.h"
#include "dbf/dbf_index_tag.h"
#include "dbf_test_util.h"
#include "tk/tk_string.h"

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The lower-case field names of a table with 32-byte field descriptors.
std::set<std::string> field_names(const std::string& table) {
  const std::string bytes = tk_read_file(table);
  std::set<std::string> names;
  for (std::size_t at = 32; at + 32 <= bytes.size() && bytes[at] != '\r'; at += 32)
    names.insert(lower(std::string(bytes.c_str() + at)));
  return names;
}

// The identifiers of an expression, lower-cased.
std::set<std::string> identifiers(const std::string& expression) {
  std::set<std::string> words;
  std::string word;
  for (const char c : expression + ' ') {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
      word += c;
    } else if (!word.empty()) {
      if (!std::isdigit(static_cast<unsigned char>(word[0]))) words.insert(lower(word));
      word.clear();
    }
  }
  return words;
}

std::string show(const dbf_index_tag& t) {
  return t.name + " key=[" + t.key + "] for=[" + t.filter + "]" + (t.unique ? " unique" : "") +
         (t.candidate ? " candidate" : "") + (t.descending ? " descending" : "");
}

std::map<std::string, dbf_index_tag> by_name(const std::vector<dbf_index_tag>& tags) {
  std::map<std::string, dbf_index_tag> map;
  for (const dbf_index_tag& t : tags) map.emplace(t.name, t);
  return map;
}

dbf_index_file read_shared(const std::string& relative) {
  return dbf_read_index_file(std::string(QV_TESTDATA_DIR) + "/" + relative, dbf_index_kind::cdx);
}

}  // namespace

TEST(DbfIndexTestdata, EveryCompoundIndexReadsAndNamesItsTablesFields) {
  DBF_REQUIRE_TESTDATA();
  int files = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(QV_TESTDATA_DIR)) {
    const std::string ext = lower(e.path().extension().string());
    if (ext != ".cdx" && ext != ".dcx") continue;
    ++files;
    const std::string path = e.path().string();
    const dbf_index_file file = dbf_read_index_file(path, dbf_index_kind::cdx);
    std::cout << path << "\n";
    for (const dbf_index_tag& t : file.tags) std::cout << "  " << show(t) << "\n";
    ASSERT_FALSE(file.tags.empty()) << path;

    // The table beside it: the same base name as a .dbf, or the container (.dbc) of a .dcx.
    std::string table;
    for (const auto& sibling : std::filesystem::directory_iterator(e.path().parent_path())) {
      if (lower(sibling.path().stem().string()) == lower(e.path().stem().string()) &&
          lower(sibling.path().extension().string()) == (ext == ".cdx" ? ".dbf" : ".dbc"))
        table = sibling.path().string();
    }
    ASSERT_FALSE(table.empty()) << path;
    const std::set<std::string> fields = field_names(table);
    for (const dbf_index_tag& t : file.tags) {
      EXPECT_FALSE(t.name.empty()) << path;
      EXPECT_LE(t.name.size(), 10u) << path;
      for (const char c : t.name + t.key + t.filter)
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << path << ": " << show(t);
      bool names_a_field = false;
      // Tables keep the first 10 characters of a long Visual FoxPro field name.
      for (const std::string& word : identifiers(t.key))
        names_a_field |= fields.count(word.substr(0, 10)) > 0;
      EXPECT_TRUE(names_a_field) << path << ": " << show(t);
    }
  }
  EXPECT_EQ(files, 18);
}

TEST(DbfIndexTestdata, NorthwindTags) {
  DBF_REQUIRE_TESTDATA();
  const auto orders = by_name(read_shared("vfp-northwind/orders.cdx").tags);
  ASSERT_EQ(orders.size(), 6u);
  EXPECT_EQ(orders.at("CUSTOMERID").key, "customerid");
  EXPECT_EQ(orders.at("SHIPPEDDAT").key, "shippeddate");  // names are cut to 10 characters
  EXPECT_EQ(orders.at("SHIPPERID").key, "shipvia");
  EXPECT_TRUE(orders.at("ORDERID").candidate);  // the primary key
  for (const auto& [name, tag] : orders) {
    EXPECT_EQ(tag.candidate, name == "ORDERID") << name;
    EXPECT_FALSE(tag.unique || tag.descending || !tag.filter.empty()) << name;
  }

  const auto details = by_name(read_shared("vfp-northwind/orderdetails.cdx").tags);
  EXPECT_EQ(details.at("PRIMARYKEY").key, "STR(orderid)+STR(productid)");
  EXPECT_TRUE(details.at("PRIMARYKEY").candidate);
  EXPECT_FALSE(details.at("ORDERID").candidate);

  const auto demo = by_name(read_shared("vfp-northwind/customercustomerdemo.cdx").tags);
  EXPECT_EQ(demo.at("CUSTTYPEID").key, "ALLTRIM(UPPER(customertypeid))");

  const auto container = by_name(read_shared("vfp-northwind/northwind.dcx").tags);
  ASSERT_EQ(container.size(), 2u);
  EXPECT_EQ(container.at("OBJECTNAME").key, "STR(parentid)+objecttype+LOWER(objectname)");
  EXPECT_EQ(container.at("OBJECTNAME").filter, ".NOT.DELETED()");
  EXPECT_EQ(container.at("OBJECTTYPE").key, "STR(parentid)+objecttype");
  EXPECT_EQ(container.at("OBJECTTYPE").filter, ".NOT.DELETED()");
}

TEST(DbfIndexTestdata, FoxproDatabaseTagsAndLookup) {
  DBF_REQUIRE_TESTDATA();
  const std::string calls = dbf_testdata("foxprodb/calls.dbf");
  const auto files = dbf_index_files_of(calls);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::filesystem::equivalent(files[0].first, dbf_testdata("foxprodb/calls.CDX")));
  EXPECT_EQ(std::filesystem::path(files[0].first).filename(), "calls.CDX");
  EXPECT_EQ(files[0].second, dbf_index_kind::cdx);
  const dbf_index_file file = dbf_read_index_file(files[0].first, files[0].second);
  const std::vector<dbf_index_tag> expected = {
      {"CALL_ID", "call_id", "", false, true, false},
      {"CONTACT_ID", "contact_id", "", false, false, false}};
  EXPECT_EQ(file.tags, expected);
  EXPECT_TRUE(dbf_orphan_index_files(dbf_testdata("foxprodb")).empty());
}
