#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "udb/udb_index.h"
#include "udb/udb_indexes.h"
#include "udb/udb_record.h"
#include "udb/udb_schema.h"

class udb_database;

// One table of a database, read record by record (reset, then get_item / next until
// is_eof) or appended to. It owns its schema and its current record.
class udb_recordset {
 public:
  // `database` may be null and is not owned.
  udb_recordset(udb_database* database, std::u16string table_name);
  explicit udb_recordset(std::u16string table_name);
  virtual ~udb_recordset();
  udb_recordset(const udb_recordset&) = delete;
  udb_recordset& operator=(const udb_recordset&) = delete;

  virtual void append_record(udb_record& record) = 0;
  // A writer that sends rows in batches learns of a refused row only after its append: it
  // reports the row through this handler with the record number it was appended under.
  using reject_handler = std::function<void(std::int64_t record_no, const class tk_exception&)>;
  void set_reject_handler(reject_handler handler) { reject_handler_ = std::move(handler); }
  // The source's number of the record appended next (1-based).
  void set_record_no(std::int64_t record_no) noexcept { record_no_ = record_no; }
  virtual void update();
  // Completes pending work; nothing in the base.
  virtual void flush();
  // Rows the destination is known to hold from this writer, -1 when the writer cannot tell.
  virtual std::int64_t rows_written() const { return -1; }
  // The current record (owned by the recordset), null when there is none.
  virtual udb_record* get_item();
  virtual bool is_eof();
  virtual bool has_text() const;
  virtual void next();
  // One record back, not below the first.
  virtual void prev();
  // Back to the first record.
  virtual void reset();

  // Prepares a record for this table: every field's value is converted in place to the type
  // of the column its (mapped) name names. A field without a column fails the whole record
  // before any value changes. Names and order of the fields stay.
  void convert_record(udb_record& record);
  // The same conversion into `target`, leaving `source` untouched. `target` receives fields
  // of the source's names and sizes the first time (or when the layout changes) and is
  // refilled in place afterwards, so one target record serves a whole table.
  void convert_record(const udb_record& source, udb_record& target);

  // Adds an index unless its name is taken; remembers the first primary or unique one.
  void add_index(const udb_index& index);

  const std::u16string& table_name() const noexcept { return table_name_; }
  udb_schema& schema() noexcept { return schema_; }
  const udb_schema& schema() const noexcept { return schema_; }
  udb_indexes& indexes() noexcept { return indexes_; }
  const udb_indexes& indexes() const noexcept { return indexes_; }
  udb_database* database() const noexcept { return database_; }
  // Position in indexes() of the first primary or unique index added, -1 when none.
  std::int32_t key_pos() const noexcept { return key_pos_; }
  // Changes whenever convert_record meets a new record layout (other field names, another
  // schema or names map revision): a writer that checks names per layout checks again then.
  std::uint64_t layout_generation() const noexcept { return plan_generation_; }
  // Whether records of `record_layout` (non-zero) were last converted with their fields in
  // the columns' order and need no conversion lookups while the schema and names stay as
  // they are.
  bool plan_is_in_order(std::uint64_t record_layout) const noexcept;

 protected:
  std::u16string text_;
  std::u16string table_name_;
  udb_schema schema_;
  udb_indexes indexes_;
  udb_database* database_ = nullptr;
  std::uint32_t reserved_ = 0;
  std::int32_t key_pos_ = -1;
  reject_handler reject_handler_;
  std::int64_t record_no_ = 0;
  // The record get_item hands out; derived readers create it once and refill it per row.
  std::unique_ptr<udb_record> current_record_;

 private:
  // Column position of every field of the last record layout converted, resolved once per
  // layout so that the per-row work neither looks names up nor allocates.
  struct conversion_plan {
    std::vector<std::u16string> field_names;
    std::vector<std::u16string> column_names;  // mapped names, for the trace
    std::vector<std::size_t> columns;
    std::uint64_t record_layout = 0;  // of the record it was resolved for
    std::uint64_t schema_revision = 0;
    std::uint64_t names_revision = 0;
    bool in_order = false;  // field i goes to column i
    bool valid = false;
  };

  const conversion_plan& plan_for(const udb_record& record);
  bool plan_matches(const udb_record& record) const noexcept;
  std::uint64_t names_revision() const noexcept;

  conversion_plan plan_;
  std::uint64_t plan_generation_ = 0;
};
