// Reading a database container: the .dbc is itself a Visual FoxPro table of objects (database,
// tables, fields, indexes, relations, views, connections), each naming its parent by object id
// and keeping its properties in the PROPERTY memo of the .dct file. Layout of the table: Visual
// FoxPro help, "Table Structures of Table Files" (database container).
#include "dbf/dbf_container.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string_view>

#include "dbf/dbf_char_table.h"
#include "dbf/dbf_dbc_property.h"
#include "dbf/dbf_exception.h"
#include "dbf/dbf_paths.h"
#include "dbf/dbf_recordset.h"
#include "tk/tk_encoding.h"
#include "tk/tk_path_probe.h"
#include "udb/udb_name_compare.h"

namespace {

// The table flag that marks a database container (byte 28 of the header).
constexpr std::uint8_t k_container_flag = 0x04;

// One live record of the container, its memos read.
struct dbc_object {
  std::int32_t id = 0;
  std::int32_t parent = 0;
  std::string type;  // OBJECTTYPE, trailing blanks removed
  std::string name;  // OBJECTNAME in UTF-8
  std::string memo;  // the PROPERTY memo's bytes
  std::string riinfo;
  bool has_code = false;  // stored procedures' source: its CODE memo holds more than blanks
  std::vector<dbf_dbc_property> properties;
};

// The columns of the container table that are read.
struct dbc_columns {
  const dbf_field_layout* object_id = nullptr;
  const dbf_field_layout* parent_id = nullptr;
  const dbf_field_layout* object_type = nullptr;
  const dbf_field_layout* object_name = nullptr;
  const dbf_field_layout* property = nullptr;
  const dbf_field_layout* code = nullptr;    // optional
  const dbf_field_layout* riinfo = nullptr;  // optional
};

bool same_ascii(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return (x >= 'a' && x <= 'z' ? x - 32 : x) == (y >= 'a' && y <= 'z' ? y - 32 : y);
  });
}

bool same_name(std::string_view a, std::string_view b) {
  return udb_names_equal_nocase(tk_from_utf8_lossy(a), tk_from_utf8_lossy(b));
}

