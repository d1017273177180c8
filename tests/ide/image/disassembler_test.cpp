#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

#include "ide/image/hex_decoder.h"
#include "image_test_util.h"

namespace vx930 {
namespace {

// A full decoder over an erased image, with bytes placed by hand.
class DisassemblerTest : public ::testing::Test {
protected:
  void Put(int32_t address, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) (*image_)[static_cast<std::size_t>(address++)] = b;
  }
  void Symbols(std::initializer_list<test::SymRecord> records) {
    const auto body = test::SymBody(2, records);
    ASSERT_TRUE(decoder_.ReadSymbolBlock(body.data(), static_cast<uint32_t>(body.size())));
  }
  std::string Line(std::size_t n) const { return std::string((*decoder_.Listing())[n]); }

  std::unique_ptr<CodeImage> image_ = std::make_unique<CodeImage>();
  CDecodeHex decoder_{image_.get()};
};

struct LineCase {
  int32_t address;
  std::vector<uint8_t> bytes;
  const char* line;
};

TEST_F(DisassemblerTest, InstructionLines) {
  const LineCase cases[] = {
      {0x0000, {0x02, 0x00, 0x03}, "0000    02 00 03   LJMP   03H"},
      {0x0010, {0x85, 0x30, 0x40}, "0010    85 30 40   MOV    40H,30H"},
      {0x0020, {0x75, 0x81, 0x60}, "0020    75 81 60   MOV    SP,#60H"},
      {0x0020, {0x90, 0x12, 0x34}, "0020    90 12 34   MOV    DPTR,#1234H"},
      {0x0020, {0x90, 0x00, 0x05}, "0020    90 00 05   MOV    DPTR,#0005H"},
      {0x0020, {0xD2, 0x98}, "0020    D2 98      SETB   RI(SCON.0)"},
      {0x0020, {0xC2, 0x0B}, "0020    C2 0B      CLR    21.3H"},
      {0x0020, {0xB2, 0xC3}, "0020    B2 C3      CPL    C0H.3"},
      {0x0020, {0xA0, 0xD7}, "0020    A0 D7      ORL    C,/CY(PSW.7)"},
      {0x0020, {0xB0, 0x7F}, "0020    B0 7F      ANL    C,/2F.7H"},
      {0x0100, {0x80, 0xFE}, "0100    80 FE      SJMP   100H"},
      {0x0000, {0x80, 0x80}, "0000    80 80      SJMP   XXXX"},
      {0xFFF0, {0x80, 0x7F}, "FFF0    80 7F      SJMP   XXXX"},
      {0x0020, {0xA5}, "0020    A5         DB     A5H"},
      {0x0020, {0x00}, "0020    00         NOP    "},
      {0x0020, {0xFF}, "0020    FF         MOV    R7,A"},
      {0x0020, {0x22}, "0020    22         RET    "},
      {0x0020, {0x83}, "0020    83         MOVC   A,@A+PC"},
      {0x0020, {0x73}, "0020    73         JMP    @A+DPTR"},
      {0x0020, {0xF2}, "0020    F2         MOVX   @R0,A"},
      {0x0020, {0x84}, "0020    84         DIV    AB"},
      {0x0100, {0xE1, 0x23}, "0100    E1 23      AJMP   723H"},
      {0x07FE, {0xE1, 0x23}, "07FE    E1 23      AJMP   F23H"},
      {0x0200, {0x20, 0x98, 0xFD}, "0200    20 98 FD   JB     RI(SCON.0),200H"},
      {0x0200, {0xB8, 0x12, 0x10}, "0200    B8 12 10   CJNE   R0,#12H,213H"},
      {0x0200, {0xB5, 0xE0, 0x00}, "0200    B5 E0 00   CJNE   A,ACC,203H"},
      {0x0200, {0xD5, 0x30, 0xFD}, "0200    D5 30 FD   DJNZ   30H,200H"},
      {0x0200, {0x43, 0xC0, 0x05}, "0200    43 C0 05   ORL    C0H,#05H"},
      {0x0200, {0x86, 0xA2}, "0200    86 A2      MOV    PWM1,@R0"},
      {0x0200, {0xA6, 0x05}, "0200    A6 05      MOV    @R0,05H"},
      {0x0200, {0x12, 0xAB, 0xCD}, "0200    12 AB CD   LCALL  ABCDH"},
  };
  for (const LineCase& c : cases) {
    int32_t a = c.address;
    for (uint8_t b : c.bytes) (*image_)[static_cast<std::size_t>(a++)] = b;
    EXPECT_EQ(decoder_.DisasmLine(c.address), c.line);
  }
}

TEST_F(DisassemblerTest, SymbolsNameDirectAndImmediateOperands) {
  Symbols({{"STACK", 0x60}, {"COUNT", 0x30}, {"FIRST", 0x31}, {"SECOND", 0x31}, {"HIGH", 0x90}});
  Put(0x20, {0x75, 0x81, 0x60});
  EXPECT_EQ(decoder_.DisasmLine(0x20), "0020    75 81 60   MOV    SP,#STACK(60H)");
  Put(0x20, {0x25, 0x30});
  EXPECT_EQ(decoder_.DisasmLine(0x20), "0020    25 30      ADD    A,COUNT(30H)");
  Put(0x20, {0xE5, 0x31});
  EXPECT_EQ(decoder_.DisasmLine(0x20), "0020    E5 31      MOV    A,FIRST(31H)");
  // SFR bytes keep their register names; symbols name only 00..7F directly.
  Put(0x20, {0x75, 0x90, 0x31});
  EXPECT_EQ(decoder_.DisasmLine(0x20), "0020    75 90 31   MOV    P1,#FIRST(31H)");
  // Symbols are not labels: a jump to 0x30 prints the number.
  Put(0x20, {0x02, 0x00, 0x30});
  EXPECT_EQ(decoder_.DisasmLine(0x20), "0020    02 00 30   LJMP   30H");

  CDecodeHex lineDecoder;
  lineDecoder.SetImage(image_.get());
  Put(0x20, {0x75, 0x81, 0x60});
  EXPECT_EQ(lineDecoder.DisasmLine(0x20), "0020    75 81 60   MOV    SP,#60H");
}

TEST_F(DisassemblerTest, ByteAndBitAddressTexts) {
  EXPECT_EQ(decoder_.GetDirAdd(0x80), "P0");
  EXPECT_EQ(decoder_.GetDirAdd(0xA1), "ADD");
  EXPECT_EQ(decoder_.GetDirAdd(0xF0), "B");
  EXPECT_EQ(decoder_.GetDirAdd(0xFF), "FFH");
  EXPECT_EQ(decoder_.GetDirAdd(0x7F), "7FH");
  EXPECT_EQ(decoder_.GetDirAdd(0x00), "00H");
  EXPECT_EQ(decoder_.GetBitAdd(0x00), "20.0H");
  EXPECT_EQ(decoder_.GetBitAdd(0x7F), "2F.7H");
  EXPECT_EQ(decoder_.GetBitAdd(0x87), "P0.7");
  EXPECT_EQ(decoder_.GetBitAdd(0x88), "IT0(TCON.0)");
  EXPECT_EQ(decoder_.GetBitAdd(0xAD), "IE.5");
  EXPECT_EQ(decoder_.GetBitAdd(0xC8), "CP/RL2(T2CON.0)");
  EXPECT_EQ(decoder_.GetBitAdd(0xD1), "PSW.1");
  EXPECT_EQ(decoder_.GetBitAdd(0xF7), "B.7");
  // Bits of SFRs the table does not name: the byte, then the bit number.
  EXPECT_EQ(decoder_.GetBitAdd(0xC3), "C0H.3");
  EXPECT_EQ(decoder_.GetBitAdd(0xD8), "D8H.0");
  EXPECT_EQ(decoder_.GetBitAdd(0xEF), "E8H.7");
  EXPECT_EQ(decoder_.GetBitAdd(0xFF), "F8H.7");
}

TEST_F(DisassemblerTest, ListingShowsLabelsAndOverlaps) {
  Put(0x00, {0x02, 0x00, 0x21});  // LJMP 0021H, labelled
  Put(0x20, {0x02, 0x12, 0x34});  // an LJMP whose second byte also starts an instruction
  Symbols({{"INNER", 0x21}});
  decoder_.MarkAllStarts();
  decoder_.MarkInstruction(0x21, 0x12);
  decoder_.BuildLabels();
  decoder_.BuildListing();

  EXPECT_EQ(Line(0), "0000    02 00 21   LJMP   INNER(0021H)");
  const int32_t overlap = decoder_.AddressToLine(0x20);
  EXPECT_EQ(Line(static_cast<std::size_t>(overlap)), "0020    02 ???");
  EXPECT_EQ(Line(static_cast<std::size_t>(overlap) + 1), "INNER:");
  EXPECT_EQ(Line(static_cast<std::size_t>(overlap) + 2), "0021    12 34 FF   LCALL  34FFH");
  EXPECT_EQ(decoder_.LineToAddress(overlap), 0x20);
  EXPECT_EQ(decoder_.LineToAddress(overlap + 1), -1);
  EXPECT_EQ(decoder_.LineToAddress(overlap + 2), 0x21);
  // Each address maps to the line of the instruction that covers it; the
  // label line maps none.
  EXPECT_EQ(decoder_.AddressToLine(0x21), overlap + 2);
  EXPECT_EQ(decoder_.AddressToLine(0x23), overlap + 2);
  EXPECT_EQ(decoder_.AddressToLine(0x01), 0);
  EXPECT_EQ(decoder_.AddressToLine(0x02), 0);
  EXPECT_EQ(decoder_.GetLineCount(), decoder_.Listing()->size());
  for (uint32_t line = 0; line < decoder_.GetLineCount(); ++line) {
    const int32_t a = decoder_.LineToAddress(static_cast<int32_t>(line));
    if (a >= 0) {
      ASSERT_EQ(decoder_.AddressToLine(a), static_cast<int32_t>(line));
    }
  }
}

TEST_F(DisassemblerTest, TheListingCoversTheWholeImage) {
  Put(0x00, {0x90, 0x12, 0x34, 0x74, 0x05});
  decoder_.MarkAllStarts();
  decoder_.BuildListing();
  EXPECT_EQ(decoder_.GetLineCount(), 0x10000u - 3);
  EXPECT_EQ(Line(0), "0000    90 12 34   MOV    DPTR,#1234H");
  EXPECT_EQ(Line(1), "0003    74 05      MOV    A,#05H");
  EXPECT_EQ(Line(2), "0005    FF         MOV    R7,A");
  // The whole text, as the editor gets it: lines joined by line ends.
  const std::string& text = decoder_.Listing()->Text();
  EXPECT_EQ(text.rfind("0000    90 12 34   MOV    DPTR,#1234H\n0003    74 05      MOV    A,#05H\n0005    FF", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 31), "\nFFFF    FF         MOV    R7,A");
  // A rebuild replaces the old listing rather than adding to it.
  decoder_.BuildListing();
  EXPECT_EQ(decoder_.GetLineCount(), 0x10000u - 3);
}

// Instructions whose bytes would run past 0xFFFF show only the bytes there are.
TEST_F(DisassemblerTest, InstructionsAtTheTopNeverReadPastTheImage) {
  Put(0xFFFF, {0x02});
  EXPECT_EQ(decoder_.DisasmLine(0xFFFF), "FFFF    02 ???");
  Put(0xFFFF, {0x80});
  EXPECT_EQ(decoder_.DisasmLine(0xFFFF), "FFFF    80 ???");
  Put(0xFFFE, {0x12, 0x34});
  EXPECT_EQ(decoder_.DisasmLine(0xFFFE), "FFFE    12 34 ???");
  Put(0xFFFE, {0x80, 0xFE});
  EXPECT_EQ(decoder_.DisasmLine(0xFFFE), "FFFE    80 FE      SJMP   FFFEH");
  EXPECT_EQ(decoder_.DecodeOperands("addr16", 3, 0xFFFE), "???");
  // A pattern asking for more bytes than the length gives still stays inside.
  EXPECT_EQ(decoder_.DecodeOperands("#data16", 1, 0xFFFF), "#FFFFH");
  EXPECT_EQ(decoder_.DisasmLine(0x10000), "");

  // In the listing: the last line is cut at the top, nothing past it.
  Put(0xFFFC, {0xFF, 0xFF, 0xFF, 0x02});
  decoder_.MarkAllStarts();
  decoder_.BuildListing();
  const StringList& listing = *decoder_.Listing();
  EXPECT_EQ(listing[listing.size() - 1], "FFFF    02 ???");
  EXPECT_EQ(decoder_.AddressToLine(0xFFFF), static_cast<int32_t>(listing.size()) - 1);
  // An LJMP at FFFD is never marked (it reaches the top), so its operand
  // bytes keep their own lines.
  decoder_.ClearImage();
  Put(0xFFFD, {0x02, 0x00, 0x00});
  decoder_.MarkAllStarts();
  decoder_.BuildListing();
  EXPECT_EQ(listing[listing.size() - 3], "FFFD    02 ???");
  EXPECT_EQ(listing[listing.size() - 2], "FFFE    00         NOP    ");
  EXPECT_EQ(listing[listing.size() - 1], "FFFF    00         NOP    ");
}

}  // namespace
}  // namespace vx930
