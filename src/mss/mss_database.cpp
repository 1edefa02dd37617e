// The server database: existing tables, CREATE TABLE, keys, indexes, foreign keys and views.
#include "mss/mss_database.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "mss/mss_column_type.h"
#include "mss/mss_constraint.h"
#include "mss/mss_description.h"
#include "mss/mss_engine.h"
#include "mss/mss_foreign_key.h"
#include "mss/mss_identity.h"
#include "mss/mss_index_sql.h"
#include "mss/mss_load_name.h"
#include "mss/mss_names.h"
#include "mss/mss_refine_view.h"
#include "mss/mss_statement.h"
#include "mss/mss_table.h"
#include "mss/mss_validator.h"
#include "mss/mss_version.h"
#include "odb/odb_connection.h"
#include "odb/odb_exception.h"
#include "odb/odb_meta_data.h"
#include "odb/odb_recordset.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

namespace {

constexpr std::uint64_t k_max_index_bytes = 900;
constexpr std::size_t k_max_index_fields = 16;

bool is_identity_type(ole_vartype vt) {
  switch (vt) {
    case VT_I2:
    case VT_I4:
    case VT_BOOL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      return true;
    default:
      return false;
  }
}

// The column gets an identity: an auto-number of a whole-number type.
bool is_identity_column(const t_ftd& column) {
  return column.b_auto_num && is_identity_type(column.vartype) && column.vartype != VT_BOOL;
}

// The column's type as a definition writes it, with its length, precision or scale.
std::u16string type_text(const odb_column_meta& column) {
  const std::u16string& type = column.type_name;
  const auto number = [](int n) {
    const std::string text = std::to_string(n);
    return std::u16string(text.begin(), text.end());
  };
  for (std::u16string_view sized :
       {u"char", u"varchar", u"nchar", u"nvarchar", u"binary", u"varbinary"}) {
    if (type == sized) {
      return type + u"(" + (column.max_length < 0 ? u"max" : number(column.max_length)) + u")";
    }
  }
  if (type == u"numeric" || type == u"decimal") {
    return type + u"(" + number(column.precision) + u"," + number(column.scale) + u")";
  }
  if (type == u"datetime2" || type == u"time" || type == u"datetimeoffset") {
    return type + u"(" + number(column.scale) + u")";
  }
  return type;
}

// The column list of statements that name every column, in order.
std::u16string column_list(const udb_schema& columns) {
  std::u16string out;
  for (const t_ftd& column : columns) {
    if (!out.empty()) out += u", ";
    out += mss_quote_name(column.name);
  }
  return out;
}

bool is_text_type_name(std::u16string_view type) {
  for (std::u16string_view prefix : {u"nvarchar", u"varchar", u"nchar", u"char"}) {
    if (type.substr(0, prefix.size()) == prefix) return true;
  }
  return false;
}

}  // namespace

mss_database::mss_database(std::u16string name, std::unique_ptr<odb_connection> connection,
                           int mode)
    : odb_database(std::move(name), std::move(connection), mode) {
  TK_WLOG(2, "mss_database::ctor(%s)", this->name());
  const mss_engine& engine = mss_engine::instance();
  TK_WLOG(2, "user=%s", engine.user());
  if (engine.user().empty() || engine.as_dbo() || udb_names_equal_nocase(engine.user(), u"sa")) {
    TK_LOG(2, "Setting 'dbo' user");
    owner_ = u"dbo";
  } else {
    owner_ = engine.user();
    // Tables go under a schema named like the login, which a new database does not have.
    create_schema(owner_);
  }
  init_tables();
}

mss_database::~mss_database() {
  TK_LOG(2, "mss_database::dtor");
}

void mss_database::init_tables() {
  for (const odb_table_meta& table : odb_read_tables(*connection_)) {
    TK_WLOG(1, "Got table (1): (name=%s, owner=%s)", table.name, table.schema);
    std::u16string stored = mss_quote_name(table.schema) + u"." + mss_quote_name(table.name);
    TK_WLOG(1, "Stored as %s", stored);
    tables_.push_back(std::move(stored));
  }
  TK_LOG(2, "Tables count: %d", static_cast<int>(tables_.size()));
}

