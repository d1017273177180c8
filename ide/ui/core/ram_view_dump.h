// The RAM view's dump over one host image, without any widget: the line
// texts, the caret and its column rules, nibble editing, the loaded and dirty
// block maps, the bytes marked red after a halt, and the block reads and
// write-backs through the creator's callbacks.
//
// A line shows 16 bytes: the offset in 4 hex digits and a blank (columns
// 0-4), each byte as two hex digits and a blank (byte j at columns 5 + 3j and
// 6 + 3j), then 16 characters from column 53 (0x21..0x7E as themselves, else
// '.'). Blocks are 64 bytes; block b's bit is bit b % 8 of map byte b / 8.
//
// Every access stays inside the image: a size that is not a multiple of 64
// is cut down to one (the block callbacks always move 64 bytes), and a caret
// outside the hex columns or past the last line edits nothing.
//
// A dirty block holds edits the target has not seen yet, so it is never read
// over: its host bytes stay until it has been written back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vx930 {

class RamDump {
public:
  static constexpr int kLineBytes = 16;
  static constexpr int kBlockBytes = 64;
  static constexpr int kHexColumn = 5;  // first digit of byte 0
  static constexpr int kLastPairColumn = 50;  // first digit of byte 15
  static constexpr int kLastHexColumn = 52;  // the blank after byte 15
  static constexpr int kAsciiColumn = 53;
  static constexpr int kLineLength = 69;
  static constexpr int kWriteTries = 3;

  using ReadBlock = std::function<bool(uint8_t* buffer, int blockStart)>;
  using WriteBlock = std::function<bool(const uint8_t* buffer, int blockStart)>;

  RamDump(ReadBlock read, WriteBlock write);

  // Binds the image (kept by the creator) and shows its bytes as they are;
  // no block is loaded or dirty, nothing is red, the caret is at column 5 of
  // line 0.
  void Attach(uint8_t* image, int size);

  int Size() const { return size_; }
  int LineCount() const { return size_ / kLineBytes; }
  int BlockCount() const { return size_ / kBlockBytes; }
  // The text of one line; "" for a line that does not exist.
  std::string LineText(int line) const;
  // Every line, each ended by '\n'.
  std::string Text() const;
  // The value the text shows for the byte at offset.
  uint8_t Shown(int offset) const;

  // Red marks: pairs that changed on the target at the last halt.
  bool IsRed(int offset) const;
  bool RedMarks() const { return redCount_ > 0; }

  const std::vector<uint8_t>& LoadedMap() const { return loaded_; }
  const std::vector<uint8_t>& DirtyMap() const { return dirty_; }
  bool IsLoaded(int block) const { return TestBit(loaded_, block); }
  bool IsDirty(int block) const { return TestBit(dirty_, block); }
  bool AnyDirty() const;
  void ClearLoaded();
  // The creator changed the byte at offset in the image itself.
  void MarkDirty(int offset);
  // Reads the block of offset unless it is loaded or dirty, so that an edit
  // the creator makes there is written back with the target's other bytes of
  // the block, not stale ones. False when that read failed.
  bool LoadForEdit(int offset);

  // Shows the 16 bytes of the line at lineOffset (rounded down to a line
  // start) as the image now holds them; each pair that differs from what was
  // shown is marked red. True when one did.
  bool RedrawLine(int lineOffset);

  // The blocks that lines firstLine .. firstLine + pageLines - 1 touch, with
  // a block to spare below, as block starts.
  std::vector<int> WindowBlocks(int firstLine, int pageLines) const;
  // Reads every block of the window that is neither loaded nor dirty and
  // shows it; a new block clears every red mark. False at the first failed
  // read, which ends the reload.
  bool ReloadVisible(int firstLine, int pageLines);
  // After a halt: clears the red marks, then reads the window's blocks as
  // ReloadVisible does and marks the bytes that changed red.
  bool ReloadAfterStop(int firstLine, int pageLines);
  // Writes every dirty block in offset order, up to three tries each; a
  // written block is clean. Every dirty block is tried; false when one
  // stayed dirty.
  bool WriteBack();

  struct Caret {
    int line = 0;
    int column = kHexColumn;
  };
  enum class CaretKey { Left, Right, Up, Down, PageUp, PageDown, Home, End, DocumentHome, DocumentEnd, Other };

  Caret GetCaret() const { return caret_; }
  // Puts the caret anywhere on the text (clamped to it), as a click does.
  void SetCaret(int line, int column);
  // The key's own caret move over the text, then the dump's rule: Home to
  // column 5, End to column 50, left of column 5 to column 50 of the line
  // above, right of column 52 to column 5 of the line below (staying on the
  // first or last line).
  void MoveCaret(CaretKey key, int pageLines);
  // After a click: the address columns snap to column 5, the ASCII columns
  // to column 50.
  void AfterClick();

  enum class EditResult { Edited, Ignored, ReadFailed };
  // Types a hex digit (0..15) at the caret: the high or low nibble of the
  // byte under it (the blank after a pair counts as the next pair), then the
  // caret moves to the next digit, from the last pair to column 5 of the next
  // line (of the same line on the last line). A block that was never read is
  // read first, so that writing it back cannot put stale bytes on the
  // target; when that read fails nothing is edited.
  EditResult TypeDigit(int digit);

private:
  static bool TestBit(const std::vector<uint8_t>& map, int block);
  static void SetBit(std::vector<uint8_t>& map, int block, bool on);
  bool ReadInto(int block);
  void ShowBlock(int block);
  // Reads and shows a block that is neither loaded nor dirty (a new block
  // clears every red mark); true when there was nothing to read.
  bool LoadBlock(int block);
  void ClearRed();
  void SetRed(int offset, bool on);
  bool NeedsRead(int block) const { return !IsLoaded(block) && !IsDirty(block); }

  ReadBlock read_;
  WriteBlock write_;
  uint8_t* image_ = nullptr;
  int size_ = 0;
  std::vector<uint8_t> shown_;
  std::vector<uint8_t> loaded_;
  std::vector<uint8_t> dirty_;
  std::vector<bool> red_;
  int redCount_ = 0;
  Caret caret_;
};

}  // namespace vx930
