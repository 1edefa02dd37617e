// The key expressions that real Visual FoxPro index files store, read from the shared .cdx
// files, translate into the fields their tables' containers name.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "dbf/dbf_xbase_expr.h"

namespace {

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t le(const std::string& s, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(s.at(at + static_cast<std::size_t>(i)));
  return v;
}

// The key expression of each tag of a compound index, in the order of its tag directory.
// Layout from the Visual FoxPro "Compact Index File Structure (.idx)" page: a header of 1024
// bytes holds the key expression from offset 512, then the FOR expression, each ended by a
// NUL; the lengths (with their NULs) are at 510 and 506. A .cdx opens with the header of a tag
// directory whose leaf entries' record numbers are the offsets of the tags' headers; a leaf
// (exterior) node packs each entry's record number in its low bits, under the mask at offset
// 14, entries of the size at byte 23 starting at offset 24. The small files here keep the whole
// directory in one leaf, the root.
std::vector<std::string> cdx_key_expressions(const std::string& path) {
  const std::string file = read_bytes(path);
  const std::uint32_t root = le(file, 0, 4);
  EXPECT_EQ(le(file, root, 2) & 3u, 3u) << path << ": tag directory is not a single leaf";
  const std::uint32_t count = le(file, root + 2, 2);
  const std::uint32_t mask = le(file, root + 14, 4);
  const std::size_t entry_size = static_cast<unsigned char>(file.at(root + 23));
  std::vector<std::string> exprs;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = root + 24 + i * entry_size;
    std::uint32_t entry = 0;
    for (std::size_t b = entry_size; b-- > 0;)
      entry = (entry << 8) | static_cast<unsigned char>(file.at(at + b));
    const std::size_t header = entry & mask;
    const std::size_t key_length = le(file, header + 510, 2);
    const std::size_t for_length = le(file, header + 506, 2);
    EXPECT_EQ(for_length, 1u) << path << ": a tag with a FOR clause";
    const std::string key = file.substr(header + 512, key_length);
    exprs.push_back(key.substr(0, key.find('\0')));
  }
  return exprs;
}

// The field names in a table's header: ten characters at most, unlike its container's names.
std::vector<std::string> header_field_names(const std::string& path) {
  const std::string file = read_bytes(path);
  std::vector<std::string> names;
  for (std::size_t at = 32; at + 32 <= file.size() && file[at] != '\x0D'; at += 32) {
    const std::string name = file.substr(at, 11);
    names.push_back(name.substr(0, name.find('\0')));
  }
  return names;
}

struct tag {
  std::string expr;
  std::vector<std::string> keys;
};

struct index_file {
  std::string folder;
  std::string file;
  std::vector<std::string> fields;  // as the database container names them
  std::vector<tag> tags;
};