std::unique_ptr<mss_database> mss_database::open_sibling() const {
  return std::make_unique<mss_database>(name(), mss_engine::instance().open_connection(name()),
                                        mode_);
}

void mss_database::adopt(mss_database& sibling) {
  const auto add_new = [](std::vector<std::u16string>& to,
                          const std::vector<std::u16string>& from) {
    for (const std::u16string& name : from) {
      if (std::find(to.begin(), to.end(), name) == to.end()) to.push_back(name);
    }
  };
  add_new(created_, sibling.created_);
  add_new(get_tables(), sibling.get_tables());
  for (const auto& [source, target] : sibling.names_map().table_map()) {
    names_map().add_tn_mapping(source, target);
  }
  for (const auto& [table, columns] : sibling.names_map().field_map()) {
    names_map().add_fn_map(table, udb_names_map::name_pairs(columns.begin(), columns.end()));
  }
  std::move(sibling.reports_.begin(), sibling.reports_.end(), std::back_inserter(reports_));
  sibling.reports_.clear();
}

bool mss_database::reconnect_if_lost() {
  if (!connection_->is_dead()) return false;
  TK_WLOG(3, "The connection to database '%s' was lost; connecting again", name());
  try {
    connection_ = mss_engine::instance().open_connection(name());
  } catch (const tk_exception& e) {
    // Without the server no further table can be converted: the run ends here.
    throw tk_exception(
        "The connection to the server was lost and could not be made again: " + e.message(), 1);
  }
  return true;
}

std::u16string mss_database::safe_name(std::u16string_view table) const {
  return mss_engine::instance().get_safe_tname(table);
}

bool mss_database::is_table_exist(const std::u16string& name) {
  TK_WLOG(2, "mss_database::is_table_exist(%s)", name);
  if (name.empty()) return false;
  return find_table(safe_name(name)) >= 0;
}

bool mss_database::delete_tab(const std::u16string& name) {
  TK_WLOG(2, "odb_database::delete_tab(%s)", name);
  const std::u16string t = safe_name(name);
  query(u"DROP TABLE " + t);
  return udb_database::delete_tab(t);
}

void mss_database::create_schema(const std::u16string& schema_name) {
  if (schema_name == u"dbo") {
    TK_LOG(2, "Skip 'dbo' schema");
    return;
  }
  std::u16string literal;
  for (const char16_t c : schema_name) {
    literal += c;
    if (c == u'\'') literal += u"''''";
  }
  query(
      u"IF NOT EXISTS (SELECT  schema_name FROM    information_schema.schemata WHERE   "
      u"schema_name = '" +
      literal + u"' ) BEGIN EXEC sp_executesql N'CREATE SCHEMA " + mss_quote_name(literal) +
      u"' END");
}

