#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Generic name rules of one naming scope (the columns of one table, or the tables of one
// database): a maximum length, illegal characters, reserved words and the names already
// used. Sources and targets derive their own validators and fill the lists.
class udb_validator {
 public:
  // max_length 0 means no limit.
  explicit udb_validator(std::uint32_t max_length);
  virtual ~udb_validator();

  udb_validator(const udb_validator&) = default;
  udb_validator& operator=(const udb_validator&) = default;

  virtual bool is_acceptable(std::u16string_view name);
  virtual bool is_duplicated(std::u16string_view name);
  // A name derived from `name` that is acceptable and not duplicated. The result is not
  // recorded as existing; the caller adds it.
  virtual std::u16string get_safe_name(std::u16string_view name);

  void add_existing_name(std::u16string name) { existing_names_.push_back(std::move(name)); }
  void add_restricted_name(std::u16string name) { restricted_names_.push_back(std::move(name)); }
  void add_illegal_char(char16_t c) { illegal_chars_.push_back(c); }

  std::uint32_t max_length() const noexcept { return max_length_; }
  const std::vector<char16_t>& illegal_chars() const noexcept { return illegal_chars_; }
  const std::vector<std::u16string>& restricted_names() const noexcept { return restricted_names_; }
  const std::vector<std::u16string>& existing_names() const noexcept { return existing_names_; }

  // Candidates tried by get_safe_name after the plain name: name00000 .. name99999.
  static constexpr int k_counter_limit = 100000;

 protected:
  std::uint32_t max_length_;
  std::vector<char16_t> illegal_chars_;
  std::vector<std::u16string> restricted_names_;
  std::vector<std::u16string> existing_names_;
};
