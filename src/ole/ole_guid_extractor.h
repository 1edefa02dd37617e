#pragma once

#include <string>
#include <string_view>

// Finds a GUID written inside a text value ("guid{6F9619FF-...}") so that it can be written
// as a GUID literal.
class ole_guid_extractor {
 public:
  explicit ole_guid_extractor(std::u16string_view text);

  bool found() const { return found_; }
  int position() const { return position_; }
  // The 38 characters from the found position (fewer at the end of the text); empty when
  // nothing was found.
  std::u16string guid() const;

 private:
  std::u16string text_;
  int position_ = -1;
  bool found_ = false;
};
