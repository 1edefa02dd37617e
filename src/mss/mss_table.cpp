// The server table writer: bulk copy or batched INSERTs, refused rows reported one by one, and
// the closing check that the server holds every row sent.
#include "mss/mss_table.h"

#include <algorithm>

#include "mss/mss_column_type.h"
#include "mss/mss_database.h"
#include "mss/mss_engine.h"
#include "mss/mss_identity.h"
#include "mss/mss_literal.h"
#include "mss/mss_names.h"
#include "mss/mss_safe_value.h"
#include "mss/mss_statement.h"
#include "mss/mss_text_literal.h"
#include "odb/odb_connection.h"
#include "odb/odb_exception.h"
#include "odb/odb_meta_data.h"
#include "ole/ole_currency.h"
#include "ole/ole_decimal.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "udb/udb_custom_conversion.h"
#include "udb/udb_name_compare.h"

namespace {

// An empty N-text for a column that also takes NULLs travels as this noncharacter (which no
// interchanged text holds) and is turned back into '' once the load has ended: the client
// library takes a length of 0 for NULL.
constexpr char16_t k_empty_marker = u'\uFDD0';
constexpr std::string_view k_empty_marker_utf8 = "\xEF\xB7\x90";

// The INSERT batch is sent once it holds this many bytes, whatever its row count.
constexpr std::size_t k_insert_batch_bytes = 1 << 20;
// What a number, date or flag counts toward a bulk batch's bytes: about its size on the wire.
constexpr std::size_t k_fixed_value_bytes = 8;

std::u16string lower_base_type(std::u16string_view type) {
  std::u16string out;
  for (const char16_t c : type) {
    if (c == u'(' || c == u' ') break;
    out += c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
  }
  return out;
}

// Precision and scale written in the type ("numeric(10,2)"), else those of the descriptor.
void numeric_size(std::u16string_view type, const t_ftd& column, odb_bulk_column& out) {
  const std::size_t open = type.find(u'(');
  if (open != std::u16string_view::npos) {
    int values[2] = {0, 0};
    int n = 0;
    for (std::size_t i = open + 1; i < type.size() && n < 2; ++i) {
      const char16_t c = type[i];
      if (c >= u'0' && c <= u'9') {
        values[n] = values[n] * 10 + (c - u'0');
      } else if (c == u',') {
        ++n;
      } else if (c == u')') {
        break;
      }
    }
    out.precision = values[0];
    out.scale = values[1];
  } else {
    out.precision = static_cast<int>(column.get_precision());
    out.scale = static_cast<int>(column.get_scale());
  }
  if (out.precision <= 0 || out.precision > 38) {
    out.precision = 18;
    out.scale = 0;
  }
}

odb_bulk_column bulk_column_of(const t_ftd& column) {
  const std::u16string type =
      column.native_type.empty() ? mss_server_column_type(column) : column.native_type;
  const std::u16string base = lower_base_type(type);
  odb_bulk_column out;
  static const std::pair<std::u16string_view, odb_bulk_kind> k_kinds[] = {
      {u"tinyint", odb_bulk_kind::tinyint},
      {u"smallint", odb_bulk_kind::smallint},
      {u"int", odb_bulk_kind::integer},
      {u"bigint", odb_bulk_kind::bigint},
      {u"bit", odb_bulk_kind::bit},
      {u"real", odb_bulk_kind::real},
      {u"float", odb_bulk_kind::float8},
      {u"money", odb_bulk_kind::money},
      {u"smallmoney", odb_bulk_kind::money},
      {u"numeric", odb_bulk_kind::numeric},
      {u"decimal", odb_bulk_kind::numeric},
      {u"datetime", odb_bulk_kind::datetime},
      {u"smalldatetime", odb_bulk_kind::datetime},
      {u"datetime2", odb_bulk_kind::datetime2},
      {u"datetimeoffset", odb_bulk_kind::datetime2},
      {u"date", odb_bulk_kind::date},
      {u"time", odb_bulk_kind::time},
      {u"varchar", odb_bulk_kind::text},
      {u"char", odb_bulk_kind::text},
      {u"text", odb_bulk_kind::text},
      {u"varbinary", odb_bulk_kind::binary},
      {u"binary", odb_bulk_kind::binary},
      {u"image", odb_bulk_kind::binary},
      {u"uniqueidentifier", odb_bulk_kind::guid},
  };
  out.kind = odb_bulk_kind::ntext;  // nvarchar, nchar, ntext, xml and anything unknown
  for (const auto& [name, kind] : k_kinds) {
    if (base == name) out.kind = kind;
  }
  if (out.kind == odb_bulk_kind::numeric) numeric_size(type, column, out);
  return out;
}

// Text and binary columns, whose empty values the client library cannot send.
bool takes_load_default(const t_ftd& column) {
  const std::u16string base = lower_base_type(
      column.native_type.empty() ? mss_server_column_type(column) : column.native_type);
  for (const std::u16string_view type : {u"nvarchar", u"nchar", u"ntext", u"varchar", u"char",
                                         u"text", u"varbinary", u"binary", u"image"}) {
    if (base == type) return true;
  }
  return false;
}

std::u16string_view empty_literal(odb_bulk_kind kind) {
  switch (kind) {
    case odb_bulk_kind::ntext:
      return u"N''";
    case odb_bulk_kind::binary:
      return u"0x";
    default:
      return u"''";
  }
}

// A default expression as the server stores it ("(N'')", "((''))", "(0x)") that gives an
// empty value.
bool is_empty_default(std::u16string_view definition) {
  while (!definition.empty() && (definition.front() == u' ' || definition.back() == u' ')) {
    definition = definition.front() == u' ' ? definition.substr(1)
                                            : definition.substr(0, definition.size() - 1);
  }
  while (definition.size() >= 2 && definition.front() == u'(' && definition.back() == u')') {
    definition = definition.substr(1, definition.size() - 2);
  }
  return definition == u"N''" || definition == u"n''" || definition == u"''" ||
         definition == u"0x" || definition == u"0X";
}

bool is_null_value(const udb_field& field) {
  const ole_vartype vt = field.get_type();
  return vt == VT_NULL || vt == VT_EMPTY;
}

bool is_marker_like(std::u16string_view text) {
  if (text.empty() || text[0] != k_empty_marker) return false;
  return text.find_first_not_of(u' ', 1) == std::u16string_view::npos;
}

// A rule's literal ('T', N'x') without its quotes.
std::string_view unquoted(std::string_view literal) {
  if (!literal.empty() && literal[0] == 'N') literal.remove_prefix(1);
  if (literal.size() >= 2 && literal.front() == '\'' && literal.back() == '\'') {
    literal = literal.substr(1, literal.size() - 2);
  }
  return literal;
}

}  // namespace

