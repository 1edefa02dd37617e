// Per-field formatters of a script row, straight from a DBF record's bytes (see the header).
#include "app/talvex_row_formatter.h"

#include "dbf/dbf_field.h"
#include "dbf/dbf_recordset.h"
#include "mss/mss_literal.h"
#include "mss/mss_text_literal.h"
#include "ole/ole_currency.h"
#include "ole/ole_decimal.h"
#include "tk/tk_log.h"
#include "udb/t_ftd.h"
#include "udb/udb_custom_conversion.h"
#include "udb/udb_schema.h"

namespace {

// Decoding buffers beyond this (a large memo) are freed after the row.
constexpr std::size_t k_keep_bytes = std::size_t{1} << 20;

}  // namespace

talvex_row_formatter::talvex_row_formatter(const dbf_recordset& source, const udb_schema& columns,
                                           bool own_memo)
    : memo_(own_memo ? source.open_memo_copy() : nullptr),
      scratch_(source.make_record(memo_.get())),
      record_size_(source.header().rec_size) {
  const std::vector<dbf_field_layout>& layouts = source.layouts();
  plan_.resize(layouts.size());
  for (std::size_t i = 0; i < layouts.size() && i < columns.size(); ++i) {
    field_plan& field = plan_[i];
    field.layout = &layouts[i];
    field.column = &columns[i];
    field.how = kind_of(layouts[i], columns[i]);
    if (field.how == kind::logical) {
      field.yes = literal_of(i, 'T');
      field.no = literal_of(i, 'F');
    } else if (field.layout->decode == dbf_decode::text) {
      field.blank = literal_of(i, ' ');
    }
  }
  unreadable_ = 0;
}

talvex_row_formatter::kind talvex_row_formatter::kind_of(const dbf_field_layout& layout,
                                                         const t_ftd& column) {
  const ole_vartype vt = layout.vartype;
  // A value converted to another type, or one a rule may take, is the decoded path's.
  if (vt != column.vartype || tk_log_gate <= 2) return kind::decoded;
  // The two literals of a logical come from the decoded path, rules and all.
  if (layout.decode == dbf_decode::logical && layout.width >= 1) return kind::logical;
  if (udb_custom_conversion::may_accept2(vt)) return kind::decoded;
  switch (layout.decode) {
    case dbf_decode::int_le:
      return layout.width >= 4 && vt == VT_I4 ? kind::int_le : kind::decoded;
    case dbf_decode::currency:
      return layout.width >= 8 && vt == VT_CY ? kind::currency : kind::decoded;
    case dbf_decode::double_le:
      return layout.width >= 8 && vt == VT_R8 ? kind::double_le : kind::decoded;
    case dbf_decode::text:
      switch (vt) {
        case VT_BSTR:
          return layout.fd.field_type() == 'C' ? kind::text : kind::decoded;
        case VT_DATE:
          return layout.fd.field_type() == 'D' ? kind::date_text : kind::decoded;
        case VT_I4:
          return kind::int_text;
        case VT_DECIMAL:
          return kind::plain_decimal;
        default:
          return kind::decoded;
      }
    default:
      return kind::decoded;
  }
}

std::string talvex_row_formatter::literal_of(std::size_t i, char first) {
  const dbf_field_layout& layout = *plan_[i].layout;
  std::string record(record_size_ + dbf_field::k_block_pad, ' ');
  // The value's own, not a NULL or length flag that blanks would happen to set.
  for (const dbf_record_bit& bit : {layout.null_bit, layout.length_bit}) {
    if (bit.mask != 0 && bit.at < record.size()) record[bit.at] &= static_cast<char>(~bit.mask);
  }
  if (layout.width > 0 && layout.offset < record.size()) record[layout.offset] = first;
  std::string literal;
  append_decoded(literal, record.data(), i);
  return literal;
}

void talvex_row_formatter::append_decoded(std::string& out, const char* bytes, std::size_t i) {
  dbf_record& record = *scratch_;
  if (!record.fill_field(bytes, i)) ++unreadable_;
  udb_field& field = record[i];
  const t_ftd& column = *plan_[i].column;
  const ole_vartype vt = field.vt();
  if (vt != column.vartype && vt != VT_EMPTY && vt != VT_NULL) field.change_type(column.vartype);
  mss_append_fld_str(out, field, column);
  if (record.memo_bytes() > k_keep_bytes) record.release_buffers(k_keep_bytes);
}

bool talvex_row_formatter::append_fast(std::string& out, const field_plan& field,
                                       const char* bytes) {
  const dbf_field_layout& layout = *field.layout;
  if (layout.null_bit.is_set(bytes)) return false;
  const char* const here = bytes + layout.offset;
  switch (field.how) {
    case kind::decoded:
      return false;
    case kind::logical:
      out += dbf_field::is_true(here[0]) ? field.yes : field.no;
      return true;
    case kind::int_le:
      mss_append_integer(out, dbf_little_endian<std::int32_t>(here));
      return true;
    case kind::currency: {
      char buf[ole_currency::k_text_size];
      out.append(buf, ole_currency::from_raw(dbf_little_endian<std::int64_t>(here)).format(buf));
      return true;
    }
    case kind::double_le:
      mss_append_double(out, dbf_little_endian<double>(here));
      return true;
    case kind::plain_decimal: {
      char printed[dbf_field::k_print_size];
      int whole_digits = 0;
      const std::size_t size = dbf_field::print_decimal(bytes, layout, printed, whole_digits);
      if (size == dbf_field::k_blank) {
        out += field.blank;
        return true;
      }
      return size != 0 && mss_append_printed_decimal(out, std::string_view(printed, size),
                                                     whole_digits, *field.column);
    }
    case kind::text: {
      const std::string_view text = dbf_field::text_of(bytes, layout);
      const dbf_char_table& chars = scratch_->chars();
      if (const auto* utf8 = chars.utf8_table();
          utf8 != nullptr ? mss_append_mapped_text(out, text, *utf8, true)
                          : chars.printable_ascii_as_is() && mss_append_ascii_text(out, text, true))
        return true;
      chars.decode(text, text_);
      mss_append_text_value(out, text_);
      return true;
    }
    default:
      break;
  }
  // The text-read numbers and dates.
  const std::string_view text = dbf_field::text_of(bytes, layout);
  if (text.empty()) {
    out += field.blank;
    return true;
  }
  switch (field.how) {
    case kind::int_text: {
      std::int32_t value = 0;
      if (!dbf_field::plain_i4(text, value)) return false;
      mss_append_integer(out, value);
      return true;
    }
    case kind::date_text: {
      ole_systemtime date;
      return dbf_field::plain_date(text, date) && mss_append_date_value(out, date, *field.column);
    }
    default:
      return false;
  }
}

void talvex_row_formatter::append_values(std::string& out) {
  for (std::size_t i = 0; i < plan_.size(); ++i) {
    if (i != 0) out += ", ";
    if (!append_fast(out, plan_[i], bytes_)) append_decoded(out, bytes_, i);
  }
}
