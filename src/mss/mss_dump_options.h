#pragma once

#include <string>

// What goes into a T-SQL script besides the rows. Copied into the writer.
struct mss_dump_options {
  mss_dump_options();

  // Carried to the writer, which does not read it: text types and literals follow the server
  // engine's Unicode flag.
  bool b_unicode = true;
  // The comment blocks: file header, per-table headers, foreign key header.
  bool b_comments = true;
  // The database creation block; only written together with b_create_tab.
  bool b_create_db = false;
  // DROP TABLE / CREATE TABLE and the index statements of each table.
  bool b_create_tab = true;
  // Product title and version for the "Created by" header line.
  std::string creator;
  // Database name of the creation block; empty means the script's base name.
  std::string db_name;
};