TEST(DbfXbaseTestdata, KeysOfTheSharedIndexFiles) {
  using v = std::vector<std::string>;
  const std::string nw = "vfp-northwind";
  const std::string fp = "dbf/foxprodb";
  const std::vector<index_file> files = {
      {nw,
       "Categories.CDX",
       {"categoryid", "categoryname", "description", "picture"},
       {{"categoryid", v{"categoryid"}}, {"UPPER(categoryname)", v{"categoryname"}}}},
      {nw,
       "Customers.CDX",
       {"customerid", "companyname", "contactname", "contacttitle", "address", "city", "region",
        "postalcode", "country", "phone", "fax"},
       {{"UPPER(city)", v{"city"}},
        {"UPPER(companyname)", v{"companyname"}},
        {"customerid", v{"customerid"}},
        {"UPPER(postalcode)", v{"postalcode"}},
        {"UPPER(region)", v{"region"}}}},
      {nw,
       "customercustomerdemo.cdx",
       {"customerid", "customertypeid"},
       {{"ALLTRIM(UPPER(customerid))", v{"customerid"}},
        {"ALLTRIM(UPPER(customertypeid))", v{"customertypeid"}}}},
      {nw,
       "customerdemographics.cdx",
       {"customertypeid", "customerdesc"},
       {{"ALLTRIM(UPPER(customertypeid))", v{"customertypeid"}}}},
      {nw,
       "employees.cdx",
       {"employeeid", "lastname", "firstname", "title", "titleofcourtesy", "birthdate", "hiredate",
        "address", "city", "region", "postalcode", "country", "homephone", "extension", "photo",
        "notes", "reportsto"},
       {{"employeeid", v{"employeeid"}},
        {"UPPER(lastname)", v{"lastname"}},
        {"UPPER(postalcode)", v{"postalcode"}},
        {"reportsto", v{"reportsto"}}}},
      {nw,
       "employeeterritories.cdx",
       {"employeeid", "territoryid"},
       {{"employeeid", v{"employeeid"}}, {"territoryid", v{"territoryid"}}}},
      {nw,
       "orderdetails.cdx",
       {"orderid", "productid", "unitprice", "quantity", "discount"},
       {{"orderid", v{"orderid"}},
        {"STR(orderid)+STR(productid)", v{"orderid", "productid"}},
        {"productid", v{"productid"}}}},
      {nw,
       "orders.cdx",
       {"orderid", "customerid", "employeeid", "orderdate", "requireddate", "shippeddate",
        "shipvia", "freight", "shipname", "shipaddress", "shipcity", "shipregion", "shippostalcode",
        "shipcountry"},
       {{"customerid", v{"customerid"}},
        {"employeeid", v{"employeeid"}},
        {"orderdate", v{"orderdate"}},
        {"orderid", v{"orderid"}},
        {"shippeddate", v{"shippeddate"}},
        {"shipvia", v{"shipvia"}}}},
      {nw, "region.cdx", {"regionid", "regiondescription"}, {{"regionid", v{"regionid"}}}},
      {nw, "shippers.cdx", {"shipperid", "companyname", "phone"}, {{"shipperid", v{"shipperid"}}}},
      {nw,
       "suppliers.cdx",
       {"supplierid", "companyname", "contactname", "contacttitle", "address", "city", "region",
        "postalcode", "country", "phone", "fax", "homepage"},
       {{"UPPER(companyname)", v{"companyname"}},
        {"postalcode", v{"postalcode"}},
        {"supplierid", v{"supplierid"}}}},
      {nw,
       "territories.cdx",
       {"territoryid", "territorydescription", "regionid"},
       {{"regionid", v{"regionid"}}, {"ALLTRIM(UPPER(territoryid))", v{"territoryid"}}}},
      {fp,
       "calls.CDX",
       {"call_id", "contact_id", "call_date", "call_time", "subject", "notes"},
       {{"call_id", v{"call_id"}}, {"contact_id", v{"contact_id"}}}},
      {fp,
       "contacts.CDX",
       {"contact_id", "first_name", "last_name", "contact_type_id", "notes"},
       {{"contact_id", v{"contact_id"}}, {"contact_type_id", v{"contact_type_id"}}}},
      {fp, "setup.CDX", {"key_name", "value"}, {{"key_name", v{"key_name"}}}},
      {fp,
       "types.CDX",
       {"contact_type_id", "contact_type"},
       {{"contact_type_id", v{"contact_type_id"}}}},
  };
  for (const index_file& f : files) {
    const std::string path = std::string(QV_TESTDATA_DIR) + "/" + f.folder + "/" + f.file;
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "shared index files not present: " << path;
    const std::vector<std::string> exprs = cdx_key_expressions(path);
    ASSERT_EQ(exprs.size(), f.tags.size()) << path;
    for (std::size_t i = 0; i < exprs.size(); ++i) {
      EXPECT_EQ(exprs[i], f.tags[i].expr) << path;
      EXPECT_EQ(dbf_translate_key(exprs[i], f.fields), f.tags[i].keys) << path << " " << exprs[i];
    }
  }
}

// Tables of a container keep ten-character names in their headers; keys use the container's
// long names, which the header names do not match.
TEST(DbfXbaseTestdata, KeysNeedTheContainersLongNames) {
  const std::string dir = std::string(QV_TESTDATA_DIR) + "/vfp-northwind/";
  if (!std::filesystem::exists(dir + "customercustomerdemo.dbf"))
    GTEST_SKIP() << "shared tables not present";
  const std::vector<std::string> short_names = header_field_names(dir + "customercustomerdemo.dbf");
  EXPECT_EQ(short_names, (std::vector<std::string>{"CUSTOMERID", "CUSTOMERTY"}));
  const std::vector<std::string> exprs = cdx_key_expressions(dir + "customercustomerdemo.cdx");
  ASSERT_EQ(exprs.size(), 2u);
  EXPECT_EQ(dbf_translate_key(exprs[0], short_names), std::vector<std::string>{"CUSTOMERID"});
  EXPECT_EQ(dbf_translate_key(exprs[1], short_names), std::nullopt);
}

}  // namespace