mss_table::mss_table(mss_database& database, const std::u16string& name, const udb_schema& columns,
                     std::int64_t existing_rows)
    : udb_recordset(&database, name),
      database_(database),
      safe_name_(database.safe_name(name)),
      existing_rows_(std::max<std::int64_t>(existing_rows, 0)) {
  TK_WLOG(2, "mss_table::ctor3(%s)", name);
  schema_ = columns;
  insert_prefix_ = mss_insert_prefix(tk_to_utf8_lossy(safe_name_), schema_);
  insert_prefix_.pop_back();  // its "(": each row brings its own
  for (std::size_t i = 0; i < schema_.size(); ++i) {
    const t_ftd& column = schema_[i];
    if (column.b_auto_num) {
      TK_LOG(2, "Auto-increment found: field #%d", static_cast<int>(i));
      identity_ = true;
    }
    kinds_.push_back(bulk_column_of(column));
  }
  marked_columns_.assign(schema_.size(), false);
  defaults_.resize(schema_.size());
  for (std::size_t i = 0; i < schema_.size(); ++i) {
    defaults_[i].eligible = !schema_[i].b_auto_num && takes_load_default(schema_[i]);
  }
  bulk_ = mss_engine::instance().use_bulk_copy();
  TK_LOG(2, "fast_load=%d", bulk_ ? 1 : 0);
}

