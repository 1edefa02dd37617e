// Database containers: the shared Northwind and FoxPro containers read whole, containers built
// here byte by byte (valid, and damaged in each way the reader must refuse), and the search
// for a container's table files under the source folder.
#include "dbf/dbf_container.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "dbf/dbf_dbc_property.h"
#include "dbf/dbf_exception.h"
#include "dbf/dbf_recordset.h"
#include "dbf_test_util.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// The message of the dbf_exception that reading `path` fails with, naming the container;
// "read" when it does not fail.
std::string refusal(const std::string& path) {
  try {
    dbf_read_container(path);
  } catch (const dbf_exception& e) {
    EXPECT_THAT(e.message(), HasSubstr("Database container " + path + ": "));
    return e.message();
  }
  return "read";
}

std::string shared(const std::string& path) {
  return std::string(QV_TESTDATA_DIR) + "/" + path;
}

#define REQUIRE_SHARED(path)                                                            \
  do {                                                                                  \
    if (!fs::exists(shared(path))) GTEST_SKIP() << "shared file not present: " << path; \
  } while (0)

const dbf_dbc_table& table_named(const dbf_container& c, const std::string& name) {
  const auto t = std::find_if(c.tables.begin(), c.tables.end(),
                              [&](const dbf_dbc_table& x) { return x.name == name; });
  if (t == c.tables.end()) throw std::runtime_error("no table " + name);
  return *t;
}

const dbf_dbc_field& field_named(const dbf_dbc_table& t, const std::string& name) {
  const auto f = std::find_if(t.fields.begin(), t.fields.end(),
                              [&](const dbf_dbc_field& x) { return x.name == name; });
  if (f == t.fields.end()) throw std::runtime_error("no field " + name + " in " + t.name);
  return *f;
}

std::vector<std::string> table_names(const dbf_container& c) {
  std::vector<std::string> names;
  for (const dbf_dbc_table& t : c.tables) names.push_back(t.name);
  return names;
}

std::vector<std::string> field_names(const dbf_dbc_table& t) {
  std::vector<std::string> names;
  for (const dbf_dbc_field& f : t.fields) names.push_back(f.name);
  return names;
}

// "child.tag>parent.tag UDI" for each relation.
std::vector<std::string> relation_lines(const dbf_container& c) {
  std::vector<std::string> lines;
  for (const dbf_dbc_relation& r : c.relations)
    lines.push_back(r.child_table + "." + r.child_tag + ">" + r.parent_table + "." + r.parent_tag +
                    " " + r.on_update + r.on_delete + r.on_insert);
  return lines;
}

// ---- Containers built here -------------------------------------------------------------

std::string prop(dbf_dbc_prop id, const std::string& value) {
  std::string r(7, '\0');
  dbf_put_le(r, 0, 7 + value.size(), 4);
  dbf_put_le(r, 4, 1, 2);
  r[6] = static_cast<char>(id);
  return r + value;
}

std::string text(dbf_dbc_prop id, const std::string& value) {
  return prop(id, value + '\0');
}

struct test_object {
  int id;
  int parent;
  std::string type, name, property;
  std::string riinfo = {};
  std::string code = {};
  bool deleted = false;
};

// A container table with the columns and flags Visual FoxPro writes, and its FPT memo (64-byte
// blocks) holding the objects' PROPERTY and CODE memos.
struct test_container {
  std::string dbc, dct;
};