std::unique_ptr<udb_recordset> mss_database::create_table(const std::u16string& name,
                                                          const udb_schema& schema,
                                                          const udb_indexes& indexes) {
  TK_WLOG(2, "mss_database::create_table(%s)", name);
  TK_ASSERT((mode_ & 1) == 0);
  reconnect_if_lost();
  if (is_table_exist(name)) {
    if (mode_ == mss_open_append) return merge_into(name);
    throw odb_exception(u"The specified table already exists");
  }
  pk_created_ = false;
  const std::u16string t = safe_name(name);
  TK_WLOG(2, "Got safe table name: %s", t);
  const std::u16string load = load_name(name);

  // Column names the server would not take as they are (a second column of one name) get
  // generated ones; the names map carries them to the writer.
  udb_schema columns = schema;
  mss_fn_validator validator(udb_schema{});
  udb_names_map::name_pairs renamed;
  std::u16string definition = u" (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    t_ftd& column = columns[i];
    const std::u16string source_name = column.name;
    if (!validator.is_acceptable(column.name)) {
      column.name = validator.get_safe_name(column.name);
      renamed.emplace_back(source_name, column.name);
    }
    validator.add_existing_name(column.name);
    validator.add_restricted_name(column.name);
    const std::u16string type = mss_server_column_type(column);
    TK_WLOG(2, "Creating column '%s', type=%d, size=%d, native_type=%s", column.name,
            static_cast<int>(column.vartype), static_cast<int>(column.size), type);
    if (i > 0) definition += u", ";
    definition += mss_quote_name(column.name) + u" " + type;
    // Keys of DBF indexes compare text exactly; so do the server's text columns.
    if (is_text_type_name(type)) definition += u" COLLATE Latin1_General_CS_AS";
    const bool identity = is_identity_column(column);
    if (identity) definition += mss_identity_clause(column);
    const bool in_key = indexes.is_idx_field(source_name, true);
    if (in_key) TK_LOG(2, "Field is a part of Primary Key");
    definition += column.b_not_null || identity || in_key ? u" NOT NULL" : u" NULL";
    if (!identity && !column.is_binary()) mss_append_default(definition, column);
  }
  definition += u")";
  const std::u16string sql = u"CREATE TABLE " + load + definition;
  TK_WLOG(2, "Right before creating the table: %s", sql);
  query(sql);
  tables_.push_back(t);
  created_.push_back(t);
  staged_table& staged = staged_[t];
  staged = {load, definition, columns, {}};
  // A source name that still names a column (the first of two fields of one name) keeps
  // meaning that column.
  std::erase_if(renamed, [&](const auto& pair) { return columns.get_field_idx(pair.first) >= 0; });
  if (!renamed.empty()) names_map().add_fn_map(name, renamed);

  TK_LOG(1, "mss_database::create_table - step #2");
  // The primary key belongs to the table's definition; other indexes come after the rows
  // (create_indexes), so that the load does not keep them up to date row by row.
  for (const udb_index& index : indexes) {
    if (!index.b_primary) continue;
    build_index(name, load, columns, index);
    staged.primary.push_back(index);
  }
  TK_LOG(1, "mss_database::create_table - step #3");
  if (!pk_created_ && mss_engine::instance().version() == mss_version_azure) {
    create_clustered_index(load, columns);
  }
  TK_LOG(1, "mss_database::create_table - step #4");
  return std::make_unique<mss_table>(*this, load, columns, -1);
}

bool mss_database::publish_table(const std::u16string& name) {
  const std::u16string t = safe_name(name);
  const auto found = staged_.find(t);
  if (found == staged_.end()) return true;
  const staged_table staged = std::move(found->second);
  staged_.erase(found);
  TK_WLOG(3, "Table %s is loaded; its rows come from %s", t, staged.load);
  if (staged.merge) return merge_rows(name, t, staged);
  if (mss_engine::instance().is_babelfish()) {
    publish_by_copy(name, t, staged);
    return true;
  }
  query(mss_publish_statement(staged.load, split_name(name).first));
  return true;
}

bool mss_database::merge_rows(const std::u16string& name, const std::u16string& t,
                              const staged_table& staged) {
  try {
    in_transaction([&] {
      const std::int64_t sent = row_count(staged.load);
      move_rows(t, staged);
      // The table's triggers may take rows away again.
      const std::int64_t held = row_count(t) - staged.existing_rows;
      if (held != sent) {
        throw tk_exception("The row count check failed for table " + tk_to_utf8_lossy(t) + ": " +
                               std::to_string(sent) + " rows were written, the table holds " +
                               std::to_string(held) + " new rows; none is kept",
                           0);
      }
    });
    return true;
  } catch (const odb_exception& e) {
    if (connection_->is_dead()) throw;
    reports_.push_back("Table " + tk_to_utf8_lossy(name) +
                       ": the rows could not join the table at once (" + e.message() +
                       "); they are appended one by one");
  } catch (const tk_exception&) {
    drop_load_table(t, staged.load);
    throw;
  }
  drop_load_table(t, staged.load);
  return false;
}

std::unique_ptr<udb_recordset> mss_database::append_table(const std::u16string& name) {
  udb_schema columns;
  for (const odb_column_meta& meta : existing_columns(name))
    columns.push_back(odb_column_to_ftd(meta));
  return std::make_unique<mss_table>(*this, name, columns, row_count(safe_name(name)));
}