mss_table::~mss_table() {
  TK_LOG(2, "mss_table::dtor(b_identity=%d)", identity_ ? 1 : 0);
  loader_.reset();
  if (!connection().is_dead()) {
    try {
      restore_defaults();
    } catch (const tk_exception& e) {
      TK_WLOG(3, "Table %s: its column defaults could not be put back: %s", safe_name_,
              tk_from_utf8_lossy(e.message()));
    }
  }
  if (identity_insert_on_ && !connection().is_dead()) {
    try {
      set_identity_insert(false);
    } catch (const tk_exception& e) {
      TK_LOG(2, "setting IDENTITY_INSERT -> OFF failed: %s", e.message());
    }
  }
}

odb_connection& mss_table::connection() {
  return database_.connection();
}

void mss_table::set_identity_insert(bool on) {
  TK_LOG(2, "setting IDENTITY_INSERT -> %s", on ? "ON" : "OFF");
  connection().execute(u"SET IDENTITY_INSERT " + safe_name_ + (on ? u" ON" : u" OFF"));
  identity_insert_on_ = on;
}

void mss_table::append_record(udb_record& record) {
  TK_LOG(2, "mss_table::append_record(schema size=%d, record size=%d",
         static_cast<int>(schema_.size()), static_cast<int>(record.size()));
  if (record.size() != schema_.size()) {
    throw tk_exception("The structure of data source does not conform to the destination table.",
                       0);
  }
  // Fields are in the order of the columns; a table may hold two fields of one name, so the
  // position, not the name, says which column a field goes to.
  for (std::size_t i = 0; i < schema_.size(); ++i) {
    udb_field& field = record[i];
    const ole_vartype vt = field.get_type();
    if (vt != schema_[i].vartype && vt != VT_EMPTY && vt != VT_NULL) {
      field.change_type(schema_[i].vartype);
    }
  }
  if (bulk_) {
    bulk_append(record);
    return;
  }
  queue_insert(record);
  if (pending_.size() >= k_insert_batch_rows || insert_text_.size() >= k_insert_batch_bytes) {
    send_inserts();
  }
}

void mss_table::start_bulk() {
  TK_LOG(2, "mss_fast_load::open_table");
  loader_ = std::make_unique<odb_bulk_copy>(connection(), safe_name_, kinds_, identity_);
  if (kept_.empty()) kept_.resize(k_batch_rows);
}

bool mss_table::bind_row(const udb_record& record) {
  for (std::size_t i = 0; i < schema_.size(); ++i) {
    if (!bind_field(record[i], i)) {
      TK_LOG(1, "Field %d goes by INSERT", static_cast<int>(i));
      return false;
    }
  }
  return true;
}

