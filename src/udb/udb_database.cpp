#include "udb/udb_database.h"

#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"
#include "udb/udb_recordset.h"

udb_database::udb_database(std::u16string name, std::uint32_t kind, bool case_sensitive)
    : kind_(kind), name_(std::move(name)), case_sensitive_(case_sensitive) {
  TK_WLOG(2, "udb_database::ctor(%s)", name_);
}

udb_database::~udb_database() {
  TK_LOG(2, "udb_database::dtor");
}

void udb_database::create_schema(const std::u16string&) {}

void udb_database::create_index(const std::u16string&, const udb_schema&, const udb_index&) {}

void udb_database::create_indexes(const std::u16string& table, const udb_schema& schema,
                                  const udb_indexes& indexes) {
  TK_WLOG(2, "udb_database::create_indexes(%s)", table);
  TK_LOG(1, "idxs.size=%d", static_cast<int>(indexes.size()));
  for (const udb_index& index : indexes) create_index(table, schema, index);
  TK_LOG(1, "udb_database::create_indexes - at the END");
}

void udb_database::create_views(const query_list&) {}

std::string udb_database::create_view(const std::u16string&, const std::u16string&) {
  return "this target holds no views";
}

std::string udb_database::describe(const std::u16string&, const std::u16string&,
                                   const std::u16string&) {
  return "this target keeps no descriptions";
}

std::u16string udb_database::object_name(const std::u16string& name) const {
  return name;
}

void udb_database::delete_fk(const udb_relationship&) {}

void udb_database::delete_idx(const std::u16string&, const udb_index&) {}

std::int64_t udb_database::find_table(std::u16string_view name) const {
  for (std::size_t i = 0; i < tables_.size(); ++i) {
    TK_WLOG(1, "Compare with %s", tables_[i]);
    if (udb_names_equal(tables_[i], name, case_sensitive_)) return static_cast<std::int64_t>(i);
  }
  return -1;
}

bool udb_database::delete_tab(const std::u16string& name) {
  TK_WLOG(2, "udb_database::delete_tab(%s)", name);
  const std::int64_t pos = find_table(name);
  if (pos < 0) {
    TK_LOG(2, "Table not found!");
    return false;
  }
  tables_.erase(tables_.begin() + pos);
  return true;
}

void udb_database::get_schema_info(std::vector<std::u16string>& schemas) {
  schemas.clear();
}

int udb_database::query(const std::u16string&) {
  throw tk_mail_assertion(__FILE__, __LINE__);
}

void udb_database::create_relationships(const udb_relationships&) {}

void udb_database::create_check(const std::u16string&, const std::u16string&,
                                const std::u16string&) {}

bool udb_database::publish_table(const std::u16string&) {
  return true;
}

std::unique_ptr<udb_recordset> udb_database::append_table(const std::u16string&) {
  throw tk_mail_assertion(__FILE__, __LINE__);
}

void udb_database::discard_table(const std::u16string&) {}

std::vector<std::u16string>& udb_database::get_tables() {
  return tables_;
}

bool udb_database::is_table_exist(const std::u16string& name) {
  TK_WLOG(2, "udb_database::is_table_exist(%s,case_sensitive=%d)", name,
          static_cast<int>(case_sensitive_));
  const bool found = find_table(name) >= 0;
  TK_LOG(1, found ? "table exists" : "table not found");
  return found;
}