std::pair<std::u16string, std::u16string> mss_database::split_name(
    const std::u16string& name) const {
  std::u16string table;
  std::u16string owner;
  mss_split_tab_name(name, table, owner);
  return {table, owner.empty() ? owner_ : owner};
}

std::u16string mss_database::load_name(const std::u16string& name) const {
  std::u16string table;
  std::u16string owner;
  mss_split_tab_name(name, table, owner);
  // An unqualified name takes the owner safe_name gives every such name.
  return safe_name(owner.empty() ? mss_load_name(table) : owner + u"." + mss_load_name(table));
}

std::vector<odb_column_meta> mss_database::existing_columns(const std::u16string& name) {
  const auto [table, owner] = split_name(name);
  std::vector<odb_column_meta> columns = odb_read_columns(*connection_, owner, table);
  if (columns.empty()) throw odb_exception(u"The specified table does not exist.");
  return columns;
}

std::int64_t mss_database::row_count(const std::u16string& safe_table) {
  return std::stoll(
      tk_to_utf8_lossy(connection_->scalar(u"SELECT COUNT_BIG(*) FROM " + safe_table)));
}

void mss_database::drop_load_table(const std::u16string& t, const std::u16string& load) {
  if (connection_->is_dead()) {
    TK_WLOG(3, "Table %s: %s stays until the next run drops it", t, load);
    return;
  }
  try {
    query(u"DROP TABLE " + load);
    TK_WLOG(3, "Table %s: %s is dropped", t, load);
  } catch (const tk_exception& e) {
    TK_WLOG(3, "Table %s: %s stays until the next run drops it", t, load);
    TK_LOG(3, "Error: %s", e.message());
  }
}

void mss_database::publish_by_copy(const std::u16string& name, const std::u16string& t,
                                   const staged_table& staged) {
  in_transaction([&] {
    query(u"CREATE TABLE " + t + staged.definition);
    for (const udb_index& index : staged.primary) build_index(name, t, staged.columns, index);
    move_rows(t, staged);
  });
  const std::u16string reseed = mss_reseed_statement(t, staged.columns, row_count(t) > 0);
  if (!reseed.empty()) query(reseed);
}

void mss_database::move_rows(const std::u16string& t, const staged_table& staged) {
  const bool identity =
      std::any_of(staged.columns.begin(), staged.columns.end(), is_identity_column);
  const std::u16string columns = column_list(staged.columns);
  if (identity) query(u"SET IDENTITY_INSERT " + t + u" ON");
  query(u"INSERT INTO " + t + u" (" + columns + u") SELECT " + columns + u" FROM " + staged.load);
  if (identity) query(u"SET IDENTITY_INSERT " + t + u" OFF");
  query(u"DROP TABLE " + staged.load);
}

void mss_database::in_transaction(const std::function<void()>& statements) {
  query(u"BEGIN TRANSACTION");
  try {
    statements();
    query(u"COMMIT TRANSACTION");
  } catch (const tk_exception&) {
    try {
      query(u"IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");
    } catch (const tk_exception& e) {
      TK_LOG(3, "Rollback failed: %s", e.message());
    }
    throw;
  }
}

void mss_database::discard_table(const std::u16string& name) {
  const std::u16string t = safe_name(name);
  const auto found = staged_.find(t);
  if (found == staged_.end()) return;
  const std::u16string load = found->second.load;
  const bool merge = found->second.merge;
  staged_.erase(found);
  if (!merge) {
    udb_database::delete_tab(t);
    std::erase(created_, t);
  }
  drop_load_table(t, load);
}

std::vector<std::string> mss_database::drop_leftovers() {
  std::vector<std::string> lines;
  for (const odb_table_meta& table : odb_read_tables(*connection_)) {
    if (!mss_is_load_name(table.name)) continue;
    const std::u16string t = mss_quote_name(table.schema) + u"." + mss_quote_name(table.name);
    const std::string shown = tk_to_utf8_lossy(table.schema + u"." + table.name);
    try {
      query(u"DROP TABLE " + t);
      udb_database::delete_tab(t);
      lines.push_back("Dropped " + shown + ", left half loaded by a run that did not end");
    } catch (const tk_exception& e) {
      lines.push_back("Could not drop " + shown +
                      ", left half loaded by a run that did not end: " + e.message());
    }
  }
  return lines;
}