std::string_view trim_right(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

const dbf_field_layout* column(const dbf_recordset& rs, std::string_view name, char type,
                               bool required) {
  for (const dbf_field_layout& layout : rs.layouts()) {
    if (!same_ascii(layout.fd.name(), name)) continue;
    if (layout.fd.field_type() != type || (type == 'I' && layout.width != 4)) break;
    return &layout;
  }
  if (!required) return nullptr;
  throw dbf_exception("the column " + std::string(name) + " (" + type + ") is missing");
}

dbc_columns columns_of(const dbf_recordset& rs) {
  return {column(rs, "OBJECTID", 'I', true),   column(rs, "PARENTID", 'I', true),
          column(rs, "OBJECTTYPE", 'C', true), column(rs, "OBJECTNAME", 'C', true),
          column(rs, "PROPERTY", 'M', true),   column(rs, "CODE", 'M', false),
          column(rs, "RIINFO", 'C', false)};
}

std::string_view field_bytes(const char* record, const dbf_field_layout& layout) {
  return {record + layout.offset, layout.width};
}

std::string memo_of(const dbf_memo_file& memo, const char* record, const dbf_field_layout& layout) {
  std::string bytes;
  const std::uint32_t block = memo.get_block_number(record + layout.offset, layout.width);
  if (block != 0) memo.read_memo_bytes(block, bytes);
  return bytes;
}

class container_reader {
 public:
  container_reader(const std::string& path, int cp) : path_(path), cp_(cp) {}

  dbf_container read() {
    load();
    dbf_container c;
    c.path = path_;
    for (dbc_object& o : objects_) {
      try {
        o.properties = dbf_dbc_properties(o.memo);
      } catch (const dbf_exception& e) {
        throw dbf_exception(describe(o) + ": " + e.message());
      }
    }
    for (const dbc_object& o : objects_) {
      if (by_id_.find(o.parent) == by_id_.end())
        throw dbf_exception(describe(o) + " names the parent object " + std::to_string(o.parent) +
                            ", which is not in the container");
    }
    read_tables(c);
    read_children(c);
    read_views_and_connections(c);
    return c;
  }

 private:
  void load() {
    if (!tk_is_file_exist(path_)) throw dbf_exception("the file is missing");
    // Checked first: a table whose memo file is missing opens without it, reporting that as
    // a failure the table survives, while a container is of no use without its properties.
    if (!dbf_sibling_path(path_, "dct")) throw dbf_exception("its memo file (.dct) is missing");
    dbf_recordset rs(tk_from_utf8(path_), dbf_recordset::k_mode_read, cp_);
    if (!rs.header().is_visual_foxpro() || (rs.header().table_flags & k_container_flag) == 0)
      throw dbf_exception("the table is not a database container");
    const dbf_memo_file* memo = rs.memo_file();
    if (memo == nullptr) throw dbf_exception("its memo file (.dct) is missing");
    const dbc_columns cols = columns_of(rs);
    chars_ = &dbf_char_table::for_code_page(rs.get_codepage());
    for (std::int64_t i = 0; i < rs.record_count(); ++i) {
      const char* record = rs.record_bytes(i);
      if (record[0] == '*') continue;
      dbc_object o;
      o.id = dbf_little_endian<std::int32_t>(record + cols.object_id->offset);
      o.parent = dbf_little_endian<std::int32_t>(record + cols.parent_id->offset);
      o.type = trim_right(field_bytes(record, *cols.object_type));
      o.name = text(trim_right(field_bytes(record, *cols.object_name)));
      o.memo = memo_of(*memo, record, *cols.property);
      if (cols.riinfo != nullptr) o.riinfo = field_bytes(record, *cols.riinfo);
      // Only the stored procedures' source is of interest in the CODE memos.
      if (cols.code != nullptr && same_ascii(o.type, "Database") &&
          same_ascii(o.name, "StoredProceduresSource")) {
        const std::string code = memo_of(*memo, record, *cols.code);
        o.has_code = code.find_first_not_of(std::string_view(" \t\r\n\0", 5)) != std::string::npos;
      }
      if (!by_id_.emplace(o.id, objects_.size()).second)
        throw dbf_exception(describe(o) + " repeats the id of another object");
      objects_.push_back(std::move(o));
    }
  }

  void read_tables(dbf_container& c) {
    for (const dbc_object& o : objects_) {
      if (same_ascii(o.type, "Database")) {
        if (o.has_code) c.has_stored_procedures = true;
        continue;
      }
      if (!same_ascii(o.type, "Table")) continue;
      dbf_dbc_table t;
      t.name = o.name;
      t.path = prop(o, dbf_dbc_prop::path);
      if (t.path.empty()) throw dbf_exception(describe(o) + " has no path");
      t.primary_tag = prop(o, dbf_dbc_prop::primary_key);
      t.rule = prop(o, dbf_dbc_prop::rule_expression);
      t.rule_text = prop(o, dbf_dbc_prop::rule_text);
      t.comment = prop(o, dbf_dbc_prop::comment);
      table_at_.emplace(o.id, c.tables.size());
      c.tables.push_back(std::move(t));
    }
  }

  // Fields, indexes and relations, in the container's order under their tables.
  void read_children(dbf_container& c) {
    for (const dbc_object& o : objects_) {
      const bool field = same_ascii(o.type, "Field");
      const bool index = same_ascii(o.type, "Index");
      const bool relation = same_ascii(o.type, "Relation");
      if (!field && !index && !relation) continue;
      const auto owner = table_at_.find(o.parent);
      if (owner == table_at_.end()) {
        // A view's fields describe its result columns, which the model leaves out.
        if (field && same_ascii(objects_[by_id_.at(o.parent)].type, "View")) continue;
        throw dbf_exception(describe(o) + " belongs to object " + std::to_string(o.parent) +
                            ", which is not a table");
      }
      dbf_dbc_table& t = c.tables[owner->second];
      if (field) {
        t.fields.push_back({o.name, prop(o, dbf_dbc_prop::default_value),
                            prop(o, dbf_dbc_prop::rule_expression),
                            prop(o, dbf_dbc_prop::rule_text), prop(o, dbf_dbc_prop::comment),
                            prop(o, dbf_dbc_prop::caption)});
      } else if (index) {
        const bool primary = !t.primary_tag.empty() && same_name(o.name, t.primary_tag);
        const bool key = dbf_dbc_byte(o.properties, dbf_dbc_prop::key_tag, 0) != 0;
        t.indexes.push_back({o.name, primary, key && !primary});
      } else {
        c.relations.push_back(relation_of(o, c, t));
      }
    }
  }

  dbf_dbc_relation relation_of(const dbc_object& o, const dbf_container& c,
                               const dbf_dbc_table& child) const {
    dbf_dbc_relation r;
    r.child_table = child.name;
    r.child_tag = prop(o, dbf_dbc_prop::relation_tag);
    const std::string parent = prop(o, dbf_dbc_prop::related_table);
    const auto found = std::find_if(c.tables.begin(), c.tables.end(), [&](const dbf_dbc_table& t) {
      return same_name(t.name, parent);
    });
    if (found == c.tables.end())
      throw dbf_exception(describe(o) + " of table " + child.name + " names the parent table \"" +
                          parent + "\", which is not in the container");
    r.parent_table = found->name;
    r.parent_tag = prop(o, dbf_dbc_prop::related_tag);
    // RIINFO holds the rules for update, delete and insert in that order, as the Referential
    // Integrity Builder writes them; anything else (blank among it) ignores.
    char* rules[] = {&r.on_update, &r.on_delete, &r.on_insert};
    for (std::size_t i = 0; i < 3 && i < o.riinfo.size(); ++i) {
      const char letter = static_cast<char>(o.riinfo[i] & ~0x20);
      if (letter == 'C' || letter == 'R' || letter == 'I') *rules[i] = letter;
    }
    return r;
  }

  void read_views_and_connections(dbf_container& c) const {
    for (const dbc_object& o : objects_) {
      if (same_ascii(o.type, "View")) {
        c.views.push_back({o.name, prop(o, dbf_dbc_prop::sql), prop(o, dbf_dbc_prop::connect_name),
                           prop(o, dbf_dbc_prop::comment)});
      } else if (same_ascii(o.type, "Connection")) {
        c.connections.push_back(o.name);
      }
    }
  }

  std::string text(std::string_view bytes) const { return tk_to_utf8_lossy(chars_->decode(bytes)); }
  std::string prop(const dbc_object& o, dbf_dbc_prop id) const {
    return text(dbf_dbc_text(o.properties, id));
  }
  static std::string describe(const dbc_object& o) {
    return std::string(o.type.empty() ? "object" : o.type) + " \"" + o.name + "\" (object " +
           std::to_string(o.id) + ")";
  }

  const std::string path_;
  const int cp_;
  const dbf_char_table* chars_ = nullptr;
  std::vector<dbc_object> objects_;
  std::map<std::int32_t, std::size_t> by_id_;     // object id -> index in objects_
  std::map<std::int32_t, std::size_t> table_at_;  // table object id -> index in tables
};

}  // namespace

dbf_container dbf_read_container(const std::string& dbc_path, int cp) {
  try {
    return container_reader(dbc_path, cp).read();
  } catch (const tk_exception& e) {
    throw dbf_exception("Database container " + dbc_path + ": " + e.message(), e.level());
  }
}
