#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tk/tk_huge_file.h"

// A table's memo file: turns a memo field's bytes into a block number and a block number
// into the memo's bytes (narrow text, still in the table's code page). Every read is checked
// against the file size taken at opening, so a hostile block number or length yields the
// empty text instead of a read past the end.
class dbf_memo_file : public tk_huge_file {
 public:
  // Open modes: read-only (how tables open their memo files), writable (appending), and
  // initialise a new file (old_memo_file only).
  static constexpr int k_mode_read = 0;
  static constexpr int k_mode_write = 1;
  static constexpr int k_mode_create = 3;

  dbf_memo_file(const std::string& path, int mode);
  ~dbf_memo_file() override;

  // Block number of the memo a field refers to; 0 means no memo. `field` holds the memo
  // field's `width` bytes from the record.
  virtual std::uint32_t get_block_number(const char* field, std::size_t width) const;
  // Replaces `text` with the memo's bytes, up to its first 0 byte.
  virtual void read_memo(std::uint32_t block, std::string& text) const;
  // Replaces `bytes` with the memo's bytes, 0 bytes included: binary memos (pictures, OLE
  // objects, blobs) hold them. Formats that end a memo at a mark give what read_memo gives.
  virtual void read_memo_bytes(std::uint32_t block, std::string& bytes) const;
  virtual void write_memo(std::uint32_t block, std::string_view text);

  std::uint64_t size() const { return size_; }

 protected:
  // Reads [offset, offset + length) when it lies wholly inside the file.
  bool read_in_file(std::uint64_t offset, void* buffer, std::size_t length) const;
  // Reads from `start` up to (not including) the first `terminator` byte or the end of the
  // file, whichever comes first.
  void read_until(std::uint64_t start, char terminator, std::string& text) const;
  // Reads the `length` bytes a stored memo length gives, at `offset`, and unless `whole` cuts
  // the text at its first 0 byte; leaves `text` empty when the length is negative or runs past
  // the file's end.
  void read_text(std::uint64_t offset, std::int64_t length, std::string& text,
                 bool whole = false) const;

  // Fills `buffer` with the file's first `length` bytes; a file too short for its header is
  // corrupt (dbf_exception).
  void read_header(void* buffer, std::size_t length) const;
  // The four bytes at `offset` of a memo's stored length; false (the memo then empty) when
  // they lie past the file's end.
  bool read_length_word(std::uint64_t offset, unsigned char (&word)[4]) const;
  // A memo that runs from `start` to its `terminator` byte; empty when it starts past the end.
  void read_marked(std::uint64_t start, char terminator, std::string& text) const;
  // A 32-bit little-endian word, as dBase headers and block numbers hold them.
  static std::uint32_t little_endian(const unsigned char* bytes);

  std::uint64_t size_ = 0;

 private:
  // Reads through a window of the file kept from the last read. Memos read in file order
  // (the usual case) then cost one system call for many; the window grows while reads follow
  // on from it and falls back to its smallest size when they jump. Writable files read
  // directly.
  void read_ahead(std::uint64_t offset, void* buffer, std::size_t length) const;

  static constexpr std::size_t k_min_ahead = 4096;
  static constexpr std::size_t k_max_ahead = 128 * 1024;
  bool read_only_;
  mutable std::vector<char> ahead_;
  mutable std::uint64_t ahead_start_ = 0;
  mutable std::size_t ahead_size_ = 0;  // bytes of the window that hold file content
  mutable std::size_t ahead_want_ = k_min_ahead;
};

// The base rule of a memo reference: the first 10 bytes of the field as one decimal number,
// leading blanks allowed; anything else gives 0.
std::uint32_t dbf_decimal_block_number(const char* field, std::size_t width);
