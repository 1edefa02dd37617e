#pragma once

// The PROPERTY memo of one database container (.dbc) object: the property records behind
// DBGETPROP(), split into ids and values, and the ids this reader uses.

#include <cstdint>
#include <string_view>
#include <vector>

// Property ids of the PROPERTY memo. The record layout and the id of PrimaryKey (20) are
// published by Doug Hennig ("Internal structure of DBC property field?", Universal Thread /
// Level Extreme, message 677749). No published list of the other ids was found: they were
// identified on the Northwind and FoxPro sample containers by the values stored under them
// (paths, SELECT statements, captions, rules), with the DBGETPROP() property they stand for
// named in each comment. An id not listed here is skipped.
enum class dbf_dbc_prop : std::uint32_t {
  path = 0x01,             // Table: its .dbf file as stored, relative to the container's folder
  object_class = 0x02,     // Table 1, local view 6, remote view 7 (one byte)
  comment = 0x07,          // Comment of the database, a table, field or view
  rule_expression = 0x09,  // RuleExpression: validation rule of a table or field
  rule_text = 0x0A,        // RuleText: message shown when the rule fails
  default_value = 0x0B,    // DefaultValue of a field, an expression
  relation_tag = 0x0D,     // Relation: tag of the child table (the relation's parent object)
  key_tag = 0x11,          // Index: one byte, set on primary and candidate tags (where the
                           // tag's .cdx header has its unique-key bit)
  related_table = 0x12,    // Relation: the parent table, by the name the container gives it
  related_tag = 0x13,      // Relation: tag of the parent table
  primary_key = 0x14,      // Table: tag of the primary key (PrimaryKey)
  connect_name = 0x20,     // Remote view: name of its connection (ConnectName)
  sql = 0x2A,              // View: its SELECT statement (SQL)
  caption = 0x38,          // Field: Caption
};

// One property record: its id and its value's bytes (pointing into the memo).
struct dbf_dbc_property {
  std::uint32_t id = 0;
  std::string_view value;
};

// Splits a PROPERTY memo into its records. Each record is a 4-byte little-endian length of the
// whole record, a 2-byte little-endian length of the id, the id (little-endian, 1 byte in
// every container seen) and the value. Throws dbf_exception saying where the memo is damaged:
// a record cut short, a length too small for its own header (0 included) or running past the
// memo's end, an id of no or more than 4 bytes.
std::vector<dbf_dbc_property> dbf_dbc_properties(std::string_view memo);

// The value of the first record with `id` as text: its bytes up to the first NUL (text
// properties end with one); empty when there is none.
std::string_view dbf_dbc_text(const std::vector<dbf_dbc_property>& properties, dbf_dbc_prop id);

// The first byte of the first record with `id`, or `absent` when there is none or it has no
// value bytes.
int dbf_dbc_byte(const std::vector<dbf_dbc_property>& properties, dbf_dbc_prop id, int absent);