test_container make_container(const std::vector<test_object>& objects, std::uint8_t flags = 0x07) {
  constexpr std::size_t block = 64;
  std::string dct(512, '\0');
  dbf_put_be(dct, 6, block, 2);
  auto add_memo = [&](const std::string& bytes) -> std::uint32_t {
    if (bytes.empty()) return 0;
    const auto at = static_cast<std::uint32_t>(dct.size() / block);
    std::string head(8, '\0');
    dbf_put_be(head, 4, bytes.size(), 4);
    dct += head + bytes;
    dct.resize((dct.size() + block - 1) / block * block, '\0');
    return at;
  };
  std::vector<std::string> records;
  for (const test_object& o : objects) {
    std::string r(165, ' ');
    r[0] = o.deleted ? '*' : ' ';
    dbf_put_le(r, 1, static_cast<std::uint32_t>(o.id), 4);
    dbf_put_le(r, 5, static_cast<std::uint32_t>(o.parent), 4);
    r.replace(9, o.type.size(), o.type);
    r.replace(19, o.name.size(), o.name);
    dbf_put_le(r, 147, add_memo(o.property), 4);
    dbf_put_le(r, 151, add_memo(o.code), 4);
    r.replace(155, o.riinfo.size(), o.riinfo);
    dbf_put_le(r, 161, 0, 4);
    records.push_back(r);
  }
  dbf_put_be(dct, 0, dct.size() / block, 4);
  std::string dbc = dbf_make_table(0x30,
                                   {{"OBJECTID", 'I', 4, 0, 4},
                                    {"PARENTID", 'I', 4, 0, 4},
                                    {"OBJECTTYPE", 'C', 10},
                                    {"OBJECTNAME", 'C', 128},
                                    {"PROPERTY", 'M', 4, 0, 4},
                                    {"CODE", 'M', 4, 0, 4},
                                    {"RIINFO", 'C', 6},
                                    {"USER", 'M', 4}},
                                   records, flags, 0x03);
  // The 263-byte backlink area, empty in a container, between descriptors and records.
  const std::size_t header = 32 + 32 * 8 + 1;
  dbc.insert(header, std::string(263, '\0'));
  dbf_put_le(dbc, 8, header + 263, 2);
  return {dbc, dct};
}

std::string table_props(const std::string& path, const std::string& primary = {}) {
  std::string p = prop(dbf_dbc_prop::object_class, "\x01") + text(dbf_dbc_prop::path, path);
  if (!primary.empty()) p += text(dbf_dbc_prop::primary_key, primary);
  return p;
}

std::string index_props(bool key) {
  return prop(dbf_dbc_prop::key_tag, key ? std::string(1, '\x01') : std::string(1, '\0'));
}

std::string relation_props(const std::string& child_tag, const std::string& parent,
                           const std::string& parent_tag) {
  return text(dbf_dbc_prop::relation_tag, child_tag) + text(dbf_dbc_prop::related_table, parent) +
         text(dbf_dbc_prop::related_tag, parent_tag);
}

// The objects every container starts with.
std::vector<test_object> database_objects(const std::string& procedures = {}) {
  return {{1, 1, "Database", "Database", ""},
          {2, 1, "Database", "TransactionLog", ""},
          {3, 1, "Database", "StoredProceduresSource", "", "", procedures}};
}

class ContainerBuiltTest : public ::testing::Test {
 protected:
  std::string write(const test_container& c) {
    dir_.write("shop.dct", c.dct);
    return dir_.write("shop.dbc", c.dbc);
  }
  void expect_refused(const std::string& path, const std::string& what) {
    EXPECT_THAT(refusal(path), HasSubstr(what));
  }
  dbf_temp_dir dir_;
};

}  // namespace

// ---- The shared containers -------------------------------------------------------------