bool mss_table::bind_field(const udb_field& field, std::size_t i) {
  const t_ftd& column = schema_[i];
  const ole_vartype vt = field.get_type();
  if (vt == VT_NULL || vt == VT_EMPTY) {
    // A NOT NULL column takes its default or an empty value, as the INSERT literal has it.
    if (column.b_not_null) return false;
    loader_->set_null(i);
    return true;
  }
  const odb_bulk_kind kind = kinds_[i].kind;
  if ((kind == odb_bulk_kind::text || kind == odb_bulk_kind::ntext) &&
      udb_custom_conversion::may_accept2(vt) && udb_custom_conversion::is_acceptable2(field)) {
    std::string_view literal = udb_custom_conversion::ascii_literal2(field);
    std::string rule_text;
    if (literal.empty()) {
      mss_append_utf8(rule_text, udb_custom_conversion::handle2(field), false);
      literal = rule_text;
    }
    const std::string_view text = unquoted(literal);
    if (text.empty() && takes_empty_as_null(i)) {
      loader_->set_null(i);
      return true;
    }
    if (text.empty() || text.find('\'') != std::string_view::npos) return false;
    if (kind == odb_bulk_kind::text) {
      loader_->set_narrow_text(i, text);
    } else {
      loader_->set_text(i, tk_from_utf8_lossy(text));
    }
    return true;
  }
  switch (kind) {
    case odb_bulk_kind::tinyint:
    case odb_bulk_kind::smallint:
    case odb_bulk_kind::integer:
    case odb_bulk_kind::bigint:
      loader_->set_integer(i, field.to_i8());
      break;
    case odb_bulk_kind::bit:
      loader_->set_integer(i, field.to_bool() ? 1 : 0);
      break;
    case odb_bulk_kind::real:
    case odb_bulk_kind::float8:
      loader_->set_double(i, mssql_get_safe_variant(field).to_double());
      break;
    case odb_bulk_kind::money: {
      ole_currency cy;
      if (vt == VT_CY) {
        cy = field.cy();
      } else if (!ole_currency::from_double(field.to_double(), cy)) {
        return false;
      }
      loader_->set_money(i, cy.int64);
      break;
    }
    case odb_bulk_kind::numeric: {
      ole_decimal value;
      if (vt == VT_DECIMAL) {
        value = field.decimal();
      } else if (!ole_decimal::from_double(field.to_double(), value)) {
        return false;
      }
      // Beyond the column: the INSERT literal clamps it as the script does.
      if (!loader_->set_numeric(i, value)) return false;
      break;
    }
    case odb_bulk_kind::datetime:
    case odb_bulk_kind::datetime2:
    case odb_bulk_kind::date:
    case odb_bulk_kind::time: {
      if (vt != VT_DATE) return false;
      loader_->set_datetime(i, mss_safe_date(field, kind != odb_bulk_kind::datetime));
      break;
    }
    case odb_bulk_kind::ntext: {
      if (vt != VT_BSTR) return false;
      const std::u16string& text = field.text();
      if (text.empty() && takes_empty_as_null(i)) {
        loader_->set_null(i);
      } else if (text.empty()) {
        loader_->set_text(i, std::u16string_view(&k_empty_marker, 1));
        marked_columns_[i] = true;
      } else if (is_marker_like(text)) {
        return false;
      } else {
        loader_->set_text(i, text);
      }
      break;
    }
    case odb_bulk_kind::text: {
      // Narrow columns hold the server's code page: only ASCII passes unchanged.
      if (vt != VT_BSTR) return false;
      const std::u16string& text = field.text();
      if (text.empty() && takes_empty_as_null(i)) {
        loader_->set_null(i);
        break;
      }
      if (text.empty()) return false;
      std::string& narrow = narrow_scratch_;
      narrow.clear();
      for (const char16_t c : text) {
        if (c >= 0x80) return false;
        narrow += static_cast<char>(c);
      }
      loader_->set_narrow_text(i, narrow);
      break;
    }
    case odb_bulk_kind::binary: {
      if (!field.is_binary()) return false;
      if (field.bytes().empty() && takes_empty_as_null(i)) {
        loader_->set_null(i);
        break;
      }
      if (field.bytes().empty()) return false;
      loader_->set_bytes(i, field.bytes());
      break;
    }
    case odb_bulk_kind::guid: {
      if (vt != VT_BSTR) return false;
      std::u16string_view text = field.text();
      if (text.size() >= 2 && text.front() == u'{' && text.back() == u'}') {
        text = text.substr(1, text.size() - 2);
      }
      if (text.empty()) return false;
      loader_->set_narrow_text(i, tk_to_utf8_lossy(text));
      break;
    }
  }
  return true;
}

void mss_table::bulk_append(const udb_record& record) {
  if (!defaults_prepared_) {
    prepare_defaults(record);
  } else {
    drop_defaults_for_nulls(record);
  }
  if (!loader_) start_bulk();
  if (!bind_row(record)) {
    // Sent after the load, in order of arrival among such rows.
    std::swap(insert_text_, deferred_text_);
    std::swap(pending_, deferred_);
    try {
      queue_insert(record);
    } catch (...) {
      std::swap(insert_text_, deferred_text_);
      std::swap(pending_, deferred_);
      throw;
    }
    std::swap(insert_text_, deferred_text_);
    std::swap(pending_, deferred_);
    return;
  }
  loader_->send_row();
  std::vector<udb_field>& kept = kept_[kept_rows_];
  kept.resize(record.size());
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < record.size(); ++i) {
    kept[i] = record[i];
    if (record[i].get_type() == VT_BSTR) {
      bytes += record[i].text().size() * 2;
    } else if (record[i].is_binary()) {
      bytes += record[i].bytes().size();
    } else {
      bytes += k_fixed_value_bytes;
    }
  }
  if (kept_record_no_.size() <= kept_rows_) kept_record_no_.resize(kept_rows_ + 1);
  kept_record_no_[kept_rows_] = record_no_;
  ++kept_rows_;
  kept_bytes_ += bytes;
  if (kept_rows_ >= k_batch_rows || kept_bytes_ >= k_batch_bytes) commit_bulk_batch();
}

