#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "udb/udb_field.h"
#include "udb/udb_owning_list.h"

// One row: its fields in the order of the table's columns, owned by the record. A reader
// builds the fields once and refills their values for every row; clearing or destroying the
// record destroys the fields.
class udb_record {
 public:
  using iterator = udb_owning_list<udb_field>::iterator;
  using const_iterator = udb_owning_list<udb_field>::const_iterator;

  udb_record() = default;
  virtual ~udb_record();
  udb_record(const udb_record&) = delete;
  udb_record& operator=(const udb_record&) = delete;
  udb_record(udb_record&&) noexcept = default;
  udb_record& operator=(udb_record&&) noexcept = default;

  // Lookups ignore case; the first field of the name wins.
  bool find_field(std::u16string_view name) const;
  // The field of that name, or an empty field when absent.
  const udb_field& get_field(std::u16string_view name) const;
  // Position of the field of that name, -1 when absent. Traces nothing and allocates
  // nothing, for lookups made per row.
  std::int32_t get_field_idx(std::u16string_view name) const noexcept;

  std::size_t size() const noexcept { return fields_.size(); }
  bool empty() const noexcept { return fields_.empty(); }
  // Out-of-range positions throw std::out_of_range.
  udb_field& operator[](std::size_t i) { return fields_[i]; }
  const udb_field& operator[](std::size_t i) const { return fields_[i]; }

  // Takes ownership of the field (derived field types keep their behaviour).
  udb_field& push_back(std::unique_ptr<udb_field> field) {
    layout_id_ = 0;
    return fields_.push_back(std::move(field));
  }
  udb_field& add_field(std::u16string name, std::int32_t size, const ole_variant& value) {
    return push_back(std::make_unique<udb_field>(std::move(name), size, value));
  }
  void reserve(std::size_t n) { fields_.reserve(n); }
  void clear() noexcept {
    fields_.clear();
    layout_id_ = 0;
  }

  // The layout (field names and order) a reader shares among the records it builds alike
  // from one description of its fields, refilling only their values: a writer that resolved
  // the names for one of them need not compare them again for the others. A reader that
  // shares a layout keeps the names as they are; 0, for every other record and once fields
  // are added or removed, promises nothing.
  std::uint64_t layout_id() const noexcept { return layout_id_; }
  void share_layout(std::uint64_t id) noexcept { layout_id_ = id; }
  // A layout id no other layout of this process has had.
  static std::uint64_t next_layout_id() noexcept;

  iterator begin() noexcept { return fields_.begin(); }
  iterator end() noexcept { return fields_.end(); }
  const_iterator begin() const noexcept { return fields_.begin(); }
  const_iterator end() const noexcept { return fields_.end(); }

 private:
  udb_owning_list<udb_field> fields_;
  std::uint64_t layout_id_ = 0;
};
