// The index file readers on files made from the published layouts: every kind's tags and flags,
// a tag directory spread over several leaves, damaged files, and which files belong to a table.
#include <gtest/gtest.h>

#include <random>

#include "dbf/dbf_exception.h"
#include "dbf/dbf_index_files.h"
#include "dbf/dbf_index_tag.h"
#include "dbf_index_builder.h"
#include "dbf_test_util.h"
#include "tk/tk_test_catch.h"

namespace {

const std::string k_odd_key = "SUBSTR(name,3,2)+STR(qty*2)";

dbf_index_tag tag_of(std::string name, std::string key, std::string filter = {},
                     bool unique = false, bool candidate = false, bool descending = false) {
  return dbf_index_tag{std::move(name), std::move(key), std::move(filter),
                       unique,          candidate,      descending};
}

std::vector<dbf_index_tag> tags_of(const std::string& bytes, dbf_index_kind kind,
                                   const std::string& path = "/data/t.x") {
  return dbf_read_index_bytes(bytes, path, kind).tags;
}

// The message a damaged file gives, which always names it.
std::string damage_of(const std::string& bytes, dbf_index_kind kind) {
  try {
    dbf_read_index_bytes(bytes, "/data/broken.x", kind);
  } catch (const dbf_exception& e) {
    EXPECT_EQ(e.level(), 0);
    EXPECT_NE(e.message().find("/data/broken.x"), std::string::npos) << e.message();
    return e.message();
  }
  return "no exception";
}

std::vector<dbf_test_index_tag> three_compound_tags() {
  return {{"BYNAME", "UPPER(name)", "", 0, false, true},
          {"ODD", k_odd_key, "", 0, true, false},
          {"RECENT", "DTOS(sold)", "sold > {^2020-01-01} .AND. !DELETED()", 0, false, false}};
}

}  // namespace

TEST(DbfIndexRead, CompoundIndexTagsAndFlags) {
  std::vector<dbf_test_index_tag> tags = three_compound_tags();
  tags.push_back({"PK", "id", "", 0x04, false, false});  // Visual FoxPro candidate
  std::sort(tags.begin(), tags.end(), [](auto& a, auto& b) { return a.name < b.name; });
  const std::vector<dbf_index_tag> expected = {
      tag_of("BYNAME", "UPPER(name)", "", false, false, true), tag_of("ODD", k_odd_key, "", true),
      tag_of("PK", "id", "", false, true),
      tag_of("RECENT", "DTOS(sold)", "sold > {^2020-01-01} .AND. !DELETED()")};
  EXPECT_EQ(tags_of(dbf_make_cdx(tags), dbf_index_kind::cdx), expected);
}

TEST(DbfIndexRead, CompoundDirectoryOverSeveralLeaves) {
  // Names sharing long prefixes exercise the duplicate-byte compression; short ones the
  // trailing-byte compression; an interior root sends the reader down to the first leaf.
  std::vector<dbf_test_index_tag> tags;
  std::vector<dbf_index_tag> expected;
  for (int i = 0; i < 23; ++i) {
    const std::string name = (i % 2 ? "CUSTOMER" : "C") + std::to_string(10 + i);
    tags.push_back({name, "field" + std::to_string(i), ""});
  }
  std::sort(tags.begin(), tags.end(), [](auto& a, auto& b) { return a.name < b.name; });
  for (const auto& t : tags) expected.push_back(tag_of(t.name.substr(0, 10), t.key));
  EXPECT_EQ(tags_of(dbf_make_cdx(tags, 5), dbf_index_kind::cdx), expected);
  EXPECT_EQ(tags_of(dbf_make_cdx(tags, 23), dbf_index_kind::cdx), expected);
}

TEST(DbfIndexRead, MultipleIndexTagsAndFlags) {
  const std::vector<dbf_index_tag> expected = {
      tag_of("BYNAME", "UPPER(name)", "", false, false, true), tag_of("ODD", k_odd_key, "", true),
      tag_of("RECENT", "DTOS(sold)", "sold > {^2020-01-01} .AND. !DELETED()")};
  EXPECT_EQ(tags_of(dbf_make_mdx(three_compound_tags()), dbf_index_kind::mdx), expected);
  EXPECT_TRUE(tags_of(dbf_make_mdx({}), dbf_index_kind::mdx).empty());
}

