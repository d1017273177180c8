#include <gtest/gtest.h>

#include <memory>

#include "ide/image/hex_decoder.h"
#include "image_test_util.h"
#include "platform/messages.h"

namespace vx930 {
namespace {

using test::SymBody;
using test::SymFile;

class SymbolFileTest : public ::testing::Test {
protected:
  // Loads a HEX file with the given records and a PROG.SYM of the given bytes.
  bool LoadWith(const std::vector<uint8_t>& sym, const std::string& hex = ":00000001FF\r\n") {
    test::WriteBytes(dir_.File("PROG.SYM"), sym);
    test::WriteText(dir_.File("PROG.HEX"), hex);
    return decoder_.LoadHexFile(dir_.File("PROG.HEX"));
  }
  std::vector<std::pair<int32_t, std::string>> Entries(const symbolmap& map) const { return {map.begin(), map.end()}; }
  std::string LineBefore(int32_t address) const {
    return std::string((*decoder_.Listing())[static_cast<std::size_t>(decoder_.AddressToLine(address) - 1)]);
  }

  platform::RecordingMessages messages_;
  platform::ScopedMessages scope_{messages_};
  test::TempDir dir_;
  std::unique_ptr<CodeImage> image_ = std::make_unique<CodeImage>();
  CDecodeHex decoder_{image_.get()};
};

using Entry = std::pair<int32_t, std::string>;

TEST_F(SymbolFileTest, ABranchTargetSymbolBecomesALabel) {
  // The file of the format description, byte by byte.
  const std::vector<uint8_t> sym{0xFE, 0x00, 0x00, 0x00, 0x09, 0x02, 0x05, 'S', 'T', 'A', 'R', 'T', 0x03, 0x00, 0xFF};
  ASSERT_TRUE(LoadWith(sym, ":03000000020003F8\r\n:00000001FF\r\n"));
  EXPECT_TRUE(decoder_.Symbols().empty());
  EXPECT_EQ(Entries(decoder_.Labels()), (std::vector<Entry>{{3, "START"}}));
  const auto& listing = *decoder_.Listing();
  EXPECT_EQ(listing[0], "0000    02 00 03   LJMP   START(0003H)");
  EXPECT_EQ(listing[1], "START:");
  EXPECT_EQ(listing[2], "0003    FF         MOV    R7,A");
  EXPECT_EQ(decoder_.LineToAddress(1), -1);
  EXPECT_EQ(decoder_.AddressToLine(3), 2);
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(SymbolFileTest, OnlyTheFirstSymbolAtATargetBecomesItsLabel) {
  ASSERT_TRUE(LoadWith(SymFile({SymBody(2, {{"FIRST", 3}, {"SECOND", 3}, {"COUNT", 0x30}})}),
                       ":05000000020003E530DE\r\n:00000001FF\r\n"));
  EXPECT_EQ(Entries(decoder_.Labels()), (std::vector<Entry>{{3, "FIRST"}}));
  EXPECT_EQ(Entries(decoder_.Symbols()), (std::vector<Entry>{{3, "SECOND"}, {0x30, "COUNT"}}));
  EXPECT_EQ(LineBefore(3), "FIRST:");
  // The untargeted symbol names the direct address.
  EXPECT_EQ((*decoder_.Listing())[2], "0003    E5 30      MOV    A,COUNT(30H)");
}

TEST_F(SymbolFileTest, EveryKindOfTransferMovesItsTarget) {
  // SJMP +2 at 0, AJMP 0123H at 2, ACALL 0234H at 4, LCALL 1234H at 6, CJNE back to 0 at 9.
  ASSERT_TRUE(LoadWith(
      SymFile({SymBody(2, {{"REL", 4}, {"AJ", 0x123}, {"AC", 0x234}, {"LC", 0x1234}, {"BACK", 0}, {"DATA", 0x7F}})}),
      ":0C000000800221235134121234B400F4BF\r\n:00000001FF\r\n"));
  EXPECT_EQ(Entries(decoder_.Labels()),
            (std::vector<Entry>{{0, "BACK"}, {4, "REL"}, {0x123, "AJ"}, {0x234, "AC"}, {0x1234, "LC"}}));
  EXPECT_EQ(Entries(decoder_.Symbols()), (std::vector<Entry>{{0x7F, "DATA"}}));
  const auto& listing = *decoder_.Listing();
  EXPECT_EQ(listing[0], "BACK:");
  EXPECT_EQ(listing[1], "0000    80 02      SJMP   REL(0004H)");
  EXPECT_EQ(listing[2], "0002    21 23      AJMP   AJ(0123H)");
  EXPECT_EQ(listing[3], "REL:");
  EXPECT_EQ(listing[4], "0004    51 34      ACALL  AC(0234H)");
  EXPECT_EQ(listing[5], "0006    12 12 34   LCALL  LC(1234H)");
  EXPECT_EQ(listing[6], "0009    B4 00 F4   CJNE   A,#00H,BACK(0000H)");
}

TEST_F(SymbolFileTest, AnAddressAboveFFFFSkipsTheRestOfItsBlockOnly) {
  ASSERT_TRUE(
      LoadWith(SymFile({SymBody(3, {{"A1", 0x10}, {"BIG", 0x010001}, {"LOST", 0x11}}), SymBody(1, {{"NEXT", 0x12}})})));
  EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"Address out of range"});
  EXPECT_EQ(messages_.Shown().front().caption, "VX930_IDE");
  EXPECT_EQ(Entries(decoder_.Symbols()), (std::vector<Entry>{{0x10, "A1"}, {0x12, "NEXT"}}));
}

TEST_F(SymbolFileTest, HeadersAreSkippedAndTheFileMayEndWithoutTerminator) {
  std::vector<uint8_t> sym{0xFE, 3, 'h', 'd', 'r', 0, 0, 5, 1, 2, 'A', 'B', 0x20};
  ASSERT_TRUE(LoadWith(sym));
  EXPECT_EQ(Entries(decoder_.Symbols()), (std::vector<Entry>{{0x20, "AB"}}));
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(SymbolFileTest, TheLastByteOfABodyNeverStartsARecord) {
  std::vector<uint8_t> body = SymBody(1, {{"A", 0x21}});
  body.push_back(0x00);  // a pad byte, which as a record would be an empty name
  ASSERT_TRUE(LoadWith(SymFile({body})));
  EXPECT_EQ(Entries(decoder_.Symbols()), (std::vector<Entry>{{0x21, "A"}}));
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(SymbolFileTest, LongNamesAreRead) {
  const std::string name(200, 'N');  // a length byte above 127
  ASSERT_TRUE(LoadWith(SymFile({SymBody(2, {{name, 0x40}, {"AFTER", 0x41}})})));
  EXPECT_EQ(Entries(decoder_.Symbols()), (std::vector<Entry>{{0x40, name}, {0x41, "AFTER"}}));
}

TEST_F(SymbolFileTest, ControlCharactersInANameNeverSplitItsListingLine) {
  ASSERT_TRUE(LoadWith(SymFile({SymBody(2, {{"ST\nA\rRT\x7f", 3}})}), ":03000000020003F8\r\n:00000001FF\r\n"));
  EXPECT_EQ(Entries(decoder_.Labels()), (std::vector<Entry>{{3, "ST?A?RT?"}}));
  const auto& listing = *decoder_.Listing();
  EXPECT_EQ(listing[0], "0000    02 00 03   LJMP   ST?A?RT?(0003H)");
  EXPECT_EQ(listing[1], "ST?A?RT?:");
  EXPECT_EQ(decoder_.AddressToLine(3), 2);
}

// Any malformed file shows the format error, keeps what was read before and ends.
struct BadSymCase {
  const char* name;
  std::vector<uint8_t> bytes;
  std::vector<Entry> kept;
};

class SymbolFileErrorTest : public SymbolFileTest, public ::testing::WithParamInterface<BadSymCase> {};

TEST_P(SymbolFileErrorTest, ShowsTheFormatErrorAndKeepsEarlierSymbols) {
  ASSERT_TRUE(LoadWith(GetParam().bytes, ":03000000020040BB\r\n:00000001FF\r\n"));
  EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"Symbol File Format Error!!"});
  EXPECT_EQ(messages_.Shown().front().caption, "VX930_IDE") << "the application's title, as every IDE message";
  EXPECT_EQ(Entries(decoder_.Symbols()), GetParam().kept);
  EXPECT_TRUE(decoder_.Labels().empty());
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A good first block: symbol GOOD at 0x30, and no terminator so a second block may follow.
const std::vector<uint8_t> kGood{0xFE, 0, 0, 0, 8, 2, 4, 'G', 'O', 'O', 'D', 0x30, 0x00};
const std::vector<Entry> kGoodKept{{0x30, "GOOD"}};

INSTANTIATE_TEST_SUITE_P(
    Cases, SymbolFileErrorTest,
    ::testing::Values(BadSymCase{"Empty", {}, {}},
                      BadSymCase{"WrongMagic", {0xFD, 0, 0, 0, 4, 2, 0, 0x30, 0x00, 0xFF}, {}},
                      BadSymCase{"OnlyMagic", {0xFE}, {}}, BadSymCase{"HeaderPastEnd", {0xFE, 9, 1, 2}, {}},
                      BadSymCase{"BodyLengthCut", {0xFE, 0, 0, 0}, {}},
                      BadSymCase{"BodyPastEnd", {0xFE, 0, 0, 0, 50, 2, 1, 'X', 0x30, 0}, {}},
                      BadSymCase{"HugeBodyLength", {0xFE, 0, 0xFF, 0xFF, 0xFF, 2, 1, 'X', 0x30, 0}, {}},
                      BadSymCase{"EmptyBody", Concat(kGood, {0, 0, 0, 0}), kGoodKept},
                      BadSymCase{"WidthAboveFour", Concat(kGood, {0, 0, 0, 9, 5, 1, 'X', 0x30, 0, 0, 0, 0}), kGoodKept},
                      BadSymCase{"NamePastBody", Concat(kGood, {0, 0, 0, 4, 2, 200, 'X', 'Y'}), kGoodKept},
                      BadSymCase{"AddressPastBody", Concat(kGood, {0, 0, 0, 5, 4, 1, 'X', 0x30, 0}), kGoodKept},
                      BadSymCase{"SecondBlockCut", Concat(kGood, {0}), kGoodKept}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SymbolFileTest, ASymbolFileIsFoundBesideTheHexFile) {
  EXPECT_EQ(CDecodeHex::SymbolFileName("/a/b/PROG.HEX"), "/a/b/PROG.SYM");
  EXPECT_EQ(CDecodeHex::SymbolFileName("/a/b/PROG"), "/a/b/PROG.SYM");
  EXPECT_EQ(CDecodeHex::SymbolFileName("/a/b.hex/PROG"), "/a/b.hex/PROG.SYM");
  EXPECT_EQ(CDecodeHex::SymbolFileName("/a/b/prog.v2.hex"), "/a/b/prog.v2.SYM");

  std::filesystem::create_directory(dir_.File("dir.hex"));
  const std::string hex = dir_.File("dir.hex/PROG");
  EXPECT_FALSE(CDecodeHex::SymbolFileExists(hex));
  test::WriteBytes(dir_.File("dir.hex/PROG.sym"), SymFile({SymBody(1, {{"LOW", 0x22}})}));
  EXPECT_TRUE(CDecodeHex::SymbolFileExists(hex));
  test::WriteText(hex, ":00000001FF\r\n");
  ASSERT_TRUE(decoder_.LoadHexFile(hex));
  EXPECT_EQ(Entries(decoder_.Symbols()), (std::vector<Entry>{{0x22, "LOW"}}));
}

TEST_F(SymbolFileTest, NoSymbolFileMeansNoSymbols) {
  test::WriteText(dir_.File("PROG.HEX"), ":03000000020040BB\r\n");
  ASSERT_TRUE(decoder_.LoadHexFile(dir_.File("PROG.HEX")));
  EXPECT_TRUE(decoder_.Symbols().empty());
  EXPECT_TRUE(decoder_.Labels().empty());
  EXPECT_TRUE(messages_.Texts().empty());
}

}  // namespace
}  // namespace vx930
