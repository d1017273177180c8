// The RAM view's dump without widgets: line texts, block maps, nibble edits
// at every column, block reads and write-backs through the callbacks, and
// the changed-byte marks of a halt.
#include "ide/ui/core/ram_view_dump.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <vector>

namespace vx930::testing {
namespace {

using CaretKey = RamDump::CaretKey;
using EditResult = RamDump::EditResult;

// A target memory behind the two block callbacks, recording each call.
struct FakeTarget {
  explicit FakeTarget(int size) : memory(static_cast<std::size_t>(size), 0) {}
  std::vector<uint8_t> memory;
  std::vector<int> reads;
  std::vector<int> writes;
  bool readFails = false;
  int writeFailures = 0;  // the next n writes fail
  std::vector<int> failWritesTo;  // block starts that never take a write

  RamDump::ReadBlock Reader() {
    return [this](uint8_t* buffer, int start) {
      reads.push_back(start);
      if (readFails) return false;
      std::copy(memory.begin() + start, memory.begin() + start + 64, buffer);
      return true;
    };
  }
  RamDump::WriteBlock Writer() {
    return [this](const uint8_t* buffer, int start) {
      writes.push_back(start);
      if (writeFailures > 0) {
        --writeFailures;
        return false;
      }
      if (std::find(failWritesTo.begin(), failWritesTo.end(), start) != failWritesTo.end()) return false;
      std::copy(buffer, buffer + 64, memory.begin() + start);
      return true;
    };
  }
};

class RamDumpTest : public ::testing::Test {
protected:
  explicit RamDumpTest(int size = 256)
      : target(size), image(static_cast<std::size_t>(size), 0), dump(target.Reader(), target.Writer()) {}
  void Attach() { dump.Attach(image.data(), static_cast<int>(image.size())); }
  void Type(const std::string& digits) {
    for (char ch : digits) {
      const int d = ch <= '9' ? ch - '0' : ch - 'A' + 10;
      ASSERT_EQ(dump.TypeDigit(d), EditResult::Edited) << ch;
    }
  }

