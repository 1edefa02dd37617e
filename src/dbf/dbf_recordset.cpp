#include "dbf/dbf_recordset.h"

#include <algorithm>
#include <cstring>

#include "dbf/dbf_codepage_table.h"
#include "dbf/dbf_container.h"
#include "dbf/dbf_container_default.h"
#include "dbf/dbf_cpg_file.h"
#include "dbf/dbf_error_sink.h"
#include "dbf/dbf_exception.h"
#include "dbf/dbf_field_writer.h"
#include "dbf/dbf_index_files.h"
#include "dbf/dbf_index_model.h"
#include "dbf/dbf_paths.h"
#include "dbf/dbf_utf8_scan.h"
#include "dbf/dbt_memo_file.h"
#include "dbf/fpt_memo_file.h"
#include "dbf/old_memo_file.h"
#include "dbf/smt_memo_file.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"
#include "udb/udb_validator.h"

namespace {

// The header area holds at most a 16-bit data offset of descriptors, and a level 7 slot may
// start just below it.
constexpr std::uint64_t k_max_head = 65536 + 68;

// FoxBase tables keep a fixed area of 32 descriptor slots after their 8-byte header; the
// records follow that area and the byte after it.
constexpr std::uint32_t k_foxbase_records = 8 + 32 * 16 + 1;

std::u16string field_name(std::string_view raw, int code_page) {
  // Names are taken as UTF-8 when they are; names written by DOS and Windows programs in the
  // table's own code page are decoded with it instead of turning into replacement marks.
  const std::u16string utf16 = tk_from_utf8_lossy(raw);
  if (utf16.find(u'\uFFFD') == std::u16string::npos) return utf16;
  return dbf_char_table::for_code_page(code_page).decode(raw);
}

void put_le(std::vector<char>& buf, std::size_t at, std::uint64_t value, int n) {
  for (int i = 0; i < n; ++i)
    buf[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

}  // namespace

dbf_recordset::dbf_recordset(const std::u16string& path, int a_mode, int cp, udb_database* database,
                             const dbf_dbc_table* dbc)
    : udb_recordset(database, dbf_table_name_of(path)), path_(tk_to_utf8(path)) {
  file_ = std::make_unique<tk_huge_file>(path_, a_mode != k_mode_read);
  TK_LOG(2, "dbf_recordset::ctor(%s, cp=%d)", path_, static_cast<int>(cp));
  if (a_mode != k_mode_read && a_mode != k_mode_append) {
    TK_LOG(2, "a_mode=%d, returning...", a_mode);
    return;
  }
  file_size_ = file_->get_size();
  if (file_size_ < dbf_header::k_size) fail("ERROR: File is too small");
  unsigned char raw[dbf_header::k_size];
  file_->get_at(0, raw, sizeof raw);
  header_ = dbf_header::parse(raw);
  if (header_.rec_size < 2 || header_.last_rec < 0) fail("ERROR: Invalid DBF header");
  TK_LOG(1, "data_offset=%d, last_rec=%d, rec_size=%d", static_cast<int>(header_.data_offset),
         static_cast<int>(header_.last_rec), static_cast<int>(header_.rec_size));
  init_schema();
  if (dbc != nullptr) take_long_names(*dbc);
  name_fields_apart();
  fit_record_length();
  place_null_flags();
  // Checked after the schema: a FoxBase table's data offset is known only then.
  const std::uint64_t needed =
      header_.data_offset +
      std::uint64_t{header_.rec_size} * static_cast<std::uint64_t>(header_.last_rec);
  if (file_size_ < needed) fail("ERROR: Invalid file size");
  count_records_past_count();

  try {
    init_memo_file(memo_type_in_use());
  } catch (const dbf_no_memo_exception& e) {
    dbf_report_error(path_, e);
  }
  TK_LOG(2, "DBF file has codepage: %d", static_cast<int>(header_.codepage_mark));
  code_page_ = choose_code_page(cp);
  chars_ = &dbf_char_table::for_code_page(code_page_);
  auto record = make_record();
  record_ = record.get();
  current_record_ = std::move(record);
  init_indexes();
  if (dbc != nullptr) mark_primary_key(*dbc);
  TK_LOG(2, "dbf_recordset::ctor - at the END");
}

dbf_recordset::~dbf_recordset() = default;

void dbf_recordset::fail(const char* trace) {
  TK_LOG(3, "%s", trace);
  throw dbf_exception(dbf_msg_bad_format);
}

std::vector<unsigned char> dbf_recordset::read_head() const {
  std::vector<unsigned char> head(static_cast<std::size_t>(std::min(file_size_, k_max_head)));
  file_->get_at(0, head.data(), head.size());
  return head;
}

void dbf_recordset::init_schema() {
  TK_LOG(2, "dbf_recordset::init_schema");
  TK_LOG(1, "rec_size=%d", static_cast<int>(header_.rec_size));
  const std::vector<unsigned char> head = read_head();
  if (header_.signature == dbf_header::k_foxbase) {
    init_schema_foxbase(head);
    return;
  }
  const bool level7 = header_.is_level7();
  const std::size_t first = level7 ? 68 : 32;
  const std::size_t slot = level7 ? dbf_fd7::k_size : 32;
  if (level7)
    TK_LOG(1, "Processing dBASE Level 7 format");
  else
    TK_LOG(1, "Default processing");
  const std::size_t n_fields = header_.data_offset > 32 ? (header_.data_offset - 32) / slot : 0;
  TK_LOG(1, "Table has %d fields", static_cast<int>(n_fields));
  // A table with a null flags field, whatever its signature, has Visual FoxPro's field flags.
  bool with_flags = header_.is_visual_foxpro();
  for (std::size_t i = 0; i < n_fields && !level7 && !with_flags; ++i) {
    const std::size_t at = first + i * slot;
    if (at + slot > head.size() || head[at] == 0x0D) break;
    with_flags = head[at + 11] == '0';
  }
  for (std::size_t i = 0; i < n_fields; ++i) {
    const std::size_t at = first + i * slot;
    // A header cut short by the end of the file ends the descriptor list there.
    if (at + slot > head.size() || head[at] == 0x0D) break;
    if (level7) {
      TK_LOG(1, "Reading FD7 at %d", static_cast<int>(at));
      fd7_post_process(dbf_fd7::from_slot48(head.data() + at));
    } else {
      fd7_post_process(dbf_fd7::from_slot32(head.data() + at, with_flags));
    }
  }
}

void dbf_recordset::init_schema_foxbase(const std::vector<unsigned char>& head) {
  TK_LOG(1, "Processing FoxBase format (signature=2)");
  std::size_t at = 8;
  while (true) {
    if (at >= head.size()) fail("ERROR: No end of field descriptors");
    if (head[at] == 0x0D) break;
    if (at + 16 > head.size()) fail("ERROR: No end of field descriptors");
    const dbf_fd7 fd = dbf_fd7::from_slot16(head.data() + at);
    TK_LOG(1, "Got field: %s/%c/%d", fd.name(), fd.field_type(), fd.length());
    fd7_post_process(fd);
    at += 16;
  }
  header_.data_offset =
      std::max<std::uint32_t>(static_cast<std::uint32_t>(at) + 1, k_foxbase_records);
}

void dbf_recordset::fd7_post_process(const dbf_fd7& fd) {
  check_name(fd.name(), fds_.size() + 1);
  fds_.push_back(fd);
  const dbf_field_kind kind = dbf_field_kind_of(fd, header_.format());
  if (kind.decode == dbf_decode::null_flags) {
    // Visual FoxPro's hidden field of null and length bits: read for the other fields only.
    TK_LOG(1, "Got null flags: %s, size=%d", fd.name(), static_cast<int>(kind.width));
    null_flags_ = {next_offset_, kind.width};
    advance_offset(kind.width);
    return;
  }
  dbf_field_layout layout;
  layout.fd = fd;
  layout.name = field_name(fd.name(), dbf_codepage_of_mark(header_.codepage_mark));
  layout.size = kind.size;
  layout.vartype = kind.vartype;
  layout.width = kind.width;
  layout.decode = kind.decode;
  layout.offset = next_offset_;
  advance_offset(layout.width);
  std::uint32_t reserved = kind.date_kind;
  TK_LOG(1, "Got field: %s, type=%c, size=%d", fd.name(), fd.field_type(),
         static_cast<int>(layout.size));
  if (layout.vartype == VT_DECIMAL) {
    const std::uint32_t precision = std::min(fd.length() + fd.decimals(), 255);
    const std::uint32_t scale = static_cast<std::uint32_t>(fd.decimals());
    reserved = precision * 256 + scale;
    TK_LOG(1, "Got VT_DECIMAL(%d,%d)", static_cast<int>(precision), static_cast<int>(scale));
  }
  t_ftd column(layout.size, layout.name, layout.vartype, false, kind.auto_num, ole_variant(),
               reserved);
  if (kind.auto_num && has_auto_num_) {
    // A SQL Server table has one identity column: later auto-numbers keep their values only.
    TK_WLOG(3, "Table %s: field %s is an auto-number, but one came before it; its values are kept",
            table_name_, layout.name);
    column.b_auto_num = false;
  } else if (kind.auto_num) {
    has_auto_num_ = true;
    column.auto_next = kind.auto_next;
    column.auto_step = kind.auto_step;
  }
  schema_.push_back(std::move(column));
  layouts_.push_back(std::move(layout));
}

void dbf_recordset::check_name(std::string_view name, std::size_t field_no) const {
  const char* problem = nullptr;
  if (name.empty()) {
    problem = "has no name";
  } else if (std::any_of(name.begin(), name.end(), [](char c) {
               return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
             })) {
    problem = "has a name that is not text";
  }
  if (problem == nullptr) return;
  TK_WLOG(3, "Table %s: field #%d %s", table_name_, static_cast<int>(field_no), problem);
  throw dbf_exception("Field #" + std::to_string(field_no) + " " + problem +
                      ": the table's header is damaged");
}

void dbf_recordset::name_fields_apart() {
  udb_validator names(0);
  for (const dbf_field_layout& layout : layouts_) names.add_existing_name(layout.name);
  for (std::size_t i = 1; i < layouts_.size(); ++i) {
    bool repeated = false;
    for (std::size_t j = 0; j < i && !repeated; ++j)
      repeated = udb_names_equal_nocase(layouts_[i].name, layouts_[j].name);
    if (!repeated) continue;
    std::u16string unique = names.get_safe_name(layouts_[i].name);
    TK_WLOG(3, "Table %s: the field %s of an earlier field's name becomes %s", table_name_,
            layouts_[i].name, unique);
    names.add_existing_name(unique);
    layouts_[i].name = unique;
    schema_[i].name = std::move(unique);
  }
}

void dbf_recordset::fit_record_length() {
  const std::uint32_t needed = next_offset_;  // the deletion flag and every field
  if (needed <= header_.rec_size) return;
  // Read with the header's length, every record after the first would start in the wrong
  // place. A file whose size is what the fields' length implies (an end-of-file mark may
  // follow) was written with that length.
  const std::uint64_t implied =
      header_.data_offset + std::uint64_t{needed} * static_cast<std::uint64_t>(header_.last_rec);
  if (file_size_ == implied || file_size_ == implied + 1) {
    TK_WLOG(3,
            "Table %s: the fields take %d bytes of a record, more than the header's %d; the "
            "file's size fits %d, which is used",
            table_name_, static_cast<int>(needed), static_cast<int>(header_.rec_size),
            static_cast<int>(needed));
    header_.rec_size = needed;
    return;
  }
  TK_WLOG(3, "Table %s: the fields take %d bytes of a record, more than the header's %d",
          table_name_, static_cast<int>(needed), static_cast<int>(header_.rec_size));
  throw dbf_exception("The fields take " + std::to_string(needed) +
                      " bytes of a record, more than the record length of " +
                      std::to_string(header_.rec_size) + " in the header");
}

void dbf_recordset::count_records_past_count() {
  const std::uint64_t rec_size = header_.rec_size;
  std::uint64_t at = header_.data_offset + rec_size * static_cast<std::uint64_t>(header_.last_rec);
  std::vector<char> chunk;
  // Only the first byte of each record is looked at: a deletion flag, or the end-of-file mark.
  while (at + rec_size <= file_size_) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(k_read_ahead, file_size_ - at));
    chunk.resize(n);
    file_->get_at(at, chunk.data(), n);
    std::uint64_t r = 0;
    for (; r < n && at + r + rec_size <= file_size_; r += rec_size) {
      if (chunk[static_cast<std::size_t>(r)] == k_end_of_file) return;
      ++records_past_count_;
    }
    at += r;
  }
}

