// The watch window's logic headless: value and address texts by type, which
// bytes a refresh reads and how, and what a variable shows when its bytes
// could not be read.
#include <gtest/gtest.h>

#include <deque>

#include "ide/ui/core/watch_model.h"
#include "platform/messages.h"
#include "tests/ide/ui/core/watch_fakes.h"

namespace vx930::testing {
namespace {

using T = OmfTypeIndex;
using M = MemorySpace;

struct NumberCase {
  T type;
  std::vector<uint8_t> bytes;
  const char* hex;
  const char* decimal;
};

TEST(WatchFormatTest, NumbersByTypeInBothBases) {
  const NumberCase cases[] = {
      {T::tiInt, {0x12, 0x34}, "0x1234", "4660"},
      {T::tiInt, {0xFF, 0xFE}, "0xFFFE", "-2"},
      {T::tiUInt, {0xFF, 0xFE}, "0xFFFE", "65534"},
      {T::tiChar, {0x41}, "0x41 'A'", "65 'A'"},
      {T::tiChar, {0x20}, "0x20", "32"},
      {T::tiChar, {0x21}, "0x21 '!'", "33 '!'"},
      {T::tiChar, {0x7E}, "0x7E '~'", "126 '~'"},
      {T::tiChar, {0x7F}, "0x7F", "127"},
      {T::tiChar, {0x80}, "0x80", "-128"},
      {T::tiUChar, {0x41}, "0x41", "65"},
      {T::tiUChar, {0xFF}, "0xFF", "255"},
      {T::tiLong, {0x80, 0x00, 0x00, 0x01}, "0x80000001", "-2147483647"},
      {T::tiULong, {0xFF, 0xFF, 0xFF, 0xFF}, "0xFFFFFFFF", "4294967295"},
      {T::tiULong, {0x00, 0x01, 0x02, 0x03}, "0x00010203", "66051"},
      // Little-endian floats: b3 is the most significant byte.
      {T::tiFlatLitEdn, {0x00, 0x00, 0xC0, 0x3F}, "0x3FC00000", "1.5"},
      {T::tiDouble, {0xCD, 0xCC, 0xCC, 0x3D}, "0x3DCCCCCD", "0.100000001490116"},
      {T::tiFlatLitEdn, {0x00, 0x00, 0xC0, 0x7F}, "0x7FC00000", "NAN"},
      {T::tiFlatLitEdn, {0x00, 0x00, 0x80, 0xFF}, "0xFF800000", "-INF"},
      // The big-endian float: decimal from b0 first, hex as the word above.
      {T::tiFloatBigEdn, {0x3F, 0xC0, 0x00, 0x00}, "0x0000C03F", "1.5"},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.hex);
    EXPECT_EQ(FormatWatchNumber(c.type, c.bytes.data(), false), c.hex);
    EXPECT_EQ(FormatWatchNumber(c.type, c.bytes.data(), true), c.decimal);
  }
}

TEST(WatchFormatTest, AddressTextAndSizes) {
  EXPECT_EQ(WatchAddressText(M::DATA, 0x30), "D:30H");
  EXPECT_EQ(WatchAddressText(M::XDATA, 0x1234), "X:1234H");
  EXPECT_EQ(WatchAddressText(M::BIT, 0x07), "B:07H");
  EXPECT_EQ(WatchAddressText(M::CODE, 0), "C:00H");
  EXPECT_EQ(WatchAddressText(M::IDATA, 0x80), "I:80H");
  EXPECT_EQ(WatchAddressText(M::NUMBER, 5), "N:05H");
  EXPECT_EQ(WatchAddressText(static_cast<M>(9), 0xABC), "N:ABCH");

  EXPECT_EQ(WatchValueSize(T::tiChar), 1);
  EXPECT_EQ(WatchValueSize(T::tiBit), 1);
  EXPECT_EQ(WatchValueSize(T::tiUInt), 2);
  EXPECT_EQ(WatchValueSize(T::tiFloatBigEdn), 4);
  EXPECT_EQ(WatchValueSize(T::tiVoid), 1);
}

TEST(WatchFormatTest, ProcedureNamesAreSortedWithoutRegardToCase) {
  OmfModule m1, m2;
  OmfProcedure a, b, c;
  a.Name = "delay";
  b.Name = "MAIN";
  c.Name = "Blink";
  m1.Procs = &a;
  a.Next = &b;
  m2.Procs = &c;
  m1.Next = &m2;
  EXPECT_EQ(WatchProcedureNames(&m1), (std::vector<std::string>{"Blink", "delay", "MAIN"}));
  EXPECT_TRUE(WatchProcedureNames(nullptr).empty());
}

class WatchModelTest : public ::testing::Test {
protected:
  WatchModelTest() : messageScope_(messages_) { target_.ice = &ice_; }