  FakeTarget target;
  std::vector<uint8_t> image;
  RamDump dump;
};

class RamDump1kTest : public RamDumpTest {
protected:
  RamDump1kTest() : RamDumpTest(1024) {}
};

TEST_F(RamDumpTest, LineTextShowsOffsetPairsAndPrintableCharacters) {
  std::iota(image.begin(), image.end(), 0);
  image[0x20] = 0x20;  // a blank is not printable here
  image[0x21] = 0x21;
  image[0x2F] = 0x7E;
  image[0x7F] = 0x7F;
  Attach();
  EXPECT_EQ(dump.LineCount(), 16);
  EXPECT_EQ(dump.LineText(0), "0000 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ................");
  EXPECT_EQ(dump.LineText(2), "0020 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 7E .!\"#$%&'()*+,-.~");
  EXPECT_EQ(dump.LineText(7), "0070 70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F pqrstuvwxyz{|}~.");
  EXPECT_EQ(dump.LineText(15), "00F0 F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF ................");
  EXPECT_EQ(dump.LineText(0).size(), 69u);
  EXPECT_EQ(dump.LineText(16), "");
  EXPECT_EQ(dump.LineText(-1), "");
  EXPECT_EQ(dump.Text().size(), 16u * 70u);
}

TEST_F(RamDump1kTest, MapsHoldOneBitPerBlockInTwoBytesForOneKilobyte) {
  Attach();
  EXPECT_EQ(dump.LineCount(), 64);
  EXPECT_EQ(dump.LineText(63).substr(0, 5), "03F0 ");
  ASSERT_EQ(dump.LoadedMap().size(), 2u);
  ASSERT_EQ(dump.DirtyMap().size(), 2u);
  dump.MarkDirty(0);
  dump.MarkDirty(64 * 9 + 5);  // block 9: bit 1 of byte 1
  dump.MarkDirty(1023);  // block 15: bit 7 of byte 1
  dump.MarkDirty(1024);  // outside: nothing
  dump.MarkDirty(-1);
  EXPECT_EQ(dump.DirtyMap(), (std::vector<uint8_t>{0x01, 0x82}));
  EXPECT_TRUE(dump.IsDirty(9));
  EXPECT_FALSE(dump.IsDirty(16));
  ASSERT_TRUE(dump.ReloadVisible(0, 20));  // lines 0..19 and one block to spare: blocks 0..5
  EXPECT_EQ(dump.LoadedMap(), (std::vector<uint8_t>{0x3E, 0x00}));  // block 0 is dirty: not read
  dump.ClearLoaded();
  EXPECT_EQ(dump.LoadedMap(), (std::vector<uint8_t>{0x00, 0x00}));
  EXPECT_EQ(dump.DirtyMap(), (std::vector<uint8_t>{0x01, 0x82}));
}

TEST_F(RamDumpTest, WindowRunsFromTheFirstLinesBlockToOneBlockPastThePage) {
  Attach();
  EXPECT_EQ(dump.WindowBlocks(0, 14), (std::vector<int>{0, 64, 128, 192}));
  EXPECT_EQ(dump.WindowBlocks(0, 4), (std::vector<int>{0, 64}));
  EXPECT_EQ(dump.WindowBlocks(5, 2), (std::vector<int>{64}));  // offsets 0x50..0x6F, end (7*16+64)&~63 = 128
  EXPECT_EQ(dump.WindowBlocks(12, 10), (std::vector<int>{192}));  // capped at the image
  EXPECT_EQ(dump.WindowBlocks(15, 1), (std::vector<int>{192}));
}

TEST_F(RamDumpTest, ReloadVisibleReadsEachBlockOnceBetweenClears) {
  std::iota(target.memory.begin(), target.memory.end(), 0x40);
  Attach();
  ASSERT_TRUE(dump.ReloadVisible(0, 5));
  EXPECT_EQ(target.reads, (std::vector<int>{0, 64}));
  EXPECT_EQ(image[70], target.memory[70]);
  EXPECT_EQ(dump.Shown(70), target.memory[70]);
  EXPECT_EQ(dump.LineText(4).substr(0, 8), "0040 80 ");
  ASSERT_TRUE(dump.ReloadVisible(2, 5));
  EXPECT_EQ(target.reads, (std::vector<int>{0, 64}));  // already loaded
  ASSERT_TRUE(dump.ReloadVisible(10, 5));
  EXPECT_EQ(target.reads, (std::vector<int>{0, 64, 128, 192}));
  dump.ClearLoaded();
  ASSERT_TRUE(dump.ReloadVisible(0, 1));
  EXPECT_EQ(target.reads, (std::vector<int>{0, 64, 128, 192, 0}));
}

TEST_F(RamDumpTest, FailedReadEndsTheReloadAndLeavesTheRestUnloaded) {
  Attach();
  target.readFails = true;
  EXPECT_FALSE(dump.ReloadVisible(0, 14));
  EXPECT_EQ(target.reads, (std::vector<int>{0}));
  EXPECT_EQ(dump.LoadedMap()[0], 0);
  target.readFails = false;
  EXPECT_TRUE(dump.ReloadVisible(0, 14));  // the next scroll tries again
  EXPECT_EQ(dump.LoadedMap()[0], 0x0F);
}

// Typing one digit at each column of a line: which nibble of which byte, and
// where the caret goes.
TEST_F(RamDumpTest, EveryColumnEditsTheNibbleUnderItOrNothing) {
  struct Case {
    int column;
    int byte;  // -1: nothing edited
    bool high;
    int nextColumn;
    int nextLine;
  };
  std::vector<Case> cases;
  for (int column = 0; column <= 69; ++column) {
    Case c{column, -1, false, column, 1};
    if (column >= 5 && column <= 52) {
      int at = column;
      if ((at - 5) % 3 == 2) ++at;  // the blank after a pair is the next pair
      if (at <= 52) {
        c.byte = 16 + (at - 5) / 3;
        c.high = (at - 5) % 3 == 0;
        c.nextColumn = c.high ? at + 1 : at + 2;
        if (c.nextColumn > 52) {
          c.nextColumn = 5;
          c.nextLine = 2;
        }
      }
    }
    cases.push_back(c);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "column " << c.column);
    std::fill(image.begin(), image.end(), 0x33);
    std::fill(target.memory.begin(), target.memory.end(), 0x33);
    Attach();
    ASSERT_TRUE(dump.ReloadVisible(0, 16));
    dump.SetCaret(1, c.column);
    const EditResult r = dump.TypeDigit(0xC);
    if (c.byte < 0) {
      EXPECT_EQ(r, EditResult::Ignored);
      EXPECT_FALSE(dump.AnyDirty());
      EXPECT_EQ(dump.GetCaret().column, c.column);
      EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](uint8_t b) { return b == 0x33; }));
      continue;
    }
    ASSERT_EQ(r, EditResult::Edited);
    for (int i = 0; i < 256; ++i) {
      const uint8_t expected = i != c.byte ? 0x33 : c.high ? 0xC3 : 0x3C;
      ASSERT_EQ(image[static_cast<std::size_t>(i)], expected) << "byte " << i;
      ASSERT_EQ(dump.Shown(i), expected) << "byte " << i;
    }
    EXPECT_EQ(dump.GetCaret().column, c.nextColumn);
    EXPECT_EQ(dump.GetCaret().line, c.nextLine);
    EXPECT_EQ(dump.DirtyMap()[0], 0x01);
  }
}