std::unique_ptr<mss_table> mss_database::merge_into(const std::u16string& name) {
  TK_WLOG(2, "mss_database::merge_into(%s)", name);
  udb_schema columns;
  std::u16string definition = u" (";
  for (const odb_column_meta& meta : existing_columns(name)) {
    columns.push_back(odb_column_to_ftd(meta));
    if (definition.size() > 2) definition += u", ";
    // The load table keeps the identity, so that the rows bring their own values as they
    // would into the table itself.
    definition += mss_quote_name(meta.name) + u" " + type_text(meta) +
                  (meta.identity ? u" IDENTITY" : u"") + (meta.nullable ? u" NULL" : u" NOT NULL");
  }
  definition += u")";
  const std::u16string t = safe_name(name);
  const std::u16string load = load_name(name);
  const std::int64_t existing = row_count(t);
  query(u"CREATE TABLE " + load + definition);
  staged_[t] = {load, definition, columns, {}, true, existing};
  return std::make_unique<mss_table>(*this, load, columns, -1);
}

void mss_database::create_index(const std::u16string& table, const udb_schema& schema,
                                const udb_index& index) {
  TK_LOG(2, "mss_database::create_index");
  if (index.b_primary) return;
  // A table this run did not create (appended to) keeps the indexes it has.
  if (std::find(created_.begin(), created_.end(), safe_name(table)) == created_.end()) {
    TK_WLOG(3, "Index '%s' is not created on a table that existed before", index.name);
    return;
  }
  build_index(table, safe_name(table), schema, index);
}

std::vector<std::string> mss_database::take_reports() {
  return std::exchange(reports_, {});
}