TEST(ContainerSharedTest, NorthwindTablesFieldsAndKeys) {
  REQUIRE_SHARED("vfp-northwind/northwind.dbc");
  const dbf_container c = dbf_read_container(shared("vfp-northwind/northwind.dbc"));
  EXPECT_EQ(table_names(c),
            (std::vector<std::string>{"Categories", "Customers", "Employees", "OrderDetails",
                                      "Orders", "Products", "Shippers", "Suppliers", "Territories",
                                      "EmployeeTerritories", "CustomerDemographics",
                                      "CustomerCustomerDemo", "Region"}));
  const dbf_dbc_table& details = table_named(c, "OrderDetails");
  EXPECT_EQ(details.path, "orderdetails.dbf");
  EXPECT_EQ(details.primary_tag, "primarykey");
  EXPECT_EQ(field_names(details), (std::vector<std::string>{"orderid", "productid", "unitprice",
                                                            "quantity", "discount"}));
  const dbf_dbc_field& discount = field_named(details, "discount");
  EXPECT_EQ(discount.default_value, "0");
  EXPECT_EQ(discount.rule, "discount=>0.AND.discount<1");
  EXPECT_EQ(discount.rule_text, "\"You must enter a value  between 0 and 1.\"");
  EXPECT_EQ(discount.caption, "Discount");
  EXPECT_EQ(field_named(details, "orderid").comment, "Orders table foreign key.");
  // Long names beyond the ten characters of the table's own descriptors.
  EXPECT_EQ(field_names(table_named(c, "Territories")),
            (std::vector<std::string>{"territoryid", "territorydescription", "regionid"}));
  EXPECT_EQ(field_named(table_named(c, "Products"), "discontinued").default_value, ".F.");

  std::size_t tags = 0;
  for (const dbf_dbc_table& t : c.tables) {
    tags += t.indexes.size();
    const auto primaries = std::count_if(t.indexes.begin(), t.indexes.end(),
                                         [](const dbf_dbc_index& i) { return i.primary; });
    EXPECT_EQ(primaries, t.primary_tag.empty() ? 0 : 1) << t.name;
    for (const dbf_dbc_index& i : t.indexes) {
      if (i.primary) {
        EXPECT_EQ(i.tag, t.primary_tag) << t.name;
      }
    }
  }
  EXPECT_EQ(tags, 36u);
  EXPECT_EQ(table_named(c, "Territories").primary_tag, "territoryi");
  EXPECT_EQ(table_named(c, "EmployeeTerritories").primary_tag, "");
  EXPECT_TRUE(c.has_stored_procedures);
}

TEST(ContainerSharedTest, NorthwindRelationsViewsAndConnection) {
  REQUIRE_SHARED("vfp-northwind/northwind.dbc");
  const dbf_container c = dbf_read_container(shared("vfp-northwind/northwind.dbc"));
  EXPECT_EQ(
      relation_lines(c),
      (std::vector<std::string>{
          "Products.categoryid>Categories.categoryid RRI",
          "Orders.customerid>Customers.customerid CRI", "Orders.shipperid>Shippers.shipperid RRI",
          "OrderDetails.productid>Products.productid RRI",
          "Employees.reportsto>Employees.employeeid RRI",
          "Orders.employeeid>Employees.employeeid RRI", "OrderDetails.orderid>Orders.orderid RCI",
          "Products.supplierid>Suppliers.supplierid RRI",
          "EmployeeTerritories.territoryi>Territories.territoryi RRI",
          "EmployeeTerritories.employeeid>Employees.employeeid RCI",
          "CustomerCustomerDemo.custtypeid>CustomerDemographics.custtypeid RRI",
          "CustomerCustomerDemo.customerid>Customers.customerid RRI",
          "Territories.regionid>Region.regionid RRI"}));

  // 18 live views; six deleted "vdtemp{...}" ones are left out.
  ASSERT_EQ(c.views.size(), 18u);
  EXPECT_EQ(c.views.front().name, "current_product_list");
  EXPECT_EQ(c.views.back().name, "bedrijven");
  for (const dbf_dbc_view& v : c.views) {
    EXPECT_EQ(v.sql.rfind("SELECT", 0), 0u) << v.name << ": " << v.sql;
    EXPECT_EQ(v.name.find("vdtemp"), std::string::npos);
    EXPECT_EQ(v.connection.empty(), v.name != "bedrijven") << v.name;
  }
  EXPECT_EQ(c.views.back().connection, "CURSADM");
  EXPECT_NE(c.views.back().sql.find("INNER JOIN dbo.Personen"), std::string::npos);
  EXPECT_EQ(c.connections, std::vector<std::string>{"Cursadm"});
}