TEST(DbfIndexRead, SingleTagFilesAreNamedAfterTheFile) {
  const dbf_test_index_tag descending{"", "UPPER(name)", "", 0, false, true};
  const dbf_test_index_tag filtered{"", "DTOS(sold)", "qty > 0", 0, false, false};
  const dbf_test_index_tag odd{"", k_odd_key, "", 0, true, false};
  const std::string path = "/data/Sales.IDX";

  EXPECT_EQ(tags_of(dbf_make_compact_idx(descending), dbf_index_kind::idx, path),
            std::vector{tag_of("Sales", "UPPER(name)", "", false, false, true)});
  EXPECT_EQ(tags_of(dbf_make_compact_idx(filtered), dbf_index_kind::idx, path),
            std::vector{tag_of("Sales", "DTOS(sold)", "qty > 0")});
  EXPECT_EQ(tags_of(dbf_make_plain_idx(filtered), dbf_index_kind::idx, path),
            std::vector{tag_of("Sales", "DTOS(sold)", "qty > 0")});
  EXPECT_EQ(tags_of(dbf_make_plain_idx(odd), dbf_index_kind::idx, path),
            std::vector{tag_of("Sales", k_odd_key, "", true)});

  EXPECT_EQ(tags_of(dbf_make_ndx(odd), dbf_index_kind::ndx, "/data/qty.ndx"),
            std::vector{tag_of("qty", k_odd_key, "", true)});
  EXPECT_EQ(tags_of(dbf_make_ndx(descending), dbf_index_kind::ndx, "/data/qty.ndx"),
            std::vector{tag_of("qty", "UPPER(name)")});  // dBase III keeps no order flag

  EXPECT_EQ(tags_of(dbf_make_ntx(descending), dbf_index_kind::ntx, "/data/n.ntx"),
            std::vector{tag_of("n", "UPPER(name)", "", false, false, true)});
  EXPECT_EQ(tags_of(dbf_make_ntx(filtered), dbf_index_kind::ntx, "/data/n.ntx"),
            std::vector{tag_of("n", "DTOS(sold)", "qty > 0")});
  EXPECT_EQ(tags_of(dbf_make_ntx(odd), dbf_index_kind::ntx, "/data/n.ntx"),
            std::vector{tag_of("n", k_odd_key, "", true)});
}

TEST(DbfIndexRead, ReadsFromDisk) {
  dbf_temp_dir dir;
  tk_write_file(dir.file("t.cdx"), dbf_make_cdx(three_compound_tags()));
  const dbf_index_file file = dbf_read_index_file(dir.file("t.cdx"), dbf_index_kind::cdx);
  EXPECT_EQ(file.path, dir.file("t.cdx"));
  EXPECT_EQ(file.kind, dbf_index_kind::cdx);
  EXPECT_EQ(file.tags, tags_of(dbf_make_cdx(three_compound_tags()), dbf_index_kind::cdx));
  EXPECT_EQ(tk_level_of([&] { dbf_read_index_file(dir.file("none.cdx"), dbf_index_kind::cdx); }),
            0);
}

TEST(DbfIndexDamage, TruncatedHeaders) {
  const dbf_test_index_tag tag{"", "name", ""};
  EXPECT_NE(damage_of(dbf_make_cdx(three_compound_tags()).substr(0, 700), dbf_index_kind::cdx)
                .find("file header past the end"),
            std::string::npos);
  EXPECT_NE(damage_of(dbf_make_mdx(three_compound_tags()).substr(0, 600), dbf_index_kind::mdx)
                .find("tag table past the end"),
            std::string::npos);
  EXPECT_NE(damage_of(dbf_make_compact_idx(tag).substr(0, 900), dbf_index_kind::idx)
                .find("tag header past the end"),
            std::string::npos);
  EXPECT_NE(damage_of(dbf_make_ndx(tag).substr(0, 100), dbf_index_kind::ndx).find("anchor page"),
            std::string::npos);
  EXPECT_NE(damage_of(dbf_make_ntx(tag).substr(0, 1000), dbf_index_kind::ntx).find("file header"),
            std::string::npos);
  // The header is whole but the file ends before the root page it names.
  EXPECT_NE(damage_of(dbf_make_ndx(tag).substr(0, 512), dbf_index_kind::ndx).find("root page"),
            std::string::npos);
  EXPECT_NE(damage_of(dbf_make_ntx(tag).substr(0, 1024), dbf_index_kind::ntx).find("root page"),
            std::string::npos);
  EXPECT_NE(damage_of(dbf_make_plain_idx(tag).substr(0, 512), dbf_index_kind::idx).find("root"),
            std::string::npos);
  EXPECT_NE(damage_of(std::string(), dbf_index_kind::cdx), "no exception");
}