void dbf_recordset::advance_offset(std::uint32_t width) {
  next_offset_ = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(std::uint64_t{next_offset_} + width, 0xFFFFFFFFull));
}

void dbf_recordset::place_null_flags() {
  // A flags field outside the record holds no bits.
  if (null_flags_.width == 0 ||
      std::uint64_t{null_flags_.offset} + null_flags_.width > header_.rec_size) {
    return;
  }
  // Bits are handed out in field order: a V or Q field's length bit, then the null bit of
  // every nullable field. Bits past the flags field's width stay unset.
  std::uint32_t bit = 0;
  auto place = [&](dbf_record_bit& out) {
    if (bit / 8 < null_flags_.width) {
      out.at = null_flags_.offset + bit / 8;
      out.mask = static_cast<std::uint8_t>(1u << (bit % 8));
    }
    ++bit;
  };
  for (dbf_field_layout& layout : layouts_) {
    const char letter = layout.fd.field_type();
    if (letter == 'V' || letter == 'Q') place(layout.length_bit);
    if ((layout.fd.flags & dbf_flag_nullable) != 0) place(layout.null_bit);
  }
}

dbf_memo_type dbf_recordset::get_memo_type() const {
  return dbf_memo_type_of(header_.signature, header_.table_flags);
}

dbf_memo_type dbf_recordset::memo_type_in_use() const {
  const dbf_memo_type type = get_memo_type();
  if (type != dbf_memo_type::memo_none) return type;
  const bool level7 = header_.is_level7();
  const bool memo_fields = std::any_of(fds_.begin(), fds_.end(), [level7](const dbf_fd7& fd) {
    return dbf_is_memo_field(fd.field_type(), level7);
  });
  if (!memo_fields) return type;
  const dbf_memo_type by_fields = dbf_memo_type_by_fields(header_.signature, header_.table_flags);
  // Some writers mark tables with FoxPro memo files as dBase III: the file beside it decides.
  if (by_fields == dbf_memo_type::memo_old && !dbf_sibling_path(path_, "dbt") &&
      dbf_sibling_path(path_, "fpt")) {
    return dbf_memo_type::memo_fpt;
  }
  return by_fields;
}

