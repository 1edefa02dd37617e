#include "mss/mss_dmp_recordset.h"

#include "mss/mss_dmp_database.h"
#include "mss/mss_identity.h"
#include "mss/mss_literal.h"
#include "mss/mss_names.h"
#include "mss/mss_statement.h"
#include "mss/mss_text_literal.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

mss_dmp_recordset::mss_dmp_recordset(mss_dmp_database& database, const std::u16string& table_name,
                                     const udb_schema& schema)
    : udb_recordset(&database, table_name), stream_(database.stream()) {
  TK_WLOG(1, "mss_dmp_recordset::mss_dmp_recordset(%s)", table_name);
  schema_ = schema;
  for (const t_ftd& column : schema_) {
    if (column.b_auto_num) has_identity_ = true;
  }
  database_safe_name_ = database.safe_name(table_name);
  mss_append_utf8(safe_name_utf8_, database_safe_name_, false);
  insert_prefix_ = mss_insert_prefix(safe_name_utf8_, schema_);
}

mss_dmp_recordset::~mss_dmp_recordset() {
  TK_LOG(2, "mss_dmp_recordset::dtor");
  if (!has_identity_) return;
  std::string end;
  if (!identity_pending_) end = "SET IDENTITY_INSERT " + safe_name_utf8_ + " OFF;\r\nGO\r\n";
  const std::u16string reseed =
      mss_reseed_statement(database_safe_name_, schema_, !identity_pending_);
  if (!reseed.empty()) {
    mss_append_utf8(end, reseed, false);
    end += ";\r\nGO\r\n";
  }
  if (!end.empty()) stream_->write_noexcept(end);
}

void mss_dmp_recordset::resolve_source_names() {
  const udb_database* db = database();
  const std::uint64_t revision = db != nullptr ? db->names_map().revision() : 0;
  if (names_resolved_ && revision == names_revision_) return;
  source_names_.clear();
  for (const t_ftd& column : schema_) {
    source_names_.push_back(db != nullptr
                                ? db->names_map().get_fn_orig_name(table_name_, column.name, false)
                                : column.name);
  }
  names_revision_ = revision;
  names_resolved_ = true;
  layout_checked_ = false;
}

void mss_dmp_recordset::check_field_names(const udb_record& record) {
  for (std::size_t i = 0; i < schema_.size(); ++i) {
    const std::u16string& source = source_names_[i];
    TK_WLOG(1, "Name=%s, original name=%s", schema_[i].name, source);
    // The field at the column's position normally carries the name; look further only when not.
    if (!udb_names_equal_nocase(record[i].name, source) && record.get_field_idx(source) < 0) {
      TK_WLOG(1, "Field %s not found", source);
      throw tk_exception("Generic error occurred while migrating the data.", 1);
    }
  }
  checked_layout_ = layout_generation();
  layout_checked_ = true;
}

// The row is formatted straight into the script's buffer; a value that cannot be written
// takes the whole row back.
template <class Values>
void mss_dmp_recordset::write_row(Values&& values) {
  std::string& out = stream_->row_buffer();
  const std::size_t row_start = out.size();
  try {
    if (has_identity_ && identity_pending_) {
      out += "SET IDENTITY_INSERT " + safe_name_utf8_ + " ON;\r\nGO\r\n";
    }
    values(out);
  } catch (...) {
    stream_->drop_row(row_start);
    throw;
  }
  identity_pending_ = false;
}

template <class Values>
void mss_dmp_recordset::format_row(std::string& out, Values&& values) const {
  const std::size_t statement_start = out.size();
  out += insert_prefix_;
  values(out);
  out += ");\r\nGO\r\n";
  TK_LOG(2, "Run SQL query: %s", std::string_view(out).substr(statement_start));
  out += "\r\n";
}

bool mss_dmp_recordset::takes_values(std::uint64_t record_layout) const {
  return plan_is_in_order(record_layout) && layout_checked_ &&
         checked_layout_ == layout_generation() && tk_log_gate > 1;
}

void mss_dmp_recordset::format_values(std::string& out, mss_row_values& values) const {
  format_row(out, [&](std::string& row) { values.append_values(row); });
}

bool mss_dmp_recordset::append_formatted(std::string_view row, std::uint64_t record_layout) {
  if (!takes_values(record_layout)) return false;
  write_row([&](std::string& out) { out += row; });
  return true;
}

void mss_dmp_recordset::append_record(udb_record& record) {
  TK_LOG(1, "mss_dmp_recordset::append_record(schema size=%d, record size=%d",
         static_cast<int>(schema_.size()), static_cast<int>(record.size()));
  if (record.size() != schema_.size()) {
    throw tk_exception("The structure of data source does not conform to the destination table.",
                       1);
  }
  convert_record(record);
  resolve_source_names();
  // The names depend only on the record's layout, which stays the same for a whole table (the
  // check runs every row while detail traces are on, so that they show it).
  if (tk_log_gate <= 1 || !layout_checked_ || checked_layout_ != layout_generation()) {
    check_field_names(record);
  }
  write_row([&](std::string& out) {
    format_row(out, [&](std::string& row) {
      // The sizes agree (checked above), so the fields are walked without a check per field.
      auto column = schema_.begin();
      for (const udb_field& field : record) {
        if (column != schema_.begin()) row += ", ";
        mss_append_fld_str(row, field, *column++);
      }
    });
  });
}

bool mss_dmp_recordset::append_values(mss_row_values& values, std::uint64_t record_layout) {
  if (!takes_values(record_layout)) return false;
  write_row([&](std::string& out) { format_values(out, values); });
  return true;
}