TEST(ContainerSharedTest, FoxproContainerKeysAndRelations) {
  REQUIRE_SHARED("dbf/foxprodb/FOXPRO-DB-TEST.DBC");
  const dbf_container c = dbf_read_container(shared("dbf/foxprodb/FOXPRO-DB-TEST.DBC"));
  EXPECT_EQ(table_names(c), (std::vector<std::string>{"types", "setup", "contacts", "calls"}));
  EXPECT_EQ(table_named(c, "types").primary_tag, "type_id");
  EXPECT_EQ(table_named(c, "setup").primary_tag, "key_name");
  EXPECT_EQ(table_named(c, "contacts").primary_tag, "");
  const dbf_dbc_table& contacts = table_named(c, "contacts");
  EXPECT_EQ(contacts.fields.size(), 29u);
  EXPECT_EQ(contacts.fields.back().name, "contacts_interests");
  EXPECT_EQ(field_named(contacts, "contact_id").default_value, "newid()");
  // Deleted index objects (an earlier type_id tag) are left out; contact_id is a candidate key,
  // the one a relation's parent tag needs.
  ASSERT_EQ(contacts.indexes.size(), 2u);
  EXPECT_EQ(contacts.indexes[0].tag, "contact_id");
  EXPECT_TRUE(contacts.indexes[0].candidate);
  EXPECT_FALSE(contacts.indexes[0].primary);
  EXPECT_EQ(contacts.indexes[1].tag, "type_id");
  EXPECT_FALSE(contacts.indexes[1].candidate);
  EXPECT_TRUE(table_named(c, "types").indexes.at(0).primary);
  EXPECT_FALSE(table_named(c, "types").indexes.at(0).candidate);
  // A blank RIINFO: no rules.
  EXPECT_EQ(relation_lines(c),
            (std::vector<std::string>{"contacts.type_id>types.type_id III",
                                      "calls.contact_id>contacts.contact_id III"}));
  EXPECT_TRUE(c.views.empty());
  EXPECT_TRUE(c.has_stored_procedures);
}

TEST(ContainerSharedTest, LongNamesFollowTheTablesFieldOrder) {
  // The container lists fields in the table's order: each long name starts with the short name
  // of the table field at its place (_NullFlags, which the container does not list, aside).
  REQUIRE_SHARED("vfp-northwind/northwind.dbc");
  const std::string dbc = shared("vfp-northwind/northwind.dbc");
  const dbf_container c = dbf_read_container(dbc);
  int checked = 0;
  for (const dbf_dbc_table& t : c.tables) {
    const auto file = dbf_container_table_path(c, t, QV_TESTDATA_DIR);
    if (!file) continue;
    const dbf_recordset rs(tk_from_utf8(*file), dbf_recordset::k_mode_read, 0);
    ASSERT_EQ(rs.layouts().size(), t.fields.size()) << t.name;
    for (std::size_t i = 0; i < t.fields.size(); ++i) {
      std::string short_name(rs.layouts()[i].fd.name());
      std::transform(short_name.begin(), short_name.end(), short_name.begin(), ::tolower);
      EXPECT_EQ(t.fields[i].name.rfind(short_name, 0), 0u) << t.name << ": " << short_name;
    }
    ++checked;
  }
  EXPECT_EQ(checked, 12);  // all but Products, absent on purpose
}

TEST(ContainerSharedTest, TableFilesResolveAndTheAbsentOneDoesNot) {
  REQUIRE_SHARED("dbf/foxprodb/FOXPRO-DB-TEST.DBC");
  const dbf_container fox = dbf_read_container(shared("dbf/foxprodb/FOXPRO-DB-TEST.DBC"));
  const auto calls = dbf_container_table_path(fox, table_named(fox, "calls"), QV_TESTDATA_DIR);
  ASSERT_TRUE(calls.has_value());
  EXPECT_TRUE(fs::equivalent(*calls, shared("dbf/foxprodb/calls.dbf")));

  REQUIRE_SHARED("vfp-northwind/northwind.dbc");
  const dbf_container nw = dbf_read_container(shared("vfp-northwind/northwind.dbc"));
  EXPECT_FALSE(dbf_container_table_path(nw, table_named(nw, "Products"), QV_TESTDATA_DIR));
  // The source tree given as the container's own folder is enough; a sibling folder is not.
  EXPECT_TRUE(dbf_container_table_path(nw, table_named(nw, "Orders"), shared("vfp-northwind")));
  EXPECT_FALSE(dbf_container_table_path(nw, table_named(nw, "Orders"), shared("dbf")));
}

