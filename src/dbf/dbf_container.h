#pragma once

// A Visual FoxPro database container (.dbc with its .dct memo) read into plain values: its
// tables with long field names, keys, rules and defaults, its relations, views and connections.

#include <optional>
#include <string>
#include <vector>

// Text is UTF-8, decoded from the container's code page.
struct dbf_dbc_field {
  std::string name;  // long name
  std::string default_value, rule, rule_text, comment, caption;
};

struct dbf_dbc_index {
  std::string tag;
  bool primary = false;
  bool candidate = false;  // a candidate key other than the primary one
};

struct dbf_dbc_table {
  std::string name;                   // as the application spells it (e.g. "OrderDetails")
  std::string path;                   // DBF path as stored (may be relative like "..\\data\\x.dbf")
  std::vector<dbf_dbc_field> fields;  // in the container's order, which is the table's
  std::vector<dbf_dbc_index> indexes;  // tags; primary marked
  std::string primary_tag;             // empty when none
  std::string rule, rule_text, comment;
};

struct dbf_dbc_relation {
  // The child table holds the foreign key; tables by the name the container gives them.
  std::string child_table, child_tag, parent_table, parent_tag;
  // From RIINFO: C cascade, R restrict, I ignore.
  char on_update = 'I', on_delete = 'I', on_insert = 'I';
};

struct dbf_dbc_view {
  std::string name, sql;
  std::string connection;  // empty for local views
  std::string comment;
};

struct dbf_container {
  std::string path;
  std::vector<dbf_dbc_table> tables;
  std::vector<dbf_dbc_relation> relations;
  std::vector<dbf_dbc_view> views;
  std::vector<std::string> connections;
  bool has_stored_procedures = false;
};

// Reads the container at `dbc_path`; `cp` is the user's encoding choice as for a table (a code
// page mark, dbf_choice_utf8, or 0 for the container's own). Deleted objects are left out.
// Throws dbf_exception naming the container when it is damaged: not a DBF or not a container,
// its .dct memo missing, a PROPERTY memo whose records run past it, object ids that are
// repeated or point nowhere, a table without a path, a relation to a table it does not hold.
dbf_container dbf_read_container(const std::string& dbc_path, int cp = 0);

// The file of `table`: its stored path taken against the container's folder, backslashes as
// separators and each component matched against the real entries ignoring case. None when
// the path is absolute, leaves `root` (the source folder tree; symbolic links followed) or
// names no existing file.
std::optional<std::string> dbf_container_table_path(const dbf_container& container,
                                                    const dbf_dbc_table& table,
                                                    const std::string& root);
