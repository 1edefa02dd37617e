// The tables and relations of a folder's database containers (see the header).
#include "dbf/dbf_container_tables.h"

#include <algorithm>
#include <filesystem>

#include "dbf/dbf_error_sink.h"
#include "dbf/dbf_exception.h"
#include "dbf/dbf_index_files.h"
#include "dbf/dbf_index_tag.h"
#include "dbf/dbf_xbase_expr.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

namespace {

namespace fs = std::filesystem;

bool is_container_file(const fs::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".dbc";
}

std::vector<std::string> containers_in(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (entry.is_regular_file(error) && is_container_file(entry.path()))
      found.push_back(entry.path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

bool same_name(const std::string& a, const std::string& b) {
  return udb_names_equal_nocase(tk_from_utf8_lossy(a), tk_from_utf8_lossy(b));
}

// Referential integrity letters as the T-SQL action: only a cascade is one; restrict and
// ignore leave the server's default.
const char16_t* action_of(char rule) {
  return rule == 'C' || rule == 'c' ? u"CASCADE" : u"NO ACTION";
}

}  // namespace

dbf_container_set::dbf_container_set(const std::string& folder, int cp, const std::string& only) {
  const std::vector<std::string> files =
      only.empty() ? containers_in(folder) : std::vector<std::string>{only};
  for (const std::string& path : files) {
    try {
      containers_.push_back(dbf_read_container(path, cp));
      TK_LOG(3, "Database container %s: %d tables, %d relations, %d views", path,
             static_cast<int>(containers_.back().tables.size()),
             static_cast<int>(containers_.back().relations.size()),
             static_cast<int>(containers_.back().views.size()));
    } catch (const dbf_exception& e) {
      // Its tables are still there as free tables.
      dbf_report_error(path, dbf_exception(e.message(), 0));
    }
  }
  for (const dbf_container& container : containers_) {
    for (const dbf_dbc_table& table : container.tables) {
      const std::optional<std::string> file = dbf_container_table_path(container, table, folder);
      if (!file) {
        dbf_report_error(container.path,
                         dbf_exception("Table " + table.name +
                                       " of the database container: its "
                                       "file " +
                                       table.path + " is missing or outside the source folder"));
        continue;
      }
      tables_.push_back({tk_from_utf8_lossy(table.name), *file, &table});
    }
  }
}

const dbf_container_table* dbf_container_set::find(const std::string& name) const {
  for (const dbf_container_table& table : tables_) {
    if (same_name(table.entry->name, name)) return &table;
  }
  return nullptr;
}

std::vector<std::string> dbf_container_set::key_fields(const dbf_container_table& table,
                                                       const std::string& tag) const {
  std::vector<std::string> fields;
  for (const dbf_dbc_field& field : table.entry->fields) fields.push_back(field.name);
  for (const auto& [path, kind] : dbf_index_files_of(table.path)) {
    try {
      for (const dbf_index_tag& stored : dbf_read_index_file(path, kind).tags) {
        if (!same_name(stored.name, tag)) continue;
        if (auto key = dbf_translate_key(stored.key, fields)) return *key;
        TK_LOG(3, "Table %s, tag %s: the key %s of a relation is not translated", table.entry->name,
               tag, stored.key);
        return {};
      }
    } catch (const dbf_exception& e) {
      TK_LOG(3, "Index file %s is damaged: %s", path, e.message());
    }
  }
  return {};
}

udb_relationships dbf_container_set::relationships() const {
  udb_relationships out;
  for (const dbf_container& container : containers_) {
    for (const dbf_dbc_relation& relation : container.relations) {
      const dbf_container_table* child = find(relation.child_table);
      const dbf_container_table* parent = find(relation.parent_table);
      if (child == nullptr || parent == nullptr) {
        TK_LOG(3, "Relation %s.%s -> %s.%s is left out: table %s is not converted",
               relation.child_table, relation.child_tag, relation.parent_table, relation.parent_tag,
               child == nullptr ? relation.child_table : relation.parent_table);
        continue;
      }
      const std::vector<std::string> child_fields = key_fields(*child, relation.child_tag);
      const std::vector<std::string> parent_fields = key_fields(*parent, relation.parent_tag);
      if (child_fields.empty() || child_fields.size() != parent_fields.size()) {
        TK_LOG(3, "Relation %s.%s -> %s.%s is left out: its tags name no matching fields",
               relation.child_table, relation.child_tag, relation.parent_table,
               relation.parent_tag);
        continue;
      }
      std::u16string name = u"FK_" + child->name + u"_" + parent->name;
      for (int n = 2; !out.is_acceptable_name(name); ++n)
        name = u"FK_" + child->name + u"_" + parent->name + u"_" +
               tk_from_utf8_lossy(std::to_string(n));
      const auto wide = [](const std::vector<std::string>& list) {
        std::vector<std::u16string> w;
        for (const std::string& s : list) w.push_back(tk_from_utf8_lossy(s));
        return w;
      };
      out.push_back(udb_relationship(name, {}, child->name, parent->name, wide(child_fields),
                                     wide(parent_fields),
                                     std::u16string(u"ON DELETE ") + action_of(relation.on_delete) +
                                         u" ON UPDATE " + action_of(relation.on_update)));
    }
  }
  return out;
}
