#include "udb/udb_recordset.h"

#include <cstdint>
#include <cstring>

#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "udb/udb_database.h"

namespace {

// Whether the units of two names of one length are the same bytes. Field names are short:
// up to eight units are compared as two overlapping words read from each end, which costs
// less than a call to the library's comparison.
bool same_units(const char16_t* a, const char16_t* b, std::size_t units) noexcept {
  const std::size_t n = units * sizeof(char16_t);
  if (n >= 8 && n <= 16) {
    std::uint64_t a0, a1, b0, b1;
    std::memcpy(&a0, a, 8);
    std::memcpy(&b0, b, 8);
    std::memcpy(&a1, reinterpret_cast<const char*>(a) + n - 8, 8);
    std::memcpy(&b1, reinterpret_cast<const char*>(b) + n - 8, 8);
    return ((a0 ^ b0) | (a1 ^ b1)) == 0;
  }
  if (n >= 4 && n < 8) {
    std::uint32_t a0, a1, b0, b1;
    std::memcpy(&a0, a, 4);
    std::memcpy(&b0, b, 4);
    std::memcpy(&a1, reinterpret_cast<const char*>(a) + n - 4, 4);
    std::memcpy(&b1, reinterpret_cast<const char*>(b) + n - 4, 4);
    return ((a0 ^ b0) | (a1 ^ b1)) == 0;
  }
  if (n == 2) return a[0] == b[0];
  return n == 0 || std::memcmp(a, b, n) == 0;
}

}  // namespace

udb_recordset::udb_recordset(udb_database* database, std::u16string table_name)
    : table_name_(std::move(table_name)), database_(database) {
  TK_WLOG(2, "udb_recordset::ctor(%s)", table_name_);
}

udb_recordset::udb_recordset(std::u16string table_name) : table_name_(std::move(table_name)) {
  TK_LOG(2, "udb_recordset::ctor(default)");
}

udb_recordset::~udb_recordset() {
  TK_LOG(1, "udb_recordset::dtor");
}

void udb_recordset::update() {
  TK_LOG(1, "udb_recordset::update");
}

void udb_recordset::flush() {}

udb_record* udb_recordset::get_item() {
  return nullptr;
}

bool udb_recordset::is_eof() {
  return true;
}

bool udb_recordset::has_text() const {
  return !text_.empty();
}

void udb_recordset::next() {}

void udb_recordset::prev() {}

void udb_recordset::reset() {}

void udb_recordset::add_index(const udb_index& index) {
  TK_WLOG(2, "udb_recordset::add_index(%s, %d)", index.name, static_cast<int>(key_pos_));
  if (!indexes_.is_acceptable_name(index.name)) {
    TK_WLOG(3, "Index '%s' cannot be processed", index.name);
    return;
  }
  if (key_pos_ < 0 && (index.b_primary || index.b_unique)) {
    TK_LOG(1, "Store primary/unique key");
    key_pos_ = static_cast<std::int32_t>(indexes_.size());
  }
  indexes_.push_back(index);
}

std::uint64_t udb_recordset::names_revision() const noexcept {
  return database_ != nullptr ? database_->names_map().revision() : 0;
}

bool udb_recordset::plan_matches(const udb_record& record) const noexcept {
  if (!plan_.valid || plan_.schema_revision != schema_.revision() ||
      plan_.names_revision != names_revision() || plan_.field_names.size() != record.size())
    return false;
  // A reader's records of one shared layout: their names are known to be the same.
  if (record.layout_id() != 0 && record.layout_id() == plan_.record_layout) return true;
  // Any other record: its names are compared as bytes, which is what string equality means
  // for them.
  std::size_t i = 0;
  for (const udb_field& field : record) {
    const std::u16string& name = field.name;
    const std::u16string& planned = plan_.field_names[i++];
    if (name.size() != planned.size() || !same_units(name.data(), planned.data(), name.size()))
      return false;
  }
  return true;
}

bool udb_recordset::plan_is_in_order(std::uint64_t record_layout) const noexcept {
  if (!plan_.valid || record_layout == 0 || plan_.record_layout != record_layout ||
      plan_.schema_revision != schema_.revision() || plan_.names_revision != names_revision() ||
      plan_.columns.size() != schema_.size())
    return false;
  return plan_.in_order;
}

const udb_recordset::conversion_plan& udb_recordset::plan_for(const udb_record& record) {
  if (plan_matches(record)) {
    plan_.record_layout = record.layout_id();
    return plan_;
  }
  plan_.valid = false;
  conversion_plan plan;
  plan.schema_revision = schema_.revision();
  plan.names_revision = names_revision();
  plan.field_names.reserve(record.size());
  plan.column_names.reserve(record.size());
  plan.columns.reserve(record.size());
  for (const udb_field& field : record) {
    std::u16string mapped = database_ != nullptr ? database_->names_map().get_fn_mapped_name(
                                                       table_name_, field.name, true)
                                                 : field.name;
    const std::int32_t pos = schema_.get_field_idx(mapped);
    if (pos < 0) {
      TK_WLOG(2, "Field '%s' not found in schema", mapped);
      throw tk_exception("The structure of data source does not conform to the destination table.",
                         1);
    }
    plan.field_names.push_back(field.name);
    plan.column_names.push_back(std::move(mapped));
    plan.columns.push_back(static_cast<std::size_t>(pos));
  }
  plan.record_layout = record.layout_id();
  plan.in_order = true;
  for (std::size_t i = 0; i < plan.columns.size(); ++i) plan.in_order &= plan.columns[i] == i;
  plan.valid = true;
  plan_ = std::move(plan);
  ++plan_generation_;
  return plan_;
}

void udb_recordset::convert_record(udb_record& record) {
  TK_LOG(1, "udb_recordset::convert_record");
  const conversion_plan& plan = plan_for(record);
  std::size_t i = 0;
  for (udb_field& field : record) {
    const t_ftd& column = schema_[plan.columns[i]];
    TK_WLOG(1, "Got mapped field name: %s", plan.column_names[i]);
    TK_WLOG(1, "from=%s, to=%s", field.name, column.name);
    ++i;
    // Most values already have their column's type, or none at all: nothing to convert (the
    // call still runs while detail traces are on, so that they show it).
    const ole_vartype vt = field.vt();
    if (tk_log_gate <= 1 || (vt != column.vartype && vt != VT_EMPTY && vt != VT_NULL))
      field.change_type(column.vartype);
  }
}

void udb_recordset::convert_record(const udb_record& source, udb_record& target) {
  TK_LOG(1, "udb_recordset::convert_record");
  const conversion_plan& plan = plan_for(source);
  bool same_layout = target.size() == source.size();
  for (std::size_t i = 0; same_layout && i < source.size(); ++i)
    same_layout = target[i].name == source[i].name;
  if (!same_layout) {
    target.clear();
    target.reserve(source.size());
    for (const udb_field& field : source) target.add_field(field.name, field.size, ole_variant());
  }
  for (std::size_t i = 0; i < source.size(); ++i) {
    const t_ftd& column = schema_[plan.columns[i]];
    TK_WLOG(1, "Got mapped field name: %s", plan.column_names[i]);
    TK_WLOG(1, "from=%s, to=%s", source[i].name, column.name);
    udb_field& out = target[i];
    out.size = source[i].size;
    out.set_value(source[i]);
    out.change_type(column.vartype);
  }
}