TEST_F(RamDumpTest, TypingA5AtLineOneColumnFiveEditsByteSixteen) {
  Attach();
  ASSERT_TRUE(dump.ReloadVisible(0, 16));
  dump.SetCaret(1, 5);
  Type("A");
  EXPECT_EQ(dump.GetCaret().column, 6);
  Type("5");
  EXPECT_EQ(image[16], 0xA5);
  EXPECT_EQ(dump.LineText(1).substr(0, 8), "0010 A5 ");
  EXPECT_EQ(dump.LineText(1)[53], '.');
  EXPECT_EQ(dump.GetCaret().line, 1);
  EXPECT_EQ(dump.GetCaret().column, 8);
  EXPECT_EQ(dump.DirtyMap()[0], 0x01);
  EXPECT_TRUE(dump.IsDirty(0));
  EXPECT_FALSE(dump.IsRed(16));
}

TEST_F(RamDumpTest, TypingTheLastByteOfTheImageWrapsOnTheSameLine) {
  Attach();
  ASSERT_TRUE(dump.ReloadVisible(12, 4));
  dump.SetCaret(15, 50);
  Type("4");
  EXPECT_EQ(dump.GetCaret().column, 51);
  Type("1");
  EXPECT_EQ(image[255], 0x41);
  EXPECT_EQ(dump.LineText(15).substr(50, 2), "41");
  EXPECT_EQ(dump.LineText(15)[68], 'A');
  EXPECT_EQ(dump.GetCaret().line, 15);
  EXPECT_EQ(dump.GetCaret().column, 5);
  EXPECT_EQ(dump.DirtyMap()[0], 0x08);
}

TEST_F(RamDumpTest, CaretPastTheTextCannotEditOutsideTheImage) {
  Attach();
  ASSERT_TRUE(dump.ReloadVisible(0, 16));
  dump.SetCaret(40, 100);  // clamped to the last line and its end
  EXPECT_EQ(dump.GetCaret().line, 15);
  EXPECT_EQ(dump.GetCaret().column, 69);
  EXPECT_EQ(dump.TypeDigit(1), EditResult::Ignored);
  EXPECT_EQ(dump.TypeDigit(16), EditResult::Ignored);
  EXPECT_EQ(dump.TypeDigit(-1), EditResult::Ignored);
  EXPECT_FALSE(dump.AnyDirty());
}

