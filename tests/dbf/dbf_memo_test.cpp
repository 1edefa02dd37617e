// The memo readers and the old-format writer, on memo files made here.
#include <gtest/gtest.h>

#include "dbf/dbf_exception.h"
#include "dbf/dbt_memo_file.h"
#include "dbf/fpt_memo_file.h"
#include "dbf/old_memo_file.h"
#include "dbf/smt_memo_file.h"
#include "dbf_test_util.h"
#include "tk/tk_test_catch.h"

TEST(DbfMemo, OldFormatBlocksAndReferences) {
  dbf_temp_dir dir;
  std::string dbt(6144, '\0');
  dbf_put_le(dbt, 0, 14, 4);
  dbt += std::string("twelve\0x", 8) + "\x1A" + "after";
  tk_write_file(dir.file("m.dbt"), dbt);
  old_memo_file memo(dir.file("m.dbt"), dbf_memo_file::k_mode_read);
  EXPECT_EQ(memo.get_block_number("          ", 10), 0u);
  EXPECT_EQ(memo.get_block_number("        12", 10), 12u);
  EXPECT_EQ(memo.get_block_number("  -3      ", 10), 0u);
  EXPECT_EQ(memo.get_block_number("12", 2), 12u);  // a narrow field reads only its own bytes
  std::string text = "stale";
  memo.read_memo(12, text);
  EXPECT_EQ(text, "twelve");  // up to 0x1A, and the first 0 byte ends it earlier
  memo.read_memo(13, text);
  EXPECT_EQ(text, "");  // past the end
  memo.read_memo(0xFFFFFFFF, text);
  EXPECT_EQ(text, "");

  tk_write_file(dir.file("zero.dbt"), std::string(512, '\0'));
  EXPECT_EQ(tk_message_of([&] { old_memo_file m(dir.file("zero.dbt"), 0); }),
            "Failed to read MEMO field");
  tk_write_file(dir.file("short.dbt"), "\x01");
  EXPECT_EQ(tk_message_of([&] { old_memo_file m(dir.file("short.dbt"), 0); }),
            "Failed to read MEMO field");
}

TEST(DbfMemo, OldFormatWritingUsesWholeBlocks) {
  dbf_temp_dir dir;
  { old_memo_file created(dir.file("w.dbt"), dbf_memo_file::k_mode_create); }
  const std::string raw = tk_read_file(dir.file("w.dbt"));
  ASSERT_GE(raw.size(), 17u);
  EXPECT_EQ(raw[0], 1);
  EXPECT_EQ(raw[16], 3);
  {
    old_memo_file memo(dir.file("w.dbt"), dbf_memo_file::k_mode_write);
    memo.write_memo(memo.next_block(), std::string(1022, 'a'));
    EXPECT_EQ(memo.next_block(), 3u);
    memo.write_memo(memo.next_block(), std::string(1023, 'b'));
    EXPECT_EQ(memo.next_block(), 6u);
    memo.write_memo(memo.next_block(), "");
    EXPECT_EQ(memo.next_block(), 6u);
  }
  old_memo_file reread(dir.file("w.dbt"), dbf_memo_file::k_mode_read);
  EXPECT_EQ(reread.next_block(), 6u);
  std::string text;
  reread.read_memo(1, text);
  EXPECT_EQ(text, std::string(1022, 'a'));
  reread.read_memo(3, text);
  EXPECT_EQ(text, std::string(1023, 'b'));
}

