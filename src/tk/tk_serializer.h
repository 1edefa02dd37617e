#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

// The settings that outlive a run: named DWORD and string values kept in
// $XDG_CONFIG_HOME/Orvanel/Talvex.conf (~/.config/Orvanel/Talvex.conf without the variable),
// a private file (mode 0600): it names servers and logins.
//
// Every accessor takes the value's name and `store` (true writes, false reads) and returns false
// when no key is open or the value cannot be read or written; a failed read leaves the variable
// as it was, and so does a missing or empty string value. Failures are otherwise silent.
class tk_serializer {
 public:
  tk_serializer() = default;
  virtual ~tk_serializer() = default;
  tk_serializer(const tk_serializer&) = delete;
  tk_serializer& operator=(const tk_serializer&) = delete;

  // Opens the store, creating its folder and file when missing; an open store is closed first.
  bool open_key();
  void close_key();
  bool is_open() const { return open_; }

  bool serialize_bool(std::string_view name, bool& value, bool store);
  bool serialize_int(std::string_view name, std::int32_t& value, bool store);
  bool serialize_string(std::u16string_view name, std::u16string& value, bool store);
  // Drops the value, so that the file no longer holds it; true when it is gone.
  bool remove_value(std::u16string_view name);

  // The key path the store stands for, and the file that holds it.
  static constexpr std::string_view k_key_path = "Software\\Orvanel\\Talvex";
  static std::string store_path();

 private:
  struct stored_value {
    bool is_string = false;
    std::uint32_t dword = 0;
    std::u16string text;
  };

  bool write_file() const;

  std::map<std::u16string, stored_value> values_;
  std::string path_;
  bool open_ = false;
};