TEST(RamDumpSize, ImageSizesOutsideWholeBlocksAreCutSoNoCallbackRunsPastTheImage) {
  struct Case {
    int size;
    int used;
  };
  for (const Case c : {Case{256, 256}, Case{100, 64}, Case{63, 0}, Case{0, 0}, Case{-64, 0}}) {
    SCOPED_TRACE(c.size);
    std::vector<int> reads;
    std::vector<uint8_t> image(static_cast<std::size_t>(std::max(c.size, 0)) + 1, 0);
    RamDump dump(
        [&](uint8_t*, int start) {
          reads.push_back(start);
          return true;
        },
        [](const uint8_t*, int) { return true; });
    dump.Attach(image.data(), c.size);
    EXPECT_EQ(dump.Size(), c.used);
    EXPECT_TRUE(dump.ReloadVisible(0, 100));
    for (int start : reads) EXPECT_LE(start + 64, c.used);
    dump.SetCaret(0, 5);
    EXPECT_EQ(dump.TypeDigit(7) == EditResult::Edited, c.used > 0);
  }
  RamDump none(nullptr, nullptr);
  none.Attach(nullptr, 256);
  EXPECT_EQ(none.Size(), 0);
  EXPECT_TRUE(none.WriteBack());
}

TEST_F(RamDumpTest, CaretKeysFollowTheColumnRule) {
  struct Case {
    const char* name;
    int line, column;
    CaretKey key;
    int wantLine, wantColumn;
  };
  const Case cases[] = {
      {"left off the first pair goes up", 3, 5, CaretKey::Left, 2, 50},
      {"left on line 0 stays there", 0, 5, CaretKey::Left, 0, 50},
      {"left inside the pairs", 3, 9, CaretKey::Left, 3, 8},
      {"right onto the last blank", 3, 51, CaretKey::Right, 3, 52},
      {"right off the pairs goes down", 3, 52, CaretKey::Right, 4, 5},
      {"right on the last line stays there", 15, 52, CaretKey::Right, 15, 5},
      {"home", 3, 30, CaretKey::Home, 3, 5},
      {"end", 3, 30, CaretKey::End, 3, 50},
      {"up keeps the column", 3, 30, CaretKey::Up, 2, 30},
      {"down on the last line", 15, 30, CaretKey::Down, 15, 30},
      {"page down by a page less one", 0, 8, CaretKey::PageDown, 9, 8},
      {"page up stops at the top", 4, 8, CaretKey::PageUp, 0, 8},
      {"ctrl+home", 9, 30, CaretKey::DocumentHome, 0, 5},
      {"ctrl+end", 2, 30, CaretKey::DocumentEnd, 15, 50},
      {"other keys only apply the rule", 3, 60, CaretKey::Other, 4, 5},
  };
  Attach();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dump.SetCaret(c.line, c.column);
    dump.MoveCaret(c.key, 10);
    EXPECT_EQ(dump.GetCaret().line, c.wantLine);
    EXPECT_EQ(dump.GetCaret().column, c.wantColumn);
  }
}

TEST_F(RamDumpTest, ClicksInTheAddressOrAsciiColumnsSnapToThePairs) {
  Attach();
  const std::array<std::array<int, 2>, 6> cases{{{0, 5}, {4, 5}, {5, 5}, {30, 30}, {53, 50}, {69, 50}}};
  for (const auto& [column, want] : cases) {
    dump.SetCaret(2, column);
    dump.AfterClick();
    EXPECT_EQ(dump.GetCaret().column, want) << column;
  }
}

