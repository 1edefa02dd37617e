#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/dbf_char_table.h"
#include "dbf/dbf_fd7.h"
#include "dbf/dbf_field.h"
#include "dbf/dbf_header.h"
#include "dbf/dbf_memo_file.h"
#include "dbf/dbf_memo_type.h"
#include "dbf/dbf_record.h"
#include "tk/tk_huge_file.h"
#include "udb/udb_recordset.h"

// One DBF table: checks the header, builds the schema from the field descriptors, attaches
// the memo file and hands out records by position. Records are read ahead in blocks (many
// records per system call) and decoded into one record object refilled per row.
struct dbf_dbc_table;

class dbf_recordset : public udb_recordset {
 public:
  // Open modes: read everything read-only; read everything for appending. Any other mode
  // opens the file for writing and reads nothing (a table being created).
  static constexpr int k_mode_read = 1;
  static constexpr int k_mode_append = 8;

  // `path` is the .dbf file; `cp` the user's choice of encoding: a code page mark that
  // replaces the header's, dbf_choice_utf8, or 0 for none. Without one, a .cpg file beside the
  // table names the code page, else the header's mark does; a table marked with the default
  // code page whose text is all UTF-8 (with some multi-byte sequence) is read as UTF-8.
  // `dbc`: the table's entry in its database container, whose long field names and primary
  // key the table takes.
  dbf_recordset(const std::u16string& path, int a_mode, int cp, udb_database* database = nullptr,
                const dbf_dbc_table* dbc = nullptr);
  ~dbf_recordset() override;

  void append_record(udb_record& record) override;
  udb_record* get_item() override;
  bool is_eof() override { return position_ >= header_.last_rec; }
  void next() override { ++position_; }
  void prev() override {
    if (position_ > 0) --position_;
  }
  void reset() override;

  // A record laid out for this table, to be filled by `fill_record`; it reads memos through
  // `memo` when given (which must outlive it), else through the table's memo file.
  std::unique_ptr<dbf_record> make_record(const dbf_memo_file* memo = nullptr) const;
  // The table's memo file opened once more, for records read on another thread (memo files
  // read through a window that one thread at a time may use); null without one.
  std::unique_ptr<dbf_memo_file> open_memo_copy() const;
  // Decodes the record at `position` (below `record_count()`) into `record`, leaving the
  // current position alone.
  void fill_record(dbf_record& record, std::int64_t position);
  // The bytes of the record at `position` (below `record_count()`), valid until the next
  // read, with dbf_field::k_block_pad readable bytes after them; for a reader that decodes
  // them itself.
  const char* record_bytes(std::int64_t position);
  // Traces that `count` number fields of the record at `position` held no number.
  void report_unreadable(std::int64_t position, std::size_t count) const;

  // The memo format the header names.
  dbf_memo_type get_memo_type() const;
  // The memo format the table is read with: the header's, or for a table with memo fields
  // whose header names none, the one its signature family uses.
  dbf_memo_type memo_type_in_use() const;
  // Code page number of the table's text (0 for the default code page, 65001 for UTF-8).
  int get_codepage() const;

  const dbf_header& header() const { return header_; }
  std::int64_t record_count() const { return header_.last_rec; }
  // Whole records after the header's count, before the end-of-file mark: they are not read,
  // as dBase does not read them.
  std::int64_t records_past_count() const { return records_past_count_; }
  std::int64_t position() const { return position_; }
  void set_position(std::int64_t position) { position_ = position; }
  const std::vector<dbf_fd7>& descriptors() const { return fds_; }
  const std::vector<dbf_field_layout>& layouts() const { return layouts_; }
  const dbf_memo_file* memo_file() const { return memo_.get(); }
  const std::string& path() const { return path_; }

  // Bytes read ahead per refill of the record buffer (at least one record).
  static constexpr std::size_t k_read_ahead = 128 * 1024;
  // The byte that ends the records of a table file.
  static constexpr char k_end_of_file = 0x1A;

 private:
  void fail(const char* trace);
  void init_schema();
  void init_schema_foxbase(const std::vector<unsigned char>& head);
  void fd7_post_process(const dbf_fd7& fd);
  // Moves the next field's offset on by `width`, stopping at the largest offset.
  void advance_offset(std::uint32_t width);
  // A descriptor whose name is empty or holds control characters belongs to a damaged
  // header: dbf_exception naming the field (1-based).
  void check_name(std::string_view name, std::size_t field_no) const;
  // A field named like an earlier one (case ignored) gets a generated name, so that every
  // column of the table has its own.
  void name_fields_apart();
  // The container's long field names, where it names as many fields as the table has.
  void take_long_names(const dbf_dbc_table& dbc);
  // The container's primary tag becomes the primary key.
  void mark_primary_key(const dbf_dbc_table& dbc);
  // Descriptors needing more bytes than the header's record length: the length the file's
  // size shows, or dbf_exception.
  void fit_record_length();
  void place_null_flags();
  void count_records_past_count();
  void init_memo_file(dbf_memo_type type);
  std::unique_ptr<dbf_memo_file> open_memo_file(dbf_memo_type type) const;
  void init_indexes();
  int choose_code_page(int cp);
  // Whether the field names and all text, memos included, are UTF-8 with some multi-byte
  // sequence; stops at the first invalid sequence.
  bool text_is_utf8();
  std::vector<unsigned char> read_head() const;

  std::string path_;
  std::unique_ptr<tk_huge_file> file_;
  std::uint64_t file_size_ = 0;
  dbf_header header_;
  std::int64_t position_ = 0;
  std::unique_ptr<dbf_memo_file> memo_;
  std::vector<dbf_fd7> fds_;
  std::vector<dbf_field_layout> layouts_;
  // Shared by the records made from layouts_, which are complete before the first is made.
  const std::uint64_t layout_id_ = udb_record::next_layout_id();
  std::uint32_t next_offset_ = 1;
  int code_page_ = 0;
  std::int64_t records_past_count_ = 0;
  struct {
    std::uint32_t offset = 0;
    std::uint32_t width = 0;
  } null_flags_;               // Visual FoxPro _NullFlags in the record; width 0 when there is none
  bool has_auto_num_ = false;  // a column is the table's auto-number already
  const dbf_char_table* chars_ = nullptr;
  dbf_record* record_ = nullptr;  // owned through current_record_

  std::vector<char> ahead_;
  std::int64_t ahead_first_ = 0;
  std::int64_t ahead_count_ = 0;
};