void dbf_recordset::init_memo_file(dbf_memo_type type) {
  if (type == dbf_memo_type::memo_none) return;
  if (type == dbf_memo_type::memo_fpt && get_memo_type() != type) {
    TK_WLOG(3, "Table %s: its signature names a dBase III table, its memo file is FoxPro's",
            table_name_);
  }
  memo_ = open_memo_file(type);
}

std::unique_ptr<dbf_memo_file> dbf_recordset::open_memo_file(dbf_memo_type type) const {
  const std::optional<std::string> memo_path = dbf_sibling_path(path_, dbf_memo_extension(type));
  if (!memo_path) throw dbf_no_memo_exception();
  switch (type) {
    case dbf_memo_type::memo_dbase4:
      return std::make_unique<dbt_memo_file>(*memo_path, dbf_memo_file::k_mode_read);
    case dbf_memo_type::memo_fpt:
    case dbf_memo_type::memo_vfp:
    case dbf_memo_type::memo_vfp_dbc:
      return std::make_unique<fpt_memo_file>(*memo_path, dbf_memo_file::k_mode_read, type);
    case dbf_memo_type::memo_smt:
      return std::make_unique<smt_memo_file>(*memo_path, dbf_memo_file::k_mode_read);
    default:
      return std::make_unique<old_memo_file>(*memo_path, dbf_memo_file::k_mode_read);
  }
}