TEST_F(RamDumpTest, AHaltMarksOnlyTheChangedPairsAndANewBlockClearsTheMarks) {
  std::iota(target.memory.begin(), target.memory.end(), 0);
  Attach();
  ASSERT_TRUE(dump.ReloadVisible(0, 4));  // blocks 0 and 1
  // The run: the view's blocks will be read again after the halt.
  ASSERT_TRUE(dump.WriteBack());
  dump.ClearLoaded();
  target.memory[3] = 0xEE;
  target.memory[70] = 0x11;
  target.memory[200] = 0x99;  // block 3: outside the window
  target.reads.clear();
  ASSERT_TRUE(dump.ReloadAfterStop(0, 4));
  EXPECT_EQ(target.reads, (std::vector<int>{0, 64}));
  for (int i = 0; i < 128; ++i) EXPECT_EQ(dump.IsRed(i), i == 3 || i == 70) << i;
  EXPECT_TRUE(dump.RedMarks());
  EXPECT_EQ(dump.LineText(0).substr(14, 3), "EE ");
  // Scrolling to a block not read yet removes every mark.
  ASSERT_TRUE(dump.ReloadVisible(12, 4));
  EXPECT_FALSE(dump.RedMarks());
  EXPECT_FALSE(dump.IsRed(3));
  EXPECT_EQ(dump.Shown(200), 0x99);
}

TEST_F(RamDumpTest, NextHaltClearsTheMarksOfTheLastOne) {
  Attach();
  ASSERT_TRUE(dump.ReloadVisible(0, 16));
  dump.ClearLoaded();
  target.memory[5] = 1;
  ASSERT_TRUE(dump.ReloadAfterStop(0, 16));
  EXPECT_TRUE(dump.IsRed(5));
  dump.ClearLoaded();
  ASSERT_TRUE(dump.ReloadAfterStop(0, 16));
  EXPECT_FALSE(dump.RedMarks());
}

TEST_F(RamDumpTest, RedrawLineShowsTheCreatorsChangeInRedOnlyWhereItDiffers) {
  Attach();
  image[0x35] = 0x77;
  EXPECT_TRUE(dump.RedrawLine(0x30));
  EXPECT_TRUE(dump.IsRed(0x35));
  EXPECT_FALSE(dump.IsRed(0x34));
  EXPECT_EQ(dump.LineText(3).substr(5 + 3 * 5, 2), "77");
  EXPECT_FALSE(dump.RedrawLine(0x30));  // nothing differs now
  EXPECT_FALSE(dump.RedrawLine(256));
  EXPECT_FALSE(dump.RedrawLine(-16));
}

TEST_F(RamDumpTest, WriteBackSendsDirtyBlocksInOffsetOrderWithThreeTriesEach) {
  Attach();
  ASSERT_TRUE(dump.ReloadVisible(0, 16));
  dump.MarkDirty(200);
  dump.MarkDirty(10);
  dump.MarkDirty(130);
  target.writeFailures = 2;  // block 0 succeeds on its third try
  target.failWritesTo = {128};
  EXPECT_FALSE(dump.WriteBack());
  EXPECT_EQ(target.writes, (std::vector<int>{0, 0, 0, 128, 128, 128, 192}));
  EXPECT_EQ(dump.DirtyMap()[0], 0x04);  // only the failed block stays dirty
  target.failWritesTo.clear();
  target.writes.clear();
  EXPECT_TRUE(dump.WriteBack());
  EXPECT_EQ(target.writes, (std::vector<int>{128}));
  EXPECT_FALSE(dump.AnyDirty());
  target.writes.clear();
  EXPECT_TRUE(dump.WriteBack());  // nothing dirty: nothing sent
  EXPECT_TRUE(target.writes.empty());
}

TEST_F(RamDumpTest, WrittenBlockCarriesTheEditedBytesAndTheTargetsOwn) {
  std::iota(target.memory.begin(), target.memory.end(), 0);
  Attach();
  ASSERT_TRUE(dump.ReloadVisible(0, 16));
  dump.SetCaret(2, 8);
  Type("FF");
  ASSERT_TRUE(dump.WriteBack());
  std::vector<uint8_t> expected(256);
  std::iota(expected.begin(), expected.end(), 0);
  expected[0x21] = 0xFF;
  EXPECT_EQ(target.memory, expected);
}