void mss_database::build_index(const std::u16string& table, std::u16string_view on,
                               const udb_schema& schema, const udb_index& index) {
  if (index.fields.empty()) {
    TK_WLOG(3, "Index '%s': no fields, cannot build index", mss_quote_name(index.name));
    return;
  }
  const std::u16string t(on);
  // Columns may have been renamed for the server.
  const mss_column_namer namer = [&](const std::u16string& field) {
    return names_map().get_fn_mapped_name(table, field, true);
  };
  std::vector<std::u16string> columns;
  std::u16string not_null;  // a unique index leaves rows with NULL keys out
  std::uint64_t total = 0;
  if (index.fields.size() > k_max_index_fields) {
    TK_WLOG(3, "Index '%s' has been skipped", mss_quote_name(index.name));
    return;
  }
  const bool filters = mss_engine::instance().version() >= 5;
  for (const std::u16string& source : index.fields) {
    const std::u16string field = namer(source);
    const std::uint64_t size = schema.get_field_size(field);
    const std::uint16_t type = schema.get_field_type(field);
    total += type == VT_BSTR ? 2 * size : size;
    TK_WLOG(1, "Index field '%s' has vt=%08X, size=%d", field, static_cast<unsigned>(type),
            static_cast<int>(size));
    if (total > k_max_index_bytes || type == VT_BOOL || size == 0 || size > 8000) {
      TK_WLOG(3, "Index '%s' has been skipped", mss_quote_name(index.name));
      if (index.b_primary) pk_created_ = true;
      return;
    }
    columns.push_back(field);
    // A column that holds no NULL needs no filter; one would keep a foreign key from
    // referencing the index.
    if (index.b_unique && !index.b_primary && filters && mss_is_nullable(schema, field)) {
      if (!not_null.empty()) not_null += u" AND ";
      not_null += mss_quote_name(field) + u" IS NOT NULL";
    }
  }
  if (index.b_primary) {
    const std::u16string sql =
        u"ALTER TABLE " + t + u" ADD PRIMARY KEY(" + mss_index_key_list(columns, false) + u")";
    run_index_statement(sql, index.name);
    pk_created_ = true;
    return;
  }
  std::u16string conditions;
  if (!index.filter.empty()) {
    const std::optional<std::u16string> where =
        filters ? mss_index_filter_sql(index.filter, schema, namer) : std::nullopt;
    if (where) {
      conditions = *where;
    } else {
      TK_WLOG(3, "Table %s, index %s: its filter has no form here; the index holds every row",
              table, index.name);
    }
  }
  std::u16string unique_conditions = not_null;
  if (!conditions.empty())
    unique_conditions = unique_conditions.empty() ? conditions : conditions + u" AND " + not_null;
  const std::u16string keys = mss_index_key_list(columns, index.descending);
  if (!index.b_unique) {
    run_index_statement(mss_index_statement(index.name, t, keys, false, conditions), index.name);
    return;
  }
  // A key holding NULL at most once is indexed as it stands, as xBase indexes NULL as a
  // value, and a foreign key can then reference it; only rows with several NULL keys need the
  // index to leave them out.
  if (!not_null.empty() && conditions.empty()) {
    try {
      query(mss_index_statement(index.name, t, keys, true, u""));
      return;
    } catch (const odb_exception& e) {
      TK_LOG(3, "Error: %s", e.message());
    }
  }
  try {
    const std::u16string sql = mss_index_statement(index.name, t, keys, true, unique_conditions);
    TK_WLOG(2, "Create index query: '%s'", sql);
    query(sql);
    return;
  } catch (const odb_exception& e) {
    TK_LOG(3, "Error: %s", e.message());
  }
  // Most likely the rows hold a key twice: the index is built plain, and the report names
  // one such key so that the user can see why.
  const std::u16string plain_keys = mss_index_key_list(columns, false);
  std::u16string shown = u"CONCAT(N''";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    shown += i > 0 ? u", N', ', " : u", ";
    shown += mss_quote_name(columns[i]);
  }
  shown += u")";
  std::u16string duplicate;
  try {
    duplicate = connection_->scalar(
        mss_duplicate_keys_query(u"TOP 1 " + shown, t, plain_keys, unique_conditions));
  } catch (const odb_exception& e) {
    TK_LOG(3, "Error: %s", e.message());
  }
  std::string report =
      "Table " + tk_to_utf8_lossy(table) + ", index " + tk_to_utf8_lossy(index.name) + ": ";
  report += duplicate.empty()
                ? std::string("the unique index could not be created")
                : "the key (" + tk_to_utf8_lossy(duplicate) + ") occurs more than once";
  report += "; a plain index is created instead";
  TK_LOG(3, "%s", report);
  reports_.push_back(report);
  run_index_statement(mss_index_statement(index.name, t, keys, false, conditions), index.name);
}

void mss_database::run_index_statement(const std::u16string& sql, const std::u16string& name) {
  TK_WLOG(2, "Create index query: '%s'", sql);
  try {
    query(sql);
  } catch (const odb_exception& e) {
    // An index the server refuses leaves the table as it is; the rows are in already.
    TK_WLOG(3, "Index '%s' was not created", name);
    TK_LOG(3, "Error: %s", e.message());
  }
}

void mss_database::create_clustered_index(std::u16string_view on, const udb_schema& schema) {
  TK_LOG(2, "mss_database::create_clustered_index");
  for (const t_ftd& column : schema) {
    const bool suitable = (column.vartype != VT_BSTR && column.vartype != VT_BLOB) ||
                          (column.size >= 1 && column.size <= 7999);
    if (!suitable) {
      TK_WLOG(2, "Field '%s' is not suitable for building index", column.name);
      continue;
    }
    const std::u16string sql = u"CREATE CLUSTERED INDEX " +
                               mss_quote_name(column.name + u"_clust_idx") + u" ON " +
                               std::u16string(on) + u"(" + mss_quote_name(column.name) + u")";
    TK_WLOG(2, "CLUSTERED-index-query: %s", sql);
    try {
      query(sql);
    } catch (const tk_exception& e) {
      TK_LOG(2, "ERROR: %s", e.message());
    }
    return;
  }
  TK_LOG(2, "Failed to find a field for building clustered index");
}