TEST(ContainerSharedTest, DamagedCopiesOfARealContainerFail) {
  REQUIRE_SHARED("dbf/foxprodb/FOXPRO-DB-TEST.DBC");
  const std::string dbc = tk_read_file(shared("dbf/foxprodb/FOXPRO-DB-TEST.DBC"));
  const std::string dct = tk_read_file(shared("dbf/foxprodb/FOXPRO-DB-TEST.DCT"));
  dbf_temp_dir dir;
  // Without its memo file.
  EXPECT_THAT(refusal(dir.write("alone.dbc", dbc)), HasSubstr("memo file (.dct) is missing"));
  // Cut inside the records, inside the header, and to nothing.
  dir.write("cut.dct", dct);
  for (const std::size_t size :
       {dbc.size() - 100, std::size_t{300}, std::size_t{20}, std::size_t{0}})
    EXPECT_THAT(refusal(dir.write("cut.dbc", dbc.substr(0, size))), HasSubstr("DBF format"))
        << size;
  // A memo file cut short leaves the later objects without properties: a table has no path.
  dir.write("short.DCT", dct.substr(0, 1024));
  EXPECT_THAT(refusal(dir.write("short.dbc", dbc)), HasSubstr("has no path"));
  // A missing container is refused, not created.
  EXPECT_THAT(refusal(dir.file("none.dbc")), HasSubstr("the file is missing"));
  EXPECT_FALSE(fs::exists(dir.file("none.dbc")));
}

// ---- Containers built here -------------------------------------------------------------

