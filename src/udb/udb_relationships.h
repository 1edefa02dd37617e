#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One foreign key: the child table's key columns referencing the parent table's columns.
class udb_relationship {
 public:
  udb_relationship() = default;
  udb_relationship(std::u16string name, std::u16string second_name, std::u16string fk_table,
                   std::u16string pk_table, std::vector<std::u16string> child_fields,
                   std::vector<std::u16string> parent_fields, std::u16string action_text)
      : name(std::move(name)),
        second_name(std::move(second_name)),
        fk_table(std::move(fk_table)),
        pk_table(std::move(pk_table)),
        action_text(std::move(action_text)),
        child_fields(std::move(child_fields)),
        parent_fields(std::move(parent_fields)) {}

  bool operator==(const udb_relationship&) const = default;

  std::u16string name;
  std::u16string second_name;  // read with the key, used by no writer
  std::u16string fk_table;     // referencing (child) table
  std::u16string pk_table;     // referenced (parent) table
  // Referential actions as T-SQL text (" ON UPDATE ... ON DELETE ..."), empty when none.
  std::u16string action_text;
  std::vector<std::u16string> child_fields;
  std::vector<std::u16string> parent_fields;
};

// A database's foreign keys, in the order read.
class udb_relationships {
 public:
  using const_iterator = std::vector<udb_relationship>::const_iterator;

  // No relationship of that name exists (case ignored).
  bool is_acceptable_name(std::u16string_view name) const;
  // The relationship of that name (case ignored); asking for an absent one is a programming
  // error.
  const udb_relationship& get_index(std::u16string_view name) const;

  void push_back(udb_relationship relationship) { items_.push_back(std::move(relationship)); }
  std::size_t size() const noexcept { return items_.size(); }
  bool empty() const noexcept { return items_.empty(); }
  const udb_relationship& operator[](std::size_t i) const { return items_.at(i); }
  const_iterator begin() const noexcept { return items_.begin(); }
  const_iterator end() const noexcept { return items_.end(); }
  void clear() noexcept { items_.clear(); }

 private:
  const udb_relationship* find(std::u16string_view name) const;

  std::vector<udb_relationship> items_;
};