std::unique_ptr<dbf_memo_file> dbf_recordset::open_memo_copy() const {
  return memo_ != nullptr ? open_memo_file(memo_type_in_use()) : nullptr;
}

void dbf_recordset::take_long_names(const dbf_dbc_table& dbc) {
  if (dbc.fields.size() != layouts_.size()) {
    TK_WLOG(3,
            "Table %s: its database container names %d fields, the table has %d; the table's "
            "own names are kept",
            table_name_, static_cast<int>(dbc.fields.size()), static_cast<int>(layouts_.size()));
    return;
  }
  for (std::size_t i = 0; i < layouts_.size(); ++i) {
    if (!dbc.fields[i].name.empty()) {
      layouts_[i].name = tk_from_utf8_lossy(dbc.fields[i].name);
      schema_[i].name = layouts_[i].name;
    }
    schema_[i].def_value =
        dbf_container_default(schema_[i], dbc.fields[i].default_value).value_or(ole_variant());
  }
}

void dbf_recordset::mark_primary_key(const dbf_dbc_table& dbc) {
  if (dbc.primary_tag.empty()) return;
  const int at = indexes_.get_index_pos(tk_from_utf8_lossy(dbc.primary_tag));
  if (at < 0) {
    TK_WLOG(3, "Table %s: its primary key %s has no index tag that translates", table_name_,
            tk_from_utf8_lossy(dbc.primary_tag));
    return;
  }
  indexes_[static_cast<std::size_t>(at)].b_primary = true;
}