TEST_F(ContainerBuiltTest, ReadsEveryKindOfObject) {
  std::vector<test_object> objects = database_objects("PROCEDURE x\r\nENDPROC\r\n");
  const std::vector<test_object> more = {
      {10, 1, "Table", "Customer",
       table_props("..\\data\\cust.dbf", "CUSTID") +
           text(dbf_dbc_prop::rule_expression, "!EMPTY(name)") +
           text(dbf_dbc_prop::rule_text, "\"Name needed\"") +
           text(dbf_dbc_prop::comment, "People who buy")},
      {11, 10, "Field", "customer_id",
       text(dbf_dbc_prop::caption, "Customer") +
           prop(static_cast<dbf_dbc_prop>(0x99), "unknown id")},
      {12, 10, "Field", "name_of_customer",
       text(dbf_dbc_prop::default_value, "\"?\"") + text(dbf_dbc_prop::comment, "Full name")},
      {13, 10, "Index", "custid", index_props(true)},
      {14, 10, "Index", "email", index_props(true)},
      {15, 10, "Index", "name", index_props(false)},
      {16, 1, "Table", "Orders", table_props("orders.dbf")},
      {17, 16, "Field", "cust_id", ""},
      {18, 16, "Index", "cust_id", index_props(false)},
      {19, 16, "Relation", "Relation 1", relation_props("cust_id", "CUSTOMER", "custid"), "cr"},
      {20, 1, "Table", "Gone", table_props("gone.dbf"), "", "", true},
      {21, 1, "View", "local_view",
       text(dbf_dbc_prop::sql, "SELECT * FROM customer") + text(dbf_dbc_prop::comment, "All")},
      {22, 21, "Field", "custid", ""},
      {23, 1, "Connection", "Remote", ""},
      {24, 1, "View", "remote_view",
       text(dbf_dbc_prop::sql, "SELECT 1") + text(dbf_dbc_prop::connect_name, "Remote")},
  };
  objects.insert(objects.end(), more.begin(), more.end());
  const std::string path = write(make_container(objects));
  const dbf_container c = dbf_read_container(path);

  EXPECT_EQ(c.path, path);
  EXPECT_TRUE(c.has_stored_procedures);
  EXPECT_EQ(table_names(c), (std::vector<std::string>{"Customer", "Orders"}));
  const dbf_dbc_table& cust = c.tables[0];
  EXPECT_EQ(cust.path, "..\\data\\cust.dbf");
  EXPECT_EQ(cust.rule, "!EMPTY(name)");
  EXPECT_EQ(cust.rule_text, "\"Name needed\"");
  EXPECT_EQ(cust.comment, "People who buy");
  ASSERT_EQ(cust.fields.size(), 2u);
  EXPECT_EQ(cust.fields[0].caption, "Customer");
  EXPECT_EQ(cust.fields[1].name, "name_of_customer");
  EXPECT_EQ(cust.fields[1].default_value, "\"?\"");
  EXPECT_EQ(cust.fields[1].comment, "Full name");
  // The primary tag matched ignoring case; another key tag is a candidate.
  ASSERT_EQ(cust.indexes.size(), 3u);
  EXPECT_TRUE(cust.indexes[0].primary);
  EXPECT_FALSE(cust.indexes[0].candidate);
  EXPECT_TRUE(cust.indexes[1].candidate);
  EXPECT_FALSE(cust.indexes[2].primary || cust.indexes[2].candidate);
  // The parent table by the container's spelling; lower-case RIINFO, insert left blank.
  EXPECT_EQ(relation_lines(c), std::vector<std::string>{"Orders.cust_id>Customer.custid CRI"});
  ASSERT_EQ(c.views.size(), 2u);
  EXPECT_EQ(c.views[0].sql, "SELECT * FROM customer");
  EXPECT_EQ(c.views[0].comment, "All");
  EXPECT_EQ(c.views[0].connection, "");
  EXPECT_EQ(c.views[1].connection, "Remote");
  EXPECT_EQ(c.connections, std::vector<std::string>{"Remote"});
}

TEST_F(ContainerBuiltTest, BlankStoredProceduresAreNone) {
  std::vector<test_object> objects = database_objects(" \r\n");
  objects.push_back({10, 1, "Table", "t", table_props("t.dbf")});
  const dbf_container c = dbf_read_container(write(make_container(objects)));
  EXPECT_FALSE(c.has_stored_procedures);
  EXPECT_EQ(c.tables.size(), 1u);
}

TEST_F(ContainerBuiltTest, DamagedPropertyMemosFail) {
  std::string zero = table_props("t.dbf");
  dbf_put_le(zero, 0, 0, 4);  // first record of length 0: must not loop
  std::string past = table_props("t.dbf");
  dbf_put_le(past, 0, 4000, 4);
  for (const std::string& property : {zero, past}) {
    std::vector<test_object> objects = database_objects();
    objects.push_back({10, 1, "Table", "broken", property});
    expect_refused(write(make_container(objects)), "Table \"broken\" (object 10)");
  }
}

TEST_F(ContainerBuiltTest, BrokenObjectLinksFail) {
  const auto refused = [&](const std::vector<test_object>& extra, const std::string& what) {
    std::vector<test_object> objects = database_objects();
    objects.push_back({10, 1, "Table", "t", table_props("t.dbf", "id")});
    objects.insert(objects.end(), extra.begin(), extra.end());
    expect_refused(write(make_container(objects)), what);
  };
  refused({{11, 99, "Field", "lost", ""}}, "parent object 99");
  refused({{11, 1, "Index", "loose", index_props(true)}}, "not a table");
  refused({{10, 1, "Table", "twin", table_props("twin.dbf")}}, "repeats the id");
  refused({{11, 10, "Relation", "Relation 1", relation_props("id", "nowhere", "id")}},
          "\"nowhere\"");
  refused({{11, 1, "Table", "pathless", prop(dbf_dbc_prop::object_class, "\x01")}}, "has no path");
  // A live object whose parent is deleted points nowhere too.
  refused({{11, 1, "Table", "old", table_props("old.dbf"), "", "", true},
           {12, 11, "Field", "orphan", ""}},
          "parent object 11");
}

