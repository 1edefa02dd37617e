// The 18 views of the Visual FoxPro Northwind container (northwind.dbc), their SQL as the
// container stores it, each translated with the tables and fields the container declares.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mss/mss_vfp_view.h"
#include "tk/tk_encoding.h"

namespace {

using K = mss_view_kind;

// The container's tables with their long field names; the server names are the same (the
// conversion keeps valid names). Kinds from the tables' field types.
mss_view_names northwind_tables() {
  mss_view_names n;
  n.add(u"Categories", u"Categories")
      .add(u"categoryid", u"categoryid", K::number)
      .add(u"categoryname", u"categoryname", K::text)
      .add(u"description", u"description", K::text)
      .add(u"picture", u"picture");
  n.add(u"Customers", u"Customers")
      .add(u"customerid", u"customerid", K::text)
      .add(u"companyname", u"companyname", K::text)
      .add(u"contactname", u"contactname", K::text)
      .add(u"contacttitle", u"contacttitle", K::text)
      .add(u"address", u"address", K::text)
      .add(u"city", u"city", K::text)
      .add(u"region", u"region", K::text)
      .add(u"postalcode", u"postalcode", K::text)
      .add(u"country", u"country", K::text)
      .add(u"phone", u"phone", K::text)
      .add(u"fax", u"fax", K::text);
  n.add(u"Employees", u"Employees")
      .add(u"employeeid", u"employeeid", K::number)
      .add(u"lastname", u"lastname", K::text)
      .add(u"firstname", u"firstname", K::text)
      .add(u"title", u"title", K::text)
      .add(u"titleofcourtesy", u"titleofcourtesy", K::text)
      .add(u"birthdate", u"birthdate", K::date)
      .add(u"hiredate", u"hiredate", K::date)
      .add(u"address", u"address", K::text)
      .add(u"city", u"city", K::text)
      .add(u"region", u"region", K::text)
      .add(u"postalcode", u"postalcode", K::text)
      .add(u"country", u"country", K::text)
      .add(u"homephone", u"homephone", K::text)
      .add(u"extension", u"extension", K::text)
      .add(u"photo", u"photo", K::text)
      .add(u"notes", u"notes", K::text)
      .add(u"reportsto", u"reportsto", K::number);
  n.add(u"OrderDetails", u"OrderDetails")
      .add(u"orderid", u"orderid", K::number)
      .add(u"productid", u"productid", K::number)
      .add(u"unitprice", u"unitprice", K::number)
      .add(u"quantity", u"quantity", K::number)
      .add(u"discount", u"discount", K::number);
  n.add(u"Orders", u"Orders")
      .add(u"orderid", u"orderid", K::number)
      .add(u"customerid", u"customerid", K::text)
      .add(u"employeeid", u"employeeid", K::number)
      .add(u"orderdate", u"orderdate", K::date)
      .add(u"requireddate", u"requireddate", K::date)
      .add(u"shippeddate", u"shippeddate", K::date)
      .add(u"shipvia", u"shipvia", K::number)
      .add(u"freight", u"freight", K::number)
      .add(u"shipname", u"shipname", K::text)
      .add(u"shipaddress", u"shipaddress", K::text)
      .add(u"shipcity", u"shipcity", K::text)
      .add(u"shipregion", u"shipregion", K::text)
      .add(u"shippostalcode", u"shippostalcode", K::text)
      .add(u"shipcountry", u"shipcountry", K::text);
  n.add(u"Products", u"Products")
      .add(u"productid", u"productid", K::number)
      .add(u"productname", u"productname", K::text)
      .add(u"supplierid", u"supplierid", K::number)
      .add(u"categoryid", u"categoryid", K::number)
      .add(u"quantityperunit", u"quantityperunit", K::text)
      .add(u"unitprice", u"unitprice", K::number)
      .add(u"unitsinstock", u"unitsinstock", K::number)
      .add(u"unitsonorder", u"unitsonorder", K::number)
      .add(u"reorderlevel", u"reorderlevel", K::number)
      .add(u"discontinued", u"discontinued", K::logical);
  n.add(u"Shippers", u"Shippers")
      .add(u"shipperid", u"shipperid", K::number)
      .add(u"companyname", u"companyname", K::text)
      .add(u"phone", u"phone", K::text);
  n.add(u"Suppliers", u"Suppliers")
      .add(u"supplierid", u"supplierid", K::number)
      .add(u"companyname", u"companyname", K::text)
      .add(u"contactname", u"contactname", K::text)
      .add(u"contacttitle", u"contacttitle", K::text)
      .add(u"address", u"address", K::text)
      .add(u"city", u"city", K::text)
      .add(u"region", u"region", K::text)
      .add(u"postalcode", u"postalcode", K::text)
      .add(u"country", u"country", K::text)
      .add(u"phone", u"phone", K::text)
      .add(u"fax", u"fax", K::text)
      .add(u"homepage", u"homepage", K::text);
  return n;
}

struct northwind_view {
  const char* name;
  const char* vfp_sql;
};

// Verbatim from northwind.dct (tabs and double blanks included), in the container's order.
const std::vector<northwind_view> views = {
    {"current_product_list",
     "SELECT Product_List.ProductID, Product_List.ProductName  FROM Products AS Product_List  "
     "WHERE (((Product_List.Discontinued)=.F.))  ORDER BY Product_List.ProductName "},
    {"alphabetical_list_of_products",
     "SELECT Products.*, Categories.categoryname FROM  northwind!Categories  INNER JOIN "
     "northwind!Products  ON  Categories.categoryid = Products.categoryid WHERE  "
     "Products.discontinued = .F. ORDER BY Products.productname"},
    {"product_sales_for_1997",
     "SELECT Categories.CategoryName, Products.ProductName,  Sum( "
     "(OrderDetails.UnitPrice*OrderDetails.Quantity*(1-OrderDetails.Discount)/100) *100) AS "
     "ProductSales  FROM (Categories INNER JOIN Products ON Categories.CategoryID = "
     "Products.CategoryID)  INNER JOIN (Orders INNER JOIN OrderDetails ON Orders.OrderID = "
     "OrderDetails.OrderID)  ON Products.ProductID = OrderDetails.ProductID  WHERE "
     "BETWEEN(Orders.ShippedDate, {^1997/01/01},{^1997/12/31}) GROUP BY Categories.CategoryName, "
     "Products.ProductName"},
    {"category_sales_for_1997",
     "SELECT Product_Sales_For_1997.CategoryName, Sum(Product_Sales_For_1997.ProductSales) AS "
     "CategorySales FROM Product_Sales_For_1997 GROUP BY Product_Sales_For_1997.CategoryName"},
    {"customer_and_suppliers_by_city",
     "SELECT City, CompanyName, ContactName, 'Customers' AS Relationship  FROM Customers  UNION "
     "SELECT City, CompanyName, ContactName, 'Suppliers' FROM Suppliers"},
    {"order_details_extended",
     "SELECT OrderDetails.OrderID, OrderDetails.ProductID, Products.ProductName,  "
     "OrderDetails.UnitPrice, OrderDetails.Quantity, OrderDetails.Discount,  "
     "((OrderDetails.UnitPrice*OrderDetails.Quantity*(1-OrderDetails.Discount)/100)*100) AS "
     "ExtendedPrice FROM Products INNER JOIN OrderDetails ON Products.ProductID = "
     "OrderDetails.ProductID"},
    {"order_subtotals",
     "SELECT OrderDetails.OrderID, Sum( "
     "(OrderDetails.UnitPrice*OrderDetails.Quantity*(1-OrderDetails.Discount)/100) *100) AS "
     "Subtotal FROM OrderDetails GROUP BY OrderDetails.OrderID"},
    {"orders_qry",
     "SELECT Orders.OrderID, Orders.CustomerID, Orders.EmployeeID, Orders.OrderDate, "
     "Orders.RequiredDate,  Orders.ShippedDate, Orders.ShipVia, Orders.Freight, Orders.ShipName, "
     "Orders.ShipAddress, Orders.ShipCity,  Orders.ShipRegion, Orders.ShipPostalCode, "
     "Orders.ShipCountry,  Customers.CompanyName, Customers.Address, Customers.City, "
     "Customers.Region, Customers.PostalCode, Customers.Country FROM Customers INNER JOIN Orders "
     "ON Customers.CustomerID = Orders.CustomerID"},
    {"products_above_average_price",
     "SELECT Products.ProductName, Products.UnitPrice FROM Products WHERE "
     "Products.UnitPrice>(SELECT AVG(UnitPrice) From Products)"},
    {"products_by_category",
     "SELECT Categories.CategoryName, Products.ProductName, Products.QuantityPerUnit, "
     "Products.UnitsInStock, Products.Discontinued FROM Categories INNER JOIN Products ON "
     "Categories.CategoryID = Products.CategoryID WHERE Products.Discontinued = .F. ORDER BY "
     "Categories.CategoryName, Products.ProductName"},
    {"quarterly_orders",
     "SELECT DISTINCT Customers.CustomerID, Customers.CompanyName, Customers.City, "
     "Customers.Country FROM Customers RIGHT JOIN Orders ON Customers.CustomerID = "
     "Orders.CustomerID WHERE BETWEEN(Orders.OrderDate, {^1997/01/01},{^1997/12/31})"},
    {"sales_totals_by_amount",
     "SELECT Order_Subtotals.Subtotal AS SaleAmount, Orders.OrderID, Customers.CompanyName, "
     "Orders.ShippedDate FROM \tCustomers INNER JOIN  (Orders INNER JOIN Order_Subtotals ON "
     "Orders.OrderID = Order_Subtotals.OrderID)  ON Customers.CustomerID = Orders.CustomerID WHERE "
     "(Order_Subtotals.Subtotal >2500) AND BETWEEN(Orders.ShippedDate, "
     "{^1997/01/01},{^1997/12/31})"},
    {"sales_by_category",
     "SELECT Categories.CategoryID, Categories.CategoryName, Products.ProductName,  "
     "Sum(Order_Details_Extended.ExtendedPrice) AS ProductSales FROM \tCategories INNER JOIN  "
     "(Products INNER JOIN  (Orders INNER JOIN Order_Details_Extended ON Orders.OrderID = "
     "Order_Details_Extended.OrderID)  ON Products.ProductID = Order_Details_Extended.ProductID)  "
     "ON Categories.CategoryID = Products.CategoryID WHERE BETWEEN(Orders.OrderDate, "
     "{^1997/01/01},{^1997/12/31}) GROUP BY Categories.CategoryID, Categories.CategoryName, "
     "Products.ProductName ORDER BY Products.ProductName"},
    {"ten_most_expensive_products",
     "SELECT TOP 10 Products.ProductName AS TenMostExpensiveProducts, Products.UnitPrice FROM "
     "Products ORDER BY Products.UnitPrice DESC"},
    {"invoices",
     "SELECT Orders.ShipName, Orders.ShipAddress, Orders.ShipCity, Orders.ShipRegion, "
     "Orders.ShipPostalCode,  Orders.ShipCountry, Orders.CustomerID, Customers.CompanyName AS "
     "CustomerName, Customers.Address, Customers.City,  Customers.Region, Customers.PostalCode, "
     "Customers.Country,  (ALLTRIM(FirstName) + ' ' + ALLTRIM(LastName)) AS Salesperson,  "
     "Orders.OrderID, Orders.OrderDate, Orders.RequiredDate, Orders.ShippedDate, "
     "Shippers.CompanyName As ShipperName,  OrderDetails.ProductID, Products.ProductName, "
     "OrderDetails.UnitPrice, OrderDetails.Quantity,  OrderDetails.Discount,  "
     "(OrderDetails.UnitPrice*OrderDetails.Quantity*(1-OrderDetails.Discount)/100) *100 AS "
     "ExtendedPrice, Orders.Freight FROM Shippers INNER JOIN  (Products INNER JOIN (  (Employees "
     "INNER JOIN  (Customers INNER JOIN Orders ON Customers.CustomerID = Orders.CustomerID)  ON "
     "Employees.EmployeeID = Orders.EmployeeID)  INNER JOIN OrderDetails ON Orders.OrderID = "
     "OrderDetails.OrderID)  ON Products.ProductID = OrderDetails.ProductID)  ON "
     "Shippers.ShipperID = Orders.ShipVia ORDER BY Orders.CustomerID, Orders.ShippedDate DESC"},
    {"summary_of_sales_by_year",
     "SELECT\t YEAR(Orders.ShippedDate) as Year, SUM(Order_Subtotals.Subtotal) as Total  FROM "
     "\tOrders INNER JOIN Order_Subtotals ON Orders.OrderID = Order_Subtotals.OrderID  WHERE     "
     "NOT EMPTY(NVL(Orders.ShippedDate,\"\")) GROUP BY Year  ORDER BY Year"},
    {"summary_of_sales_by_quarter",
     "SELECT     YEAR(Orders.ShippedDate) as Year, INT(MONTH(Orders.ShippedDate)/4)+1 as Quarter,  "
     " SUM(Order_Subtotals.Subtotal) as Total FROM         Orders INNER JOIN  Order_Subtotals ON "
     "Orders.OrderID = Order_Subtotals.OrderID  WHERE     NOT EMPTY(NVL(Orders.ShippedDate,\"\")) "
     "GROUP BY Year, Quarter  ORDER BY Year, Quarter"},
    {"bedrijven",
     "SELECT Bedrijven.Bedrijfnr, Bedrijven.Naam, Personen.Naam AS persnaam FROM  Bedrijven "
     "Bedrijven  INNER JOIN dbo.Personen Personen  ON  Bedrijven.Bedrijfnr = Personen.Bedrijfnr "
     "ORDER BY Bedrijven.Naam"},
};

// Each view translated in the container's order, the ones that translate added to the names
// so that later views can read them.
std::vector<mss_view_translation> translate_all() {
  mss_view_names names = northwind_tables();
  std::vector<mss_view_translation> out;
  for (const northwind_view& v : views) {
    out.push_back(mss_translate_vfp_view(v.vfp_sql, names));
    if (out.back().failure.empty())
      names.add(tk_from_utf8(v.name), tk_from_utf8(v.name)).columns = out.back().columns;
  }
  return out;
}

struct expected_view {
  const char* name;
  const char16_t* sql;
  const char* failure;
  bool order_dropped;  // its ORDER BY has no TOP
};

// The remote view "bedrijven" reads tables of another server that the container does not
// hold: it has no local translation.
const std::vector<expected_view> expected = {
    {"current_product_list",
     u"SELECT [Product_List].[productid], [Product_List].[productname] FROM [Products] AS "
     u"[Product_List] WHERE ((([Product_List].[discontinued]) = 0))",
     "", true},
    {"alphabetical_list_of_products",
     u"SELECT [Products].*, [Categories].[categoryname] FROM [Categories] INNER JOIN [Products] ON "
     u"[Categories].[categoryid] = [Products].[categoryid] WHERE [Products].[discontinued] = 0",
     "", true},
    {"product_sales_for_1997",
     u"SELECT [Categories].[categoryname], [Products].[productname], "
     u"SUM(([OrderDetails].[unitprice] * [OrderDetails].[quantity] * (1 - "
     u"[OrderDetails].[discount]) / 100.0) * 100) AS [ProductSales] FROM ([Categories] INNER JOIN "
     u"[Products] ON [Categories].[categoryid] = [Products].[categoryid]) INNER JOIN ([Orders] "
     u"INNER JOIN [OrderDetails] ON [Orders].[orderid] = [OrderDetails].[orderid]) ON "
     u"[Products].[productid] = [OrderDetails].[productid] WHERE ([Orders].[shippeddate] BETWEEN "
     u"'19970101' AND '19971231') GROUP BY [Categories].[categoryname], [Products].[productname]",
     "", false},
    {"category_sales_for_1997",
     u"SELECT [product_sales_for_1997].[categoryname], "
     u"SUM([product_sales_for_1997].[ProductSales]) AS [CategorySales] FROM "
     u"[product_sales_for_1997] GROUP BY [product_sales_for_1997].[categoryname]",
     "", false},
    {"customer_and_suppliers_by_city",
     u"SELECT [city], [companyname], [contactname], 'Customers' AS [Relationship] FROM [Customers] "
     u"UNION SELECT [city], [companyname], [contactname], 'Suppliers' FROM [Suppliers]",
     "", false},
    {"order_details_extended",
     u"SELECT [OrderDetails].[orderid], [OrderDetails].[productid], [Products].[productname], "
     u"[OrderDetails].[unitprice], [OrderDetails].[quantity], [OrderDetails].[discount], "
     u"(([OrderDetails].[unitprice] * [OrderDetails].[quantity] * (1 - [OrderDetails].[discount]) "
     u"/ 100.0) * 100) AS [ExtendedPrice] FROM [Products] INNER JOIN [OrderDetails] ON "
     u"[Products].[productid] = [OrderDetails].[productid]",
     "", false},
    {"order_subtotals",
     u"SELECT [OrderDetails].[orderid], SUM(([OrderDetails].[unitprice] * "
     u"[OrderDetails].[quantity] * (1 - [OrderDetails].[discount]) / 100.0) * 100) AS [Subtotal] "
     u"FROM [OrderDetails] GROUP BY [OrderDetails].[orderid]",
     "", false},
    {"orders_qry",
     u"SELECT [Orders].[orderid], [Orders].[customerid], [Orders].[employeeid], "
     u"[Orders].[orderdate], [Orders].[requireddate], [Orders].[shippeddate], [Orders].[shipvia], "
     u"[Orders].[freight], [Orders].[shipname], [Orders].[shipaddress], [Orders].[shipcity], "
     u"[Orders].[shipregion], [Orders].[shippostalcode], [Orders].[shipcountry], "
     u"[Customers].[companyname], [Customers].[address], [Customers].[city], [Customers].[region], "
     u"[Customers].[postalcode], [Customers].[country] FROM [Customers] INNER JOIN [Orders] ON "
     u"[Customers].[customerid] = [Orders].[customerid]",
     "", false},
    {"products_above_average_price",
     u"SELECT [Products].[productname], [Products].[unitprice] FROM [Products] WHERE "
     u"[Products].[unitprice] > (SELECT AVG([unitprice]) FROM [Products])",
     "", false},
    {"products_by_category",
     u"SELECT [Categories].[categoryname], [Products].[productname], [Products].[quantityperunit], "
     u"[Products].[unitsinstock], [Products].[discontinued] FROM [Categories] INNER JOIN "
     u"[Products] ON [Categories].[categoryid] = [Products].[categoryid] WHERE "
     u"[Products].[discontinued] = 0",
     "", true},
    {"quarterly_orders",
     u"SELECT DISTINCT [Customers].[customerid], [Customers].[companyname], [Customers].[city], "
     u"[Customers].[country] FROM [Customers] RIGHT OUTER JOIN [Orders] ON "
     u"[Customers].[customerid] = [Orders].[customerid] WHERE ([Orders].[orderdate] BETWEEN "
     u"'19970101' AND '19971231')",
     "", false},
    {"sales_totals_by_amount",
     u"SELECT [order_subtotals].[Subtotal] AS [SaleAmount], [Orders].[orderid], "
     u"[Customers].[companyname], [Orders].[shippeddate] FROM [Customers] INNER JOIN ([Orders] "
     u"INNER JOIN [order_subtotals] ON [Orders].[orderid] = [order_subtotals].[orderid]) ON "
     u"[Customers].[customerid] = [Orders].[customerid] WHERE ([order_subtotals].[Subtotal] > "
     u"2500) AND ([Orders].[shippeddate] BETWEEN '19970101' AND '19971231')",
     "", false},
    {"sales_by_category",
     u"SELECT [Categories].[categoryid], [Categories].[categoryname], [Products].[productname], "
     u"SUM([order_details_extended].[ExtendedPrice]) AS [ProductSales] FROM [Categories] INNER "
     u"JOIN ([Products] INNER JOIN ([Orders] INNER JOIN [order_details_extended] ON "
     u"[Orders].[orderid] = [order_details_extended].[orderid]) ON [Products].[productid] = "
     u"[order_details_extended].[productid]) ON [Categories].[categoryid] = "
     u"[Products].[categoryid] WHERE ([Orders].[orderdate] BETWEEN '19970101' AND '19971231') "
     u"GROUP BY [Categories].[categoryid], [Categories].[categoryname], [Products].[productname]",
     "", true},
    {"ten_most_expensive_products",
     u"SELECT TOP (10) WITH TIES [Products].[productname] AS [TenMostExpensiveProducts], "
     u"[Products].[unitprice] FROM [Products] ORDER BY [Products].[unitprice] DESC",
     "", false},
    {"invoices",
     u"SELECT [Orders].[shipname], [Orders].[shipaddress], [Orders].[shipcity], "
     u"[Orders].[shipregion], [Orders].[shippostalcode], [Orders].[shipcountry], "
     u"[Orders].[customerid], [Customers].[companyname] AS [CustomerName], [Customers].[address], "
     u"[Customers].[city], [Customers].[region], [Customers].[postalcode], [Customers].[country], "
     u"(LTRIM(RTRIM([firstname])) + ' ' + LTRIM(RTRIM([lastname]))) AS [Salesperson], "
     u"[Orders].[orderid], [Orders].[orderdate], [Orders].[requireddate], [Orders].[shippeddate], "
     u"[Shippers].[companyname] AS [ShipperName], [OrderDetails].[productid], "
     u"[Products].[productname], [OrderDetails].[unitprice], [OrderDetails].[quantity], "
     u"[OrderDetails].[discount], ([OrderDetails].[unitprice] * [OrderDetails].[quantity] * (1 - "
     u"[OrderDetails].[discount]) / 100.0) * 100 AS [ExtendedPrice], [Orders].[freight] FROM "
     u"[Shippers] INNER JOIN ([Products] INNER JOIN (([Employees] INNER JOIN ([Customers] INNER "
     u"JOIN [Orders] ON [Customers].[customerid] = [Orders].[customerid]) ON "
     u"[Employees].[employeeid] = [Orders].[employeeid]) INNER JOIN [OrderDetails] ON "
     u"[Orders].[orderid] = [OrderDetails].[orderid]) ON [Products].[productid] = "
     u"[OrderDetails].[productid]) ON [Shippers].[shipperid] = [Orders].[shipvia]",
     "", true},
    {"summary_of_sales_by_year",
     u"SELECT YEAR([Orders].[shippeddate]) AS [Year], SUM([order_subtotals].[Subtotal]) AS [Total] "
     u"FROM [Orders] INNER JOIN [order_subtotals] ON [Orders].[orderid] = "
     u"[order_subtotals].[orderid] WHERE NOT ([Orders].[shippeddate] IS NULL) GROUP BY "
     u"YEAR([Orders].[shippeddate])",
     "", true},
    {"summary_of_sales_by_quarter",
     u"SELECT YEAR([Orders].[shippeddate]) AS [Year], CAST(ROUND(MONTH([Orders].[shippeddate]) / "
     u"4.0, 0, 1) AS bigint) + 1 AS [Quarter], SUM([order_subtotals].[Subtotal]) AS [Total] FROM "
     u"[Orders] INNER JOIN [order_subtotals] ON [Orders].[orderid] = [order_subtotals].[orderid] "
     u"WHERE NOT ([Orders].[shippeddate] IS NULL) GROUP BY YEAR([Orders].[shippeddate]), "
     u"CAST(ROUND(MONTH([Orders].[shippeddate]) / 4.0, 0, 1) AS bigint) + 1",
     "", true},
    {"bedrijven", u"", "unknown table Bedrijven", false},
};

TEST(mss_vfp_northwind, each_view_translates_to_its_expected_sql_or_fails_with_its_reason) {
  const std::vector<mss_view_translation> t = translate_all();
  ASSERT_EQ(t.size(), expected.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    ASSERT_STREQ(views[i].name, expected[i].name);
    EXPECT_EQ(tk_to_utf8(t[i].sql), tk_to_utf8(expected[i].sql));
    EXPECT_EQ(t[i].failure, expected[i].failure);
    EXPECT_EQ(t[i].notes,
              expected[i].order_dropped
                  ? std::vector<std::string>{"ORDER BY dropped: T-SQL views take it only with TOP"}
                  : std::vector<std::string>{});
  }
}

TEST(mss_vfp_northwind, views_read_by_later_views_carry_their_columns_and_uses) {
  const std::vector<mss_view_translation> t = translate_all();
  ASSERT_EQ(t.size(), 18u);
  // category_sales_for_1997 reads product_sales_for_1997 only.
  EXPECT_EQ(t[3].uses, std::vector<std::u16string>{u"product_sales_for_1997"});
  ASSERT_EQ(t[3].columns.size(), 2u);
  EXPECT_EQ(t[3].columns[0].column, u"categoryname");
  EXPECT_EQ(t[3].columns[0].kind, K::text);
  EXPECT_EQ(t[3].columns[1].column, u"CategorySales");
  EXPECT_EQ(t[3].columns[1].kind, K::number);
  // Products.* expands to the table's ten fields, then categoryname.
  EXPECT_EQ(t[1].columns.size(), 11u);
  EXPECT_EQ(t[16].uses, (std::vector<std::u16string>{u"Orders", u"order_subtotals"}));
}

TEST(mss_vfp_northwind, creation_order_puts_every_view_after_the_views_it_reads) {
  std::vector<mss_view_translation> t = translate_all();
  std::vector<std::u16string> names;
  for (const northwind_view& v : views) names.push_back(tk_from_utf8(v.name));
  // Reversed, the container's order would create readers before what they read.
  std::reverse(t.begin(), t.end());
  std::reverse(names.begin(), names.end());
  const std::vector<std::size_t> order = mss_view_order(t, names);
  ASSERT_EQ(order.size(), t.size());
  std::vector<std::size_t> rank(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) rank[order[i]] = i;
  std::size_t checked = 0;
  for (std::size_t i = 0; i < t.size(); ++i)
    for (const std::u16string& used : t[i].uses)
      for (std::size_t j = 0; j < names.size(); ++j)
        if (names[j] == used) {
          EXPECT_LT(rank[j], rank[i]) << tk_to_utf8(names[i]) << " reads " << tk_to_utf8(used);
          ++checked;
        }
  EXPECT_EQ(checked, 5u);  // the reads of other views among the 18
  // Views that read no other view keep their (reversed) input order.
  EXPECT_EQ(order.front(), 0u);
}

}  // namespace