void mss_table::commit_bulk_batch() {
  if (!loader_ || kept_rows_ == 0) return;
  try {
    rows_loaded_ += loader_->batch();
  } catch (const odb_exception& e) {
    // The server refused the batch as a whole and rolled it back; sent again one by one, each
    // refused row is reported under its own record number and the others arrive. A client
    // library that gave up the connection over the refusal gets one new connection.
    TK_LOG(3, "A batch of %d rows was refused (%s); sending its rows one by one",
           static_cast<int>(kept_rows_), e.message());
    loader_.reset();
    if (connection().is_dead()) {
      database_.reconnect_if_lost();
      identity_insert_on_ = false;
    }
    for (std::size_t r = 0; r < kept_rows_; ++r) {
      queue_insert(kept_[r], kept_record_no_[r]);
      send_inserts();
    }
  }
  kept_rows_ = 0;
  kept_bytes_ = 0;
}

void mss_table::finish_loader() {
  if (!loader_) return;
  commit_bulk_batch();
  if (loader_) {
    rows_loaded_ += loader_->finish();
    loader_.reset();
  }
}

void mss_table::end_bulk() {
  finish_loader();
  if (!deferred_.empty()) {
    TK_LOG(2, "Sending %d rows bulk copy could not carry", static_cast<int>(deferred_.size()));
    std::swap(insert_text_, deferred_text_);
    std::swap(pending_, deferred_);
    send_inserts();
  }
}

void mss_table::queue_insert(const udb_record& record) {
  const std::size_t start = insert_text_.size();
  try {
    insert_text_ += '(';
    auto column = schema_.begin();
    for (const udb_field& field : record) {
      if (column != schema_.begin()) insert_text_ += ", ";
      mss_append_fld_str(insert_text_, field, *column++, mss_date_text::unseparated);
    }
    insert_text_ += ')';
  } catch (...) {
    insert_text_.resize(start);
    throw;
  }
  pending_.push_back({record_no_, insert_text_.size()});
}

void mss_table::queue_insert(const std::vector<udb_field>& fields, std::int64_t record_no) {
  insert_text_ += '(';
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) insert_text_ += ", ";
    mss_append_fld_str(insert_text_, fields[i], schema_[i], mss_date_text::unseparated);
  }
  insert_text_ += ')';
  pending_.push_back({record_no, insert_text_.size()});
}

void mss_table::send_inserts() {
  if (pending_.empty()) return;
  if (identity_ && !identity_insert_on_) set_identity_insert(true);
  // Rows go many to a statement, as many as the server takes in one VALUES list and a byte
  // budget allow.
  std::string& batch = batch_text_;
  batch = "SET XACT_ABORT ON; BEGIN TRANSACTION;\n";
  std::size_t start = 0;
  std::size_t in_statement = 0;
  std::size_t statement_start = 0;
  for (const pending_row& row : pending_) {
    const bool full = in_statement == k_statement_rows ||
                      (in_statement > 0 && row.end - statement_start > k_statement_bytes);
    if (in_statement == 0 || full) {
      if (in_statement > 0) batch += ";\n";
      batch += insert_prefix_;
      in_statement = 0;
      statement_start = start;
    } else {
      batch += ",\n";
    }
    batch.append(insert_text_, start, row.end - start);
    ++in_statement;
    start = row.end;
  }
  batch += ";\nCOMMIT TRANSACTION;";
  try {
    connection().execute_utf8(batch);
    rows_inserted_ += static_cast<std::int64_t>(pending_.size());
  } catch (const odb_exception& e) {
    if (e.connection_lost()) throw;
    TK_LOG(2, "The INSERT batch failed (%s); sending its rows one by one", e.message());
    connection().execute(u"IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");
    start = 0;
    for (const pending_row& row : pending_) {
      batch = insert_prefix_;
      batch.append(insert_text_, start, row.end - start);
      start = row.end;
      try {
        connection().execute_utf8(batch);
        ++rows_inserted_;
      } catch (const odb_exception& refused) {
        if (refused.connection_lost()) throw;
        ++rows_refused_;
        if (!reject_handler_) throw;
        reject_handler_(row.record_no, refused);
      }
    }
  }
  insert_text_.clear();
  pending_.clear();
}