TEST(DbfIndexDamage, CompoundDirectoryPointers) {
  const std::string good = dbf_make_cdx(three_compound_tags());
  std::string bad = good;
  dbf_put_le(bad, 0, 1024 * 1024, 4);  // directory root past the end
  EXPECT_NE(damage_of(bad, dbf_index_kind::cdx).find("tag directory node past the end"),
            std::string::npos);
  bad = good;
  dbf_put_le(bad, 1024 + 8, 1024, 4);  // the only leaf is its own right sibling
  EXPECT_NE(damage_of(bad, dbf_index_kind::cdx).find("loop"), std::string::npos);
  bad = good;
  dbf_put_le(bad, 1024 + 24, 0xFE00, 2);  // first tag's header offset past the end
  EXPECT_NE(damage_of(bad, dbf_index_kind::cdx).find("tag header past the end"), std::string::npos);
  bad = good;
  dbf_put_le(bad, 1024 + 2, 200, 2);  // more entries than a leaf holds
  EXPECT_NE(damage_of(bad, dbf_index_kind::cdx), "no exception");
  bad = good;
  bad[1024 + 23] = 0;  // no bytes per entry
  EXPECT_NE(damage_of(bad, dbf_index_kind::cdx), "no exception");
}

TEST(DbfIndexDamage, CompoundSiblingAndInteriorLoops) {
  std::vector<dbf_test_index_tag> tags;
  for (int i = 0; i < 9; ++i)
    tags.push_back({"T" + std::to_string(i), "f" + std::to_string(i), ""});
  const std::string good = dbf_make_cdx(tags, 3);  // interior root at 1024, leaves at 1536...
  ASSERT_EQ(tags_of(good, dbf_index_kind::cdx).size(), 9u);

  std::string bad = good;
  dbf_put_le(bad, 2048 + 8, 1536, 4);  // the second leaf points back to the first
  EXPECT_NE(damage_of(bad, dbf_index_kind::cdx).find("loop"), std::string::npos);
  bad = good;
  dbf_put_be(bad, 1024 + 12 + 14, 1024, 4);  // the interior root's first child is itself
  EXPECT_NE(damage_of(bad, dbf_index_kind::cdx).find("loop"), std::string::npos);
  bad = good;
  dbf_put_le(bad, 1536 + 8, 1024, 4);  // an interior node among the leaves
  EXPECT_NE(damage_of(bad, dbf_index_kind::cdx), "no exception");
  bad = good;
  dbf_put_be(bad, 1024 + 12 + 14, 1000, 4);  // a child between records
  EXPECT_NE(damage_of(bad, dbf_index_kind::cdx), "no exception");
}

TEST(DbfIndexDamage, MultipleIndexTagTable) {
  const std::string good = dbf_make_mdx(three_compound_tags());
  std::string bad = good;
  dbf_put_le(bad, 28, 48, 2);
  EXPECT_NE(damage_of(bad, dbf_index_kind::mdx).find("more tags"), std::string::npos);
  bad = good;
  dbf_put_le(bad, 544 + 32, 5000, 4);  // second tag's header page past the end
  EXPECT_NE(damage_of(bad, dbf_index_kind::mdx).find("header of tag ODD past the end"),
            std::string::npos);
  bad = good;
  bad[26] = 0;
  EXPECT_NE(damage_of(bad, dbf_index_kind::mdx), "no exception");
  bad = good;
  bad[2048 + 24] = '\0';  // first tag without a key expression
  EXPECT_NE(damage_of(bad, dbf_index_kind::mdx).find("no key expression"), std::string::npos);
}