TEST_F(ContainerBuiltTest, NotAContainerFails) {
  std::vector<test_object> objects = database_objects();
  // A Visual FoxPro table with a memo but without the container flag.
  const test_container plain = make_container(objects, 0x02);
  dir_.write("plain.fpt", plain.dct);
  dir_.write("plain.dct", plain.dct);
  expect_refused(dir_.write("plain.dbc", plain.dbc), "not a database container");
  // A dBase III table.
  dir_.write("old.dct", plain.dct);
  expect_refused(dir_.write("old.dbc", dbf_make_table(0x03, {{"NAME", 'C', 10}}, {" abc       "})),
                 "not a database container");
}

// ---- Table paths -----------------------------------------------------------------------

class ContainerPathTest : public ::testing::Test {
 protected:
  ContainerPathTest() {
    fs::create_directories(root() + "/db/Sub");
    fs::create_directories(root() + "/data");
    dir_.write("src/db/SALES.DBF", "x");
    dir_.write("src/db/Sub/Deep.Dbf", "x");
    dir_.write("src/data/orders.dbf", "x");
    dir_.write("outside.dbf", "x");
    container_.path = root() + "/db/shop.dbc";
  }
  std::string root() const { return dir_.file("src"); }
  std::optional<std::string> resolve(const std::string& stored) const {
    dbf_dbc_table t;
    t.path = stored;
    return dbf_container_table_path(container_, t, root());
  }
  dbf_temp_dir dir_;
  dbf_container container_;
};

TEST_F(ContainerPathTest, ComponentsMatchIgnoringCase) {
  EXPECT_EQ(resolve("sales.dbf"), root() + "/db/SALES.DBF");
  EXPECT_EQ(resolve("sub\\deep.dbf"), root() + "/db/Sub/Deep.Dbf");
  EXPECT_EQ(resolve(".\\SUB\\.\\DEEP.DBF"), root() + "/db/Sub/Deep.Dbf");
  EXPECT_EQ(resolve("..\\Data\\ORDERS.dbf"), root() + "/data/orders.dbf");
  EXPECT_EQ(resolve("..\\db\\..\\data\\orders.dbf"), root() + "/data/orders.dbf");
}

TEST_F(ContainerPathTest, PathsLeavingTheRootOrMissingAreRefused) {
  ASSERT_TRUE(fs::exists(dir_.file("outside.dbf")));
  EXPECT_FALSE(resolve("..\\..\\outside.dbf"));
  EXPECT_FALSE(resolve("..\\db\\..\\..\\outside.dbf"));
  EXPECT_FALSE(resolve("..\\..\\src\\db\\sales.dbf"));  // back inside, but only by leaving
  EXPECT_FALSE(resolve("c:\\data\\orders.dbf"));
  EXPECT_FALSE(resolve("\\\\server\\share\\orders.dbf"));
  EXPECT_FALSE(resolve("\\src\\db\\sales.dbf"));
  EXPECT_FALSE(resolve("missing.dbf"));
  EXPECT_FALSE(resolve("sub"));  // a folder
  EXPECT_FALSE(resolve(""));
}

TEST_F(ContainerPathTest, LinksOutOfTheRootAndContainersOutsideItAreRefused) {
  fs::create_symlink(dir_.file("outside.dbf"), root() + "/db/link.dbf");
  EXPECT_FALSE(resolve("link.dbf"));
  dbf_container elsewhere;
  elsewhere.path = dir_.file("other.dbc");
  dbf_dbc_table t;
  t.path = "outside.dbf";
  EXPECT_FALSE(dbf_container_table_path(elsewhere, t, root()));
}