bool mss_table::takes_empty_as_null(std::size_t column) const {
  const column_default& d = defaults_[column];
  return d.state == load_default::empty || (d.state == load_default::own && d.own_empty);
}

void mss_table::prepare_defaults(const udb_record& first) {
  defaults_prepared_ = true;
  std::vector<load_default> wanted(schema_.size(), load_default::untouched);
  try {
    for (const odb_default_meta& meta : odb_read_defaults(connection(), safe_name_)) {
      for (std::size_t i = 0; i < schema_.size(); ++i) {
        if (!udb_names_equal_nocase(schema_[i].name, meta.column)) continue;
        column_default& d = defaults_[i];
        d.has_own = true;
        d.own_name = meta.name;
        d.own_definition = meta.definition;
        d.own_empty = is_empty_default(meta.definition);
      }
    }
    for (std::size_t i = 0; i < schema_.size(); ++i) {
      column_default& d = defaults_[i];
      // A default bound from a default object is no constraint this writer could put back.
      if (d.has_own && d.own_name.empty()) continue;
      // Other columns keep their own default until a NULL comes for them.
      if (!d.eligible && !d.has_own) continue;
      d.state = d.has_own ? load_default::own : load_default::none;
      if (is_null_value(first[i]) && !schema_[i].b_not_null) {
        wanted[i] = load_default::none;
      } else if (!d.eligible || d.own_empty) {
        wanted[i] = load_default::own;
      } else {
        wanted[i] = load_default::empty;
      }
    }
    change_defaults(wanted);
  } catch (const odb_exception& e) {
    if (e.connection_lost()) throw;
    // Without the right to change the table its empty texts take the marker's way.
    TK_WLOG(3, "Table %s: its column defaults cannot be changed for the load (%s)", safe_name_,
            tk_from_utf8_lossy(e.message()));
    for (column_default& d : defaults_) d.state = load_default::untouched;
  }
}

void mss_table::drop_defaults_for_nulls(const udb_record& record) {
  bool any = false;
  for (std::size_t i = 0; i < schema_.size() && !any; ++i) {
    const load_default state = defaults_[i].state;
    any = (state == load_default::empty || state == load_default::own) &&
          is_null_value(record[i]) && !schema_[i].b_not_null;
  }
  if (!any) return;
  finish_loader();
  std::vector<load_default> wanted(schema_.size());
  for (std::size_t i = 0; i < schema_.size(); ++i) {
    wanted[i] = defaults_[i].state;
    if (wanted[i] != load_default::untouched && is_null_value(record[i]) &&
        !schema_[i].b_not_null) {
      wanted[i] = load_default::none;
    }
  }
  TK_LOG(2, "A NULL for a column with a default: the bulk load starts again without it");
  change_defaults(wanted);
}