// Every prefix and a spread of single-byte changes of each kind's file either reads or fails
// with the file's own exception, and always ends.
TEST(DbfIndexDamage, CutsAndFlippedBytesNeverEscape) {
  const dbf_test_index_tag odd{"", k_odd_key, "qty > 0", 0, true, true};
  std::vector<dbf_test_index_tag> many;
  for (int i = 0; i < 12; ++i) many.push_back({"TAG" + std::to_string(10 + i), "f", ""});
  const std::vector<std::pair<std::string, dbf_index_kind>> files = {
      {dbf_make_cdx(many, 4), dbf_index_kind::cdx},
      {dbf_make_mdx(three_compound_tags()), dbf_index_kind::mdx},
      {dbf_make_compact_idx(odd), dbf_index_kind::idx},
      {dbf_make_plain_idx(odd), dbf_index_kind::idx},
      {dbf_make_ndx(odd), dbf_index_kind::ndx},
      {dbf_make_ntx(odd), dbf_index_kind::ntx}};
  std::mt19937 random(7);
  int failures = 0;
  for (const auto& [good, kind] : files) {
    for (std::size_t cut = 0; cut < good.size(); cut += 37) {
      if (damage_of(good.substr(0, cut), kind) != "no exception") ++failures;
    }
    for (int round = 0; round < 400; ++round) {
      std::string bad = good;
      for (int flips = 0; flips < 3; ++flips)
        bad[random() % bad.size()] = static_cast<char>(random() % 256);
      try {
        dbf_read_index_bytes(bad, "/data/x", kind);
      } catch (const dbf_exception&) {
        ++failures;
      }
    }
  }
  EXPECT_GT(failures, 0);
}

TEST(DbfIndexFiles, FilesOfATable) {
  dbf_temp_dir dir;
  for (const char* name :
       {"Sales.DBF", "SALES.CDX", "sales.mdx", "Sales.Idx", "SALES.NTX", "other.dbf", "other.ndx",
        "OTHER.cdx", "stray.idx", "Stray.NTX", "sales.txt"})
    tk_write_file(dir.file(name), "x");
  const auto files = dbf_index_files_of(dir.file("Sales.DBF"));
  const std::vector<std::pair<std::string, dbf_index_kind>> expected = {
      {dir.file("SALES.CDX"), dbf_index_kind::cdx},
      {dir.file("sales.mdx"), dbf_index_kind::mdx},
      {dir.file("Sales.Idx"), dbf_index_kind::idx},
      {dir.file("SALES.NTX"), dbf_index_kind::ntx}};
  EXPECT_EQ(files, expected);
  EXPECT_EQ(dbf_index_files_of(dir.file("other.dbf")),
            (std::vector<std::pair<std::string, dbf_index_kind>>{
                {dir.file("OTHER.cdx"), dbf_index_kind::cdx},
                {dir.file("other.ndx"), dbf_index_kind::ndx}}));
  EXPECT_EQ(dbf_orphan_index_files(dir.file("")),
            (std::vector<std::string>{dir.file("Stray.NTX"), dir.file("stray.idx")}));
}

TEST(DbfIndexFiles, AnotherTablesSpellingIsNotTaken) {
  dbf_temp_dir dir;
  for (const char* name : {"sales.dbf", "SALES.DBF", "sales.cdx", "SALES.IDX"})
    tk_write_file(dir.file(name), "x");
  // "SALES.DBF" never takes "sales.cdx" of "sales.dbf", and the reverse.
  EXPECT_EQ(dbf_index_files_of(dir.file("SALES.DBF")),
            (std::vector<std::pair<std::string, dbf_index_kind>>{
                {dir.file("SALES.IDX"), dbf_index_kind::idx}}));
  EXPECT_EQ(dbf_index_files_of(dir.file("sales.dbf")),
            (std::vector<std::pair<std::string, dbf_index_kind>>{
                {dir.file("sales.cdx"), dbf_index_kind::cdx}}));
  EXPECT_TRUE(dbf_orphan_index_files(dir.file("")).empty());
}