  std::string Value(const std::vector<WatchRow>& rows, const std::string& name) {
    for (const WatchRow& r : rows)
      if (r.name == name) return r.value;
    ADD_FAILURE() << "no row " << name;
    return {};
  }

  platform::RecordingMessages messages_;
  platform::ScopedMessages messageScope_;
  ListReadIce ice_;
  FakeWatchTarget target_;
  WatchModel model_{target_};
};

TEST_F(WatchModelTest, EachByteIsReadOnceInAscendingListsOfSixteen) {
  SymbolList globals;
  // 17 distinct internal bytes: 0x30..0x3F and 0x40, with overlaps.
  for (int a = 0x30; a < 0x40; a += 2)
    globals.Add(M::DATA, static_cast<uint16_t>(a), T::tiInt, "i" + std::to_string(a));
  globals.Add(M::IDATA, 0x31, T::tiUChar, "shared").Add(M::DATA, 0x40, T::tiUChar, "last");
  SymbolList locals;
  locals.Add(M::DATA, 0x3F, T::tiUChar, "again");
  model_.Refresh(globals.Head(), locals.Head());

  ASSERT_EQ(ice_.reads.size(), 2u);
  EXPECT_EQ(ice_.reads[0].kind, 'I');
  ASSERT_EQ(ice_.reads[0].addresses.size(), 16u);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(ice_.reads[0].addresses[k], 0x30 + k);
  EXPECT_EQ(ice_.reads[1].addresses, (std::vector<uint16_t>{0x40}));
}

TEST_F(WatchModelTest, IntegersAreBigEndianAndTheBaseOnlyChangesTheText) {
  ice_.iram[0x30] = 0xFF;
  ice_.iram[0x31] = 0xFE;
  SymbolList locals;
  locals.Add(M::DATA, 0x30, T::tiInt, "n");
  model_.Refresh(nullptr, locals.Head());
  EXPECT_EQ(Value(model_.LocalRows(), "n"), "0xFFFE");
  const std::size_t reads = ice_.reads.size();
  model_.SetDecimal(true);
  EXPECT_EQ(Value(model_.LocalRows(), "n"), "-2");
  EXPECT_EQ(ice_.reads.size(), reads) << "switching the base sends no command";
  EXPECT_TRUE(model_.GlobalRows().empty());
}

TEST_F(WatchModelTest, XdataReadsBothExternalRamsAndShowsTheChosenOne) {
  ice_.ram1k[0x100] = 0x11;
  ice_.ram1k[0x101] = 0x22;
  ice_.xram[0x100] = 0xAB;
  ice_.xram[0x101] = 0xCD;
  SymbolList globals;
  globals.Add(M::XDATA, 0x0100, T::tiInt, "x").Add(M::DATA, 0x08, T::tiUChar, "d");
  model_.Refresh(globals.Head(), nullptr);

  ASSERT_EQ(ice_.reads.size(), 3u);
  EXPECT_EQ(ice_.reads[0].kind, 'K');
  EXPECT_EQ(ice_.reads[1].kind, 'X');
  EXPECT_EQ(ice_.reads[2].kind, 'I');
  EXPECT_EQ(ice_.reads[1].addresses, (std::vector<uint16_t>{0x100, 0x101}));
  EXPECT_EQ(Value(model_.GlobalRows(), "x"), "0x1122");
  model_.SetExRAM64k(true);
  EXPECT_EQ(Value(model_.GlobalRows(), "x"), "0xABCD");
  EXPECT_EQ(ice_.reads.size(), 3u);
}

TEST_F(WatchModelTest, ExternalAddressesWrapAtSixteenBits) {
  ice_.xram[0xFFFF] = 0x12;
  ice_.xram[0x0000] = 0x34;
  SymbolList globals;
  globals.Add(M::XDATA, 0xFFFF, T::tiUInt, "edge");
  model_.Refresh(globals.Head(), nullptr);
  model_.SetExRAM64k(true);
  ASSERT_EQ(ice_.reads.size(), 2u);
  EXPECT_EQ(ice_.reads[1].addresses, (std::vector<uint16_t>{0x0000, 0xFFFF}));
  EXPECT_EQ(Value(model_.GlobalRows(), "edge"), "0x1234");
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(WatchModelTest, CodeConstantsComeFromTheImageAndStopAtItsEnd) {
  target_.code[0x1000] = 0x41;
  target_.code[0xFFFD] = 0x11;
  target_.code[0xFFFE] = 0x22;
  target_.code[0xFFFF] = 0x33;
  SymbolList globals;
  globals.Add(M::CODE, 0x1000, T::tiChar, "letter").Add(M::CODE, 0xFFFD, T::tiULong, "top");
  model_.Refresh(globals.Head(), nullptr);
  EXPECT_TRUE(ice_.reads.empty()) << "code is not read from the emulator";
  const auto rows = model_.GlobalRows();
  EXPECT_EQ(Value(rows, "letter"), "0x41 'A'");
  EXPECT_EQ(Value(rows, "top"), "0x11223300");
  for (const auto& [address, count] : target_.codeReads) EXPECT_LE(address + count, kCodeSize);

  target_.hasCode = false;
  EXPECT_EQ(Value(model_.GlobalRows(), "letter"), "0x00");
}

TEST_F(WatchModelTest, BitsComeFromTheBitAreaOrTheSfrImage) {
  ice_.iram[0x21] = 0x08;
  target_.psw = 0x08;
  SymbolList globals;
  globals.Add(M::BIT, 0x0B, T::tiBit, "on")
      .Add(M::BIT, 0x0A, T::tiBit, "off")
      .Add(M::BIT, 0xD3, T::tiBit, "rs0")
      .Add(M::BIT, 0x9B, T::tiBit, "unknownsfr")
      .Add(M::DATA, 0x0B, T::tiBit, "notabit");
  model_.Refresh(globals.Head(), nullptr);
  ASSERT_FALSE(ice_.reads.empty());
  EXPECT_EQ(ice_.reads.back().addresses, (std::vector<uint16_t>{0x0B, 0x21, 0x98, 0xD0}));
  const auto rows = model_.GlobalRows();
  EXPECT_EQ(Value(rows, "on"), "1");
  EXPECT_EQ(Value(rows, "off"), "0");
  EXPECT_EQ(Value(rows, "rs0"), "1");
  EXPECT_EQ(Value(rows, "unknownsfr"), kWatchReadErrorText);
  EXPECT_EQ(Value(rows, "notabit"), "");
}

// Direct addresses from 0x80 on are SFRs (an __sfr declaration lands there):
// their value is the SFR block's, never the indirect RAM at that address.
TEST_F(WatchModelTest, DataFromEightyHexOnIsReadFromTheSfrBlock) {
  ice_.iram[0xD0] = 0x55;
  ice_.iram[0x7F] = 0x12;
  target_.psw = 0x18;
  SymbolList globals;
  globals.Add(M::DATA, 0xD0, T::tiUChar, "pswAlias")
      .Add(M::DATA, 0x9B, T::tiUChar, "noSfr")
      .Add(M::IDATA, 0xD0, T::tiUChar, "indirect")
      .Add(M::DATA, 0x7F, T::tiUChar, "below");
  model_.Refresh(globals.Head(), nullptr);
  ASSERT_EQ(ice_.reads.size(), 1u);
  EXPECT_EQ(ice_.reads[0].addresses, (std::vector<uint16_t>{0x7F, 0xD0})) << "0xD0 for the IDATA one only";
  const auto rows = model_.GlobalRows();
  EXPECT_EQ(Value(rows, "pswAlias"), "0x18");
  EXPECT_EQ(Value(rows, "noSfr"), kWatchReadErrorText);
  EXPECT_EQ(Value(rows, "indirect"), "0x55");
  EXPECT_EQ(Value(rows, "below"), "0x12");
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(WatchModelTest, TypesWithoutAValueShowTheirNameOrTheAddress) {
  SymbolList globals;
  globals.Add(M::CODE, 0x0100, T::tiCodeLabel, "label")
      .Add(M::DATA, 0x30, T::tiVoid, "v")
      .Add(M::DATA, 0x31, T::tiOverFlow, "o")
      .Add(M::XDATA, 0x1234, T::UnTyped, "u");
  model_.Refresh(globals.Head(), nullptr);
  const auto rows = model_.GlobalRows();
  EXPECT_EQ(Value(rows, "label"), "tiCodeLabel");
  EXPECT_EQ(Value(rows, "v"), "tiVoid");
  EXPECT_EQ(Value(rows, "o"), "tiOverFlow");
  EXPECT_EQ(Value(rows, "u"), "X:1234H");
}

TEST_F(WatchModelTest, RowsHoldVariablesInMemorySortedByNameWithoutRegardToCase) {
  SymbolList globals;
  globals.Add(M::DATA, 0x30, T::tiUChar, "beta")
      .Add(M::NUMBER, 0x05, T::tiUChar, "aconst")
      .Add(M::XDATA, 0x10, T::tiUChar, "Alpha")
      .Add(M::BIT, 0x01, T::tiBit, "gamma")
      .Add(M::IDATA, 0x90, T::tiUChar, "ALPHA2");
  model_.Refresh(globals.Head(), nullptr);
  const auto rows = model_.GlobalRows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (WatchRow{"Alpha", "0x00", "X:10H"}));
  EXPECT_EQ(rows[1].name, "ALPHA2");
  EXPECT_EQ(rows[1].address, "I:90H");
  EXPECT_EQ(rows[2].name, "beta");
  EXPECT_EQ(rows[3], (WatchRow{"gamma", "0", "B:01H"}));
}

TEST_F(WatchModelTest, NoLinkReadsNothingAndShowsNoValue) {
  target_.linked = false;
  ice_.iram[0x30] = 0x55;
  ice_.iram[0x24] = 0xFF;
  SymbolList globals;
  globals.Add(M::DATA, 0x30, T::tiUChar, "d");
  globals.Add(M::BIT, 0x21, T::tiBit, "b");
  model_.Refresh(globals.Head(), nullptr);
  EXPECT_TRUE(ice_.reads.empty());
  EXPECT_EQ(Value(model_.GlobalRows(), "d"), kWatchNotReadText) << "a zero would pass for the value";
  EXPECT_EQ(Value(model_.GlobalRows(), "b"), kWatchNotReadText);
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(WatchModelTest, AtAMovxTheExternalRamIsNotRead) {
  target_.atMovx = true;
  ice_.xram[0x10] = 0x77;
  ice_.ram1k[0x10] = 0x66;
  SymbolList globals;
  globals.Add(M::XDATA, 0x10, T::tiUChar, "x");
  model_.Refresh(globals.Head(), nullptr);
  ASSERT_EQ(ice_.reads.size(), 1u);
  EXPECT_EQ(ice_.reads[0].kind, 'K');
  EXPECT_EQ(Value(model_.GlobalRows(), "x"), "0x66");
  model_.SetExRAM64k(true);
  EXPECT_EQ(Value(model_.GlobalRows(), "x"), kWatchNotReadText);
  target_.atMovx = false;
  model_.Refresh(globals.Head(), nullptr);
  EXPECT_EQ(Value(model_.GlobalRows(), "x"), "0x77") << "read at the next halt off the MOVX";
}

TEST_F(WatchModelTest, ARunningTargetIsNotReadAndTheRowsSaySo) {
  target_.running = true;
  target_.code[0x0200] = 0x07;
  SymbolList globals;
  globals.Add(M::DATA, 0x30, T::tiUChar, "d")
      .Add(M::XDATA, 0x10, T::tiInt, "x")
      .Add(M::BIT, 0x01, T::tiBit, "b")
      .Add(M::CODE, 0x0200, T::tiUChar, "k");
  model_.Refresh(globals.Head(), nullptr);
  EXPECT_TRUE(ice_.reads.empty());
  EXPECT_EQ(target_.movxQuestions, 0);
  const auto rows = model_.GlobalRows();
  EXPECT_EQ(Value(rows, "d"), kWatchRunningText);
  EXPECT_EQ(Value(rows, "x"), kWatchRunningText);
  EXPECT_EQ(Value(rows, "b"), kWatchRunningText);
  EXPECT_EQ(Value(rows, "k"), "0x07") << "the code image is the host's own";

  target_.running = false;
  model_.Refresh(globals.Head(), nullptr);
  EXPECT_EQ(Value(model_.GlobalRows(), "d"), "0x00");
}

TEST_F(WatchModelTest, AFailedListReadShowsAnErrorNotAValue) {
  ice_.failKind = 'I';
  ice_.xram[0x10] = 0x42;
  SymbolList globals;
  globals.Add(M::DATA, 0x30, T::tiUChar, "d").Add(M::XDATA, 0x10, T::tiUChar, "x");
  model_.Refresh(globals.Head(), nullptr);
  model_.SetExRAM64k(true);
  const auto rows = model_.GlobalRows();
  EXPECT_EQ(Value(rows, "d"), kWatchReadErrorText);
  EXPECT_EQ(Value(rows, "x"), "0x42") << "the other reads still went";
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(WatchModelTest, AByteMissingFromItsCacheIsReportedAndReadsZero) {
  // A byte-sized variable in the bit space: only its bit's byte was read.
  ice_.iram[0x0B] = 0x99;
  SymbolList globals;
  globals.Add(M::BIT, 0x0B, T::tiUChar, "odd");
  model_.Refresh(globals.Head(), nullptr);
  EXPECT_EQ(Value(model_.GlobalRows(), "odd"), "0x00");
  EXPECT_EQ(messages_.Texts(), (std::vector<std::string>{"Error Debug!! The InRAM element Not found"}));
}

TEST_F(WatchModelTest, DetachDropsTheListsAndTheCaches) {
  SymbolList globals;
  globals.Add(M::DATA, 0x30, T::tiUChar, "d").Add(M::XDATA, 0x10, T::tiUChar, "x");
  model_.Refresh(globals.Head(), globals.Head());
  ASSERT_FALSE(model_.InRAMCache().empty());
  model_.Detach();
  EXPECT_EQ(model_.Globals(), nullptr);
  EXPECT_EQ(model_.Locals(), nullptr);
  EXPECT_TRUE(model_.InRAMCache().empty());
  EXPECT_TRUE(model_.Ex1kCache().empty());
  EXPECT_TRUE(model_.Ex64kCache().empty());
  EXPECT_TRUE(model_.GlobalRows().empty());
}

}  // namespace
}  // namespace vx930::testing