void mss_table::change_defaults(const std::vector<load_default>& wanted) {
  // A server that keeps a default as a column attribute rather than a constraint (Babelfish)
  // takes no DROP CONSTRAINT for it; a DEFAULT NULL there replaces it to the same effect.
  const bool replace_only = mss_engine::instance().is_babelfish();
  std::u16string sql;
  for (std::size_t i = 0; i < schema_.size(); ++i) {
    column_default& d = defaults_[i];
    if (wanted[i] == d.state || wanted[i] == load_default::untouched) continue;
    const std::u16string column = mss_quote_name(schema_[i].name);
    const std::u16string alter = u"ALTER TABLE " + safe_name_;
    if (d.state == load_default::own || d.state == load_default::empty) {
      if (replace_only) {
        sql += alter + u" ADD DEFAULT NULL FOR " + column + u";\n";
      } else {
        // A default of the load has a name the server gave it.
        sql +=
            u"SET @name = (SELECT name FROM sys.default_constraints WHERE parent_object_id = "
            u"OBJECT_ID(" +
            mss_quote_literal(safe_name_) + u") AND parent_column_id = COLUMNPROPERTY(OBJECT_ID(" +
            mss_quote_literal(safe_name_) + u"), " + mss_quote_literal(schema_[i].name) +
            u", 'ColumnId'));\nIF @name IS NOT NULL EXEC (N'ALTER TABLE ' + " +
            mss_quote_literal(safe_name_) + u" + N' DROP CONSTRAINT ' + QUOTENAME(@name));\n";
      }
    }
    if (wanted[i] == load_default::empty) {
      sql += alter + u" ADD DEFAULT " + std::u16string(empty_literal(kinds_[i].kind)) + u" FOR " +
             column + u";\n";
    } else if (wanted[i] == load_default::own) {
      sql += alter + u" ADD CONSTRAINT " + mss_quote_name(d.own_name) + u" DEFAULT " +
             d.own_definition + u" FOR " + column + u";\n";
    }
  }
  if (sql.empty()) return;
  // All or nothing, so that a refusal leaves the table's defaults as they were.
  try {
    connection().execute(u"SET XACT_ABORT ON; BEGIN TRANSACTION;\nDECLARE @name sysname;\n" + sql +
                         u"COMMIT TRANSACTION;");
  } catch (const odb_exception& e) {
    if (!e.connection_lost()) connection().execute(u"IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");
    throw;
  }
  for (std::size_t i = 0; i < schema_.size(); ++i) {
    if (wanted[i] != load_default::untouched) defaults_[i].state = wanted[i];
  }
}

void mss_table::restore_defaults() {
  std::vector<load_default> wanted(schema_.size(), load_default::untouched);
  bool changed = false;
  for (std::size_t i = 0; i < schema_.size(); ++i) {
    const column_default& d = defaults_[i];
    if (d.state == load_default::untouched) continue;
    wanted[i] = d.has_own ? load_default::own : load_default::none;
    changed = changed || wanted[i] != d.state;
  }
  if (changed) change_defaults(wanted);
}

void mss_table::restore_empty_texts() {
  // One statement, so the table is read once whatever the number of columns.
  std::string set;
  std::string where;
  for (std::size_t i = 0; i < schema_.size(); ++i) {
    if (!marked_columns_[i]) continue;
    std::string column;
    std::u16string bracketed;
    mss_append_bracketed(bracketed, schema_[i].name);
    mss_append_utf8(column, bracketed, false);
    const std::string is_marker =
        column + " = N'" + std::string(k_empty_marker_utf8) + "' COLLATE Latin1_General_BIN2";
    set += (set.empty() ? "" : ", ") + column + " = CASE WHEN " + is_marker + " THEN N'' ELSE " +
           column + " END";
    where += (where.empty() ? "" : " OR ") + is_marker;
    marked_columns_[i] = false;
  }
  if (set.empty()) return;
  connection().execute_utf8("UPDATE " + tk_to_utf8_lossy(safe_name_) + " SET " + set + " WHERE " +
                            where);
}

void mss_table::check_counts() {
  const std::u16string held = connection().scalar(u"SELECT COUNT_BIG(*) FROM " + safe_name_);
  const std::int64_t rows = std::stoll(tk_to_utf8_lossy(held)) - existing_rows_;
  const std::int64_t sent = rows_written();
  TK_LOG(2, "Rows check: %lld sent, %lld held", static_cast<long long>(sent),
         static_cast<long long>(rows));
  if (rows != sent) {
    throw tk_exception("The row count check failed for table " + tk_to_utf8_lossy(safe_name_) +
                           ": " + std::to_string(sent) + " rows were written, the table holds " +
                           std::to_string(rows) + (existing_rows_ > 0 ? " new rows" : " rows"),
                       0);
  }
}

void mss_table::flush() {
  TK_LOG(2, "mss_table::flush");
  if (bulk_) end_bulk();
  send_inserts();
  restore_empty_texts();
  restore_defaults();
  if (identity_insert_on_) set_identity_insert(false);
  check_counts();
  // Rows merged into a table of the server's own keep its identity as it goes on.
  if (existing_rows_ == 0) {
    const std::u16string reseed = mss_reseed_statement(safe_name_, schema_, rows_written() > 0);
    if (!reseed.empty()) connection().execute(reseed);
  }
}