void dbf_recordset::init_indexes() {
  TK_LOG(2, "dbf_recordset::init_indexes(%s)", path_);
  std::vector<dbf_index_tag> tags;
  for (const auto& [index_path, kind] : dbf_index_files_of(path_)) {
    try {
      dbf_index_file file = dbf_read_index_file(index_path, kind);
      tags.insert(tags.end(), file.tags.begin(), file.tags.end());
    } catch (const dbf_exception& e) {
      // The rows do not depend on the index file: the table goes on without its tags.
      TK_LOG(3, "Index file %s is damaged and left out: %s", index_path, e.message());
    }
  }
  if (tags.empty()) return;
  std::vector<std::string> fields;
  for (const dbf_field_layout& layout : layouts_) fields.push_back(tk_to_utf8(layout.name));
  const dbf_char_table* chars = chars_;
  const udb_indexes found =
      dbf_indexes_of_tags(tk_to_utf8(table_name()), tags, fields,
                          [chars](std::string_view bytes) { return chars->decode(bytes); });
  for (const udb_index& index : found) add_index(index);
}

int dbf_recordset::get_codepage() const {
  TK_LOG(1, "dbf_recordset::get_codepage");
  return code_page_;
}

int dbf_recordset::choose_code_page(int cp) {
  if (cp == dbf_choice_utf8) {
    TK_LOG(2, "Setting user-defined codepage: UTF-8");
    return tk_cp_utf8;
  }
  if (cp != 0) {
    TK_LOG(2, "Setting user-defined codepage: %d", cp);
    header_.codepage_mark = static_cast<std::uint8_t>(cp);
    return dbf_codepage_of_mark(header_.codepage_mark);
  }
  if (const std::optional<int> named = dbf_cpg_code_page_of(path_)) return *named;
  const int by_mark = dbf_codepage_of_mark(header_.codepage_mark);
  if (by_mark != 0 || !text_is_utf8()) return by_mark;
  TK_LOG(2, "Text is UTF-8");
  return tk_cp_utf8;
}

bool dbf_recordset::text_is_utf8() {
  dbf_utf8_scan scan;
  for (const dbf_fd7& fd : fds_) scan.add(fd.name());
  std::vector<const dbf_field_layout*> in_record;
  std::vector<const dbf_field_layout*> memos;
  for (const dbf_field_layout& layout : layouts_) {
    if (layout.vartype != VT_BSTR) continue;
    if (!layout.is_memo()) {
      in_record.push_back(&layout);
    } else if (memo_ != nullptr) {
      memos.push_back(&layout);
    }
  }
  std::string memo_text;
  for (std::int64_t position = 0; position < header_.last_rec && scan.valid(); ++position) {
    const char* record = record_bytes(position);
    for (const dbf_field_layout* layout : in_record) {
      scan.add(std::string_view(record + layout->offset, layout->width));
    }
    for (const dbf_field_layout* layout : memos) {
      const std::uint32_t block = memo_->get_block_number(record + layout->offset, layout->width);
      if (block == 0) continue;
      memo_->read_memo(block, memo_text);
      scan.add(memo_text);
    }
  }
  return scan.is_utf8();
}