// A dirty block holds the only copy of the edit: no reload may read over it.
TEST_F(RamDumpTest, DirtyBlocksAreNeverReadOver) {
  Attach();
  image[0xC5] = 0x5A;  // the creator's edit in a block not shown yet
  dump.MarkDirty(0xC5);
  dump.RedrawLine(0xC0);
  target.memory[0xC5] = 0x00;
  ASSERT_TRUE(dump.ReloadVisible(0, 16));
  EXPECT_EQ(target.reads, (std::vector<int>{0, 64, 128}));
  ASSERT_TRUE(dump.ReloadAfterStop(0, 16));
  EXPECT_EQ(image[0xC5], 0x5A);
  EXPECT_EQ(dump.Shown(0xC5), 0x5A);
  ASSERT_TRUE(dump.WriteBack());
  EXPECT_EQ(target.memory[0xC5], 0x5A);
}

// Writing back a block that was never read would put the host's stale bytes
// over the target's; the edit reads the block first.
TEST_F(RamDump1kTest, EditInABlockNeverReadReadsItFirstOrRefuses) {
  std::fill(target.memory.begin(), target.memory.end(), 0x66);
  Attach();
  dump.SetCaret(40, 5);  // block 10, never read
  target.readFails = true;
  EXPECT_EQ(dump.TypeDigit(1), EditResult::ReadFailed);
  EXPECT_FALSE(dump.AnyDirty());
  EXPECT_EQ(image[640], 0);
  EXPECT_EQ(dump.GetCaret().column, 5);
  target.readFails = false;
  EXPECT_EQ(dump.TypeDigit(1), EditResult::Edited);
  EXPECT_EQ(target.reads, (std::vector<int>{640, 640}));
  EXPECT_EQ(image[640], 0x16);
  EXPECT_EQ(image[641], 0x66);
  ASSERT_TRUE(dump.WriteBack());
  EXPECT_TRUE(
      std::all_of(target.memory.begin() + 641, target.memory.begin() + 704, [](uint8_t b) { return b == 0x66; }));
}

// The creator's edits (command and SFR windows) go through the same rule as
// typing: the block is read before its first edit, never over an edit.
TEST_F(RamDumpTest, LoadForEditReadsANewBlockOnceAndNeverOverAnEdit) {
  std::iota(target.memory.begin(), target.memory.end(), 0);
  Attach();
  target.readFails = true;
  EXPECT_FALSE(dump.LoadForEdit(0xC5));
  EXPECT_FALSE(dump.IsLoaded(3));
  target.readFails = false;
  ASSERT_TRUE(dump.LoadForEdit(0xC5));
  EXPECT_EQ(image[0xC0], 0xC0);
  EXPECT_EQ(dump.Shown(0xFF), 0xFF);
  ASSERT_TRUE(dump.LoadForEdit(0xC6));  // loaded: no second read
  image[0x45] = 0x5A;
  dump.MarkDirty(0x45);
  ASSERT_TRUE(dump.LoadForEdit(0x46));  // dirty: never read over
  EXPECT_EQ(image[0x45], 0x5A);
  EXPECT_EQ(target.reads, (std::vector<int>{0xC0, 0xC0}));
  EXPECT_FALSE(dump.LoadForEdit(256));
  EXPECT_FALSE(dump.LoadForEdit(-1));
}

TEST_F(RamDumpTest, EditingAChangedPairTakesAwayItsMark) {
  Attach();
  ASSERT_TRUE(dump.ReloadVisible(0, 16));
  dump.ClearLoaded();
  target.memory[0] = 0x42;
  ASSERT_TRUE(dump.ReloadAfterStop(0, 16));
  ASSERT_TRUE(dump.IsRed(0));
  dump.SetCaret(0, 5);
  Type("9");
  EXPECT_FALSE(dump.IsRed(0));
  EXPECT_EQ(image[0], 0x92);
}

}  // namespace
}  // namespace vx930::testing