void mss_database::create_relationships(const udb_relationships& relationships) {
  TK_LOG(2, "mss_database::create_relationships");
  if (mode_ == mss_open_append) {
    TK_LOG(3, "Foreign keys are not converted in append mode");
    return;
  }
  for (const udb_relationship& fk : relationships) {
    TK_WLOG(3, "Processing '%s'", fk.name);
    const mss_constraint_sql sql = mss_foreign_key(
        names_map(), fk, safe_name(names_map().get_tn_mapped_name(fk.fk_table, false)),
        safe_name(names_map().get_tn_mapped_name(fk.pk_table, false)), fk.action_text);
    TK_WLOG(3, "Foreign key query: '%s'", sql.checked);
    add_constraint("Foreign key " + tk_to_utf8_lossy(fk.name) + " (" +
                       tk_to_utf8_lossy(fk.fk_table) + " -> " + tk_to_utf8_lossy(fk.pk_table) + ")",
                   sql, [](const std::string& orphan) {
                     return ": the key (" + orphan +
                            ") has no parent row; the foreign key is created WITH NOCHECK";
                   });
  }
}

void mss_database::create_check(const std::u16string& table, const std::u16string& name,
                                const std::u16string& condition) {
  TK_WLOG(2, "mss_database::create_check(%s, %s)", table, name);
  // A table that was there before the run keeps the checks its owner gave it.
  if (std::find(created_.begin(), created_.end(), safe_name(table)) == created_.end()) return;
  add_constraint("Table " + tk_to_utf8_lossy(table) + ", check " + tk_to_utf8_lossy(name),
                 mss_check_constraint(safe_name(table), name, condition),
                 [](const std::string& rows) {
                   return ": " + rows + " rows break it; the check is created WITH NOCHECK";
                 });
}

void mss_database::add_constraint(const std::string& what, const mss_constraint_sql& sql,
                                  const std::function<std::string(const std::string&)>& broken) {
  std::string failure;
  try {
    query(sql.checked);
    return;
  } catch (const odb_exception& e) {
    failure = e.message();
    TK_LOG(3, "Error: %s", failure);
  }
  std::u16string violation;
  try {
    violation = connection_->scalar(sql.violation_query);
  } catch (const odb_exception& e) {
    TK_LOG(3, "Error: %s", e.message());
  }
  if (violation.empty()) {
    reports_.push_back(what + " is not created: " + failure);
    return;
  }
  // The rows stay; the constraint then guards only what is written from now on.
  try {
    query(sql.unchecked);
    reports_.push_back(what + broken(tk_to_utf8_lossy(violation)));
  } catch (const odb_exception& e) {
    reports_.push_back(what + " is not created: " + e.message());
  }
}

void mss_database::create_views(const query_list& queries) {
  TK_LOG(2, "mss_database::create_views");
  mss_tn_validator validator(tables_, {});
  for (const auto& [name, text] : queries) {
    TK_WLOG(1, "Processing '%s'", name);
    std::u16string view = name;
    if (!validator.is_acceptable(view)) {
      view = validator.get_safe_name(view);
      names_map().add_tn_mapping(name, view);
      validator.add_existing_name(view);
    }
    query(u"IF OBJECT_ID(" + mss_quote_literal(mss_quote_name(view)) + u") IS NOT NULL DROP VIEW " +
          mss_quote_name(view));
    query(u"CREATE VIEW " + mss_quote_name(view) + u" AS " +
          names_map().do_global_replace1(refine_view(text), u"", u""));
  }
}

std::string mss_database::create_view(const std::u16string& name, const std::u16string& select) {
  TK_WLOG(2, "mss_database::create_view(%s)", name);
  try {
    query(u"CREATE VIEW " + safe_name(name) + u" AS " + select);
  } catch (const odb_exception& e) {
    return e.message();
  }
  return {};
}

std::string mss_database::describe(const std::u16string& table, const std::u16string& column,
                                   const std::u16string& text) {
  try {
    query(mss_description_statement(safe_name(table), table, column, text));
  } catch (const odb_exception& e) {
    return e.message();
  }
  return {};
}

bool mss_database::get_query(const std::u16string& /*name*/, std::u16string& /*text*/) {
  return false;
}

std::unique_ptr<udb_recordset> mss_database::get_table(const std::u16string& name) {
  return connection_->query(u"SELECT * FROM " + safe_name(name));
}