void dbf_recordset::reset() {
  position_ = 0;
  // A new pass reads the file afresh.
  ahead_count_ = 0;
}

const char* dbf_recordset::record_bytes(std::int64_t position) {
  const std::size_t rec_size = header_.rec_size;
  if (position < ahead_first_ || position >= ahead_first_ + ahead_count_) {
    const std::int64_t per_block =
        static_cast<std::int64_t>(std::max<std::size_t>(1, k_read_ahead / rec_size));
    const std::int64_t count = std::min(per_block, header_.last_rec - position);
    const std::uint64_t offset =
        header_.data_offset + static_cast<std::uint64_t>(position) * rec_size;
    TK_LOG(1, "Reading at %lld", static_cast<long long>(offset));
    const std::size_t bytes = static_cast<std::size_t>(count) * rec_size;
    ahead_.resize(bytes + dbf_field::k_block_pad);
    ahead_count_ = 0;
    file_->get_at(offset, ahead_.data(), bytes);
    ahead_first_ = position;
    ahead_count_ = count;
  }
  return ahead_.data() + static_cast<std::size_t>(position - ahead_first_) * rec_size;
}

udb_record* dbf_recordset::get_item() {
  TK_LOG(1, "dbf_recordset::get_item");
  if (record_ == nullptr || is_eof()) return nullptr;
  fill_record(*record_, position_);
  return record_;
}

std::unique_ptr<dbf_record> dbf_recordset::make_record(const dbf_memo_file* memo) const {
  auto record =
      std::make_unique<dbf_record>(layouts_, memo != nullptr ? memo : memo_.get(), *chars_);
  record->share_layout(layout_id_);
  return record;
}

void dbf_recordset::fill_record(dbf_record& record, std::int64_t position) {
  record.fill(record_bytes(position), header_.rec_size);
  if (record.unreadable() != 0) report_unreadable(position, record.unreadable());
}

void dbf_recordset::report_unreadable(std::int64_t position, std::size_t count) const {
  TK_WLOG(3, "Table %s, record #%lld: %d number fields hold no number and are NULL", table_name_,
          static_cast<long long>(position + 1), static_cast<int>(count));
}

void dbf_recordset::append_record(udb_record& record) {
  TK_LOG(2, "dbf_recordset::append_record");
  std::vector<char> bytes(header_.rec_size, ' ');
  const std::size_t n = std::min(record.size(), layouts_.size());
  const dbf_char_table& chars = chars_ != nullptr ? *chars_ : dbf_char_table::for_code_page(0);
  for (std::size_t i = 0; i < n; ++i) {
    const dbf_field_layout& layout = layouts_[i];
    TK_WLOG(1, "Processing field #%d (size=%d): %s", static_cast<int>(i),
            static_cast<int>(layout.width), layout.name);
    dbf_encode_field(record[i], layout, chars, path_, bytes.data() + layout.offset);
  }
  // The deletion flag is written as a blank, so that every reader sees a live record.
  bytes[0] = ' ';
  const std::uint64_t offset =
      header_.data_offset +
      std::uint64_t{header_.rec_size} * static_cast<std::uint64_t>(header_.last_rec);
  file_->put_at(offset, bytes.data(), bytes.size());
  ++header_.last_rec;
  std::vector<char> count(4);
  if (header_.signature == dbf_header::k_foxbase) {
    put_le(count, 0, static_cast<std::uint64_t>(header_.last_rec), 2);
    file_->put_at(1, count.data(), 2);
  } else {
    put_le(count, 0, static_cast<std::uint64_t>(header_.last_rec), 4);
    file_->put_at(4, count.data(), 4);
  }
  file_size_ = std::max(file_size_, offset + bytes.size());
  ahead_count_ = 0;
}