TEST(DbfMemo, FoxProLengthsAndBlockNumbers) {
  dbf_temp_dir dir;
  std::string fpt(600, '\0');
  dbf_put_be(fpt, 6, 64, 2);
  dbf_put_be(fpt, 324, 5, 4);  // block 5
  fpt.replace(328, 5, "hello");
  dbf_put_be(fpt, 452, 0, 4);     // block 7: length 0
  dbf_put_be(fpt, 516, 1000, 4);  // block 8: length beyond the file
  tk_write_file(dir.file("m.fpt"), fpt);

  fpt_memo_file vfp(dir.file("m.fpt"), 0, dbf_memo_type::memo_vfp);
  EXPECT_EQ(vfp.block_size(), 64u);
  EXPECT_EQ(vfp.get_block_number("\x05\x00\x00\x00", 4), 5u);
  std::string text;
  vfp.read_memo(5, text);
  EXPECT_EQ(text, "hello");
  vfp.read_memo(7, text);
  EXPECT_EQ(text, "");
  vfp.read_memo(8, text);
  EXPECT_EQ(text, "");
  vfp.read_memo(1000, text);
  EXPECT_EQ(text, "");

  fpt_memo_file fox(dir.file("m.fpt"), 0, dbf_memo_type::memo_fpt);
  EXPECT_EQ(fox.get_block_number("         5", 10), 5u);

  tk_write_file(dir.file("short.fpt"), "1234567");
  EXPECT_EQ(
      tk_message_of([&] { fpt_memo_file m(dir.file("short.fpt"), 0, dbf_memo_type::memo_fpt); }),
      "Memo file is corrupted");
  tk_write_file(dir.file("zero.fpt"), std::string(512, '\0'));
  EXPECT_EQ(
      tk_message_of([&] { fpt_memo_file m(dir.file("zero.fpt"), 0, dbf_memo_type::memo_fpt); }),
      "Memo file is corrupted");
}

TEST(DbfMemo, DBaseFourStoredLengths) {
  dbf_temp_dir dir;
  std::string dbt(512 * 4, '\0');
  dbf_put_le(dbt, 20, 512, 2);
  dbf_put_le(dbt, 512 + 4, 8 + 3, 4);
  dbt.replace(512 + 8, 4, "abcd");
  dbf_put_le(dbt, 1024 + 4, 8, 4);
  dbf_put_le(dbt, 1536 + 4, 7, 4);
  tk_write_file(dir.file("m.dbt"), dbt);
  dbt_memo_file memo(dir.file("m.dbt"), 0);
  std::string text;
  memo.read_memo(1, text);
  EXPECT_EQ(text, "abc");
  memo.read_memo(2, text);
  EXPECT_EQ(text, "");
  memo.read_memo(3, text);
  EXPECT_EQ(text, "");
  dbf_put_le(dbt, 512 + 4, 0x7FFFFFF0, 4);
  tk_write_file(dir.file("big.dbt"), dbt);
  dbt_memo_file big(dir.file("big.dbt"), 0);
  big.read_memo(1, text);
  EXPECT_EQ(text, "");
  // A binary value of dBase level 7 carries its own header (type word, length) in the block.
  std::string bytes;
  dbf_put_le(dbt, 1024 + 4, 8 + 8 + 3, 4);
  dbf_put_le(dbt, 1024 + 8, 0x01000001, 4);
  dbf_put_le(dbt, 1024 + 12, 3, 4);
  dbt.replace(1024 + 16, 3, "GIF");
  dbf_put_le(dbt, 1536 + 4, 8 + 9, 4);  // 9 bytes whose second word is no length of the rest
  dbt.replace(1536 + 8, 9, std::string("abcd\x07\0\0\0z", 9));
  tk_write_file(dir.file("bin.dbt"), dbt);
  dbt_memo_file binary(dir.file("bin.dbt"), 0);
  binary.read_memo_bytes(2, bytes);
  EXPECT_EQ(bytes, "GIF");
  binary.read_memo_bytes(3, bytes);
  EXPECT_EQ(bytes, std::string("abcd\x07\0\0\0z", 9));
  tk_write_file(dir.file("short.dbt"), std::string(23, '\0'));
  EXPECT_EQ(tk_message_of([&] { dbt_memo_file m(dir.file("short.dbt"), 0); }),
            "Memo file is corrupted");
}

TEST(DbfMemo, SmtReferencesAndZeroEnds) {
  dbf_temp_dir dir;
  std::string smt(512, '\0');
  dbf_put_le(smt, 4, 32, 4);
  smt += std::string("memo text\0rest", 14);
  tk_write_file(dir.file("m.smt"), smt);
  smt_memo_file memo(dir.file("m.smt"), 0);
  EXPECT_EQ(memo.get_block_number("          ", 10), 0u);
  const std::string field = std::string("      ") + std::string("\x10\x00\x00\x00", 4);
  EXPECT_EQ(memo.get_block_number(field.data(), 10), 16u);
  std::string text;
  memo.read_memo(16, text);
  EXPECT_EQ(text, "memo text");
  memo.read_memo(100, text);
  EXPECT_EQ(text, "");
}
