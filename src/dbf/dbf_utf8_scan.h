#pragma once

#include <string_view>

// Decides whether a table marked with the default code page holds UTF-8 text, as many current
// writers store it: every piece of text valid UTF-8 and at least one multi-byte sequence among
// them. Pieces are checked one at a time (a sequence never spans two fields); after the first
// invalid one the rest need not be read.
class dbf_utf8_scan {
 public:
  // Takes the bytes up to the first NUL, where text in a field ends.
  void add(std::string_view bytes);

  bool valid() const { return valid_; }
  bool is_utf8() const { return valid_ && multibyte_; }

 private:
  bool valid_ = true;
  bool multibyte_ = false;
};
