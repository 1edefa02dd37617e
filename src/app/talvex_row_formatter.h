// The values of a DBF record written into a script row straight from the record's bytes,
// for tables converted into a script: a plan of one formatter per field, worked out once per
// table, for the kinds of field most tables are made of, so that those values never become
// variants. Every other field, and every value a formatter leaves (a NULL flag, a number
// its column cannot hold, text that is no plain number or date), is decoded and written as
// every record's fields are, so the rows are those the decoded records give.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/dbf_record.h"
#include "mss/mss_dmp_recordset.h"

class dbf_recordset;
class udb_schema;
class t_ftd;

class talvex_row_formatter : public mss_row_values {
 public:
  // `columns` holds one column per field of `source`, in the fields' order. Only while
  // detail traces are off: the decoded path writes them. With `own_memo`, memos are read
  // through a memo file of the formatter's own, so that it may run on another thread than
  // the source's reader.
  talvex_row_formatter(const dbf_recordset& source, const udb_schema& columns,
                       bool own_memo = false);

  // The record append_values writes next; its bytes, followed by dbf_field::k_block_pad
  // readable bytes, must stay valid until then.
  void set_record(const char* bytes) noexcept {
    bytes_ = bytes;
    unreadable_ = 0;
  }
  void append_values(std::string& out) override;

  // Number fields of the last record whose bytes held no number (written as NULL).
  std::size_t unreadable() const noexcept { return unreadable_; }
  // The layout of the source's records, which the writer must have met before it takes
  // values from here.
  std::uint64_t record_layout() const noexcept { return scratch_->layout_id(); }

 private:
  enum class kind : std::uint8_t {
    decoded,        // decoded into a value first
    logical,        // one of two literals worked out beforehand
    int_le,         // I as a 32-bit integer
    currency,       // Y
    double_le,      // B as a double
    int_text,       // N read as an integer
    plain_decimal,  // N or F read as a decimal
    date_text,      // D
    text,           // C
  };
  struct field_plan {
    kind how = kind::decoded;
    const dbf_field_layout* layout = nullptr;
    const t_ftd* column = nullptr;
    std::string blank;  // a text-read field holding nothing but blanks
    std::string yes;    // a logical's true and false
    std::string no;
  };

  static kind kind_of(const dbf_field_layout& layout, const t_ftd& column);
  // Writes field `i` of `bytes` as a decoded record's field is written.
  void append_decoded(std::string& out, const char* bytes, std::size_t i);
  // The literal of field `i` in a record of blanks holding `first` in the field's first byte.
  std::string literal_of(std::size_t i, char first);
  // Writes the field from its bytes; false, with nothing written, where the decoded path must.
  bool append_fast(std::string& out, const field_plan& field, const char* bytes);

  std::unique_ptr<dbf_memo_file> memo_;  // with own_memo
  std::unique_ptr<dbf_record> scratch_;  // decodes the fields the plan leaves
  std::vector<field_plan> plan_;
  std::size_t record_size_ = 0;
  ole_variant text_;  // a C field's text
  const char* bytes_ = nullptr;
  std::size_t unreadable_ = 0;
};
