#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "ide/image/hex_decoder.h"
#include "image_test_util.h"
#include "platform/messages.h"

namespace vx930 {
namespace {

class HexReaderTest : public ::testing::Test {
protected:
  bool Load(const std::string& text) {
    test::WriteText(path_, text);
    return decoder_.LoadHexFile(path_);
  }
  // Bytes of the image outside [from, from + n) are all still 0xFF.
  bool ErasedOutside(std::size_t from, std::size_t n) const {
    for (std::size_t a = 0; a < kCodeSize; ++a)
      if ((a < from || a >= from + n) && (*image_)[a] != 0xFF) return false;
    return true;
  }
  std::vector<uint8_t> Bytes(std::size_t from, std::size_t n) const {
    return {image_->begin() + static_cast<std::ptrdiff_t>(from),
            image_->begin() + static_cast<std::ptrdiff_t>(from + n)};
  }

  platform::RecordingMessages messages_;
  platform::ScopedMessages scope_{messages_};
  test::TempDir dir_;
  std::string path_ = dir_.File("PROG.HEX");
  std::unique_ptr<CodeImage> image_ = std::make_unique<CodeImage>();
  CDecodeHex decoder_{image_.get()};
};

const char kThreeBytes[] = ":03000000020100FA\r\n:00000001FF\r\n";

TEST_F(HexReaderTest, LoadsDataRecordsAndBuildsTheListing) {
  EXPECT_TRUE(Load(kThreeBytes));
  EXPECT_EQ(Bytes(0, 3), (std::vector<uint8_t>{0x02, 0x01, 0x00}));
  EXPECT_TRUE(ErasedOutside(0, 3));
  ASSERT_GE(decoder_.GetLineCount(), 2u);
  EXPECT_EQ((*decoder_.Listing())[0], "0000    02 01 00   LJMP   100H");
  EXPECT_EQ((*decoder_.Listing())[1], "0003    FF         MOV    R7,A");
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(HexReaderTest, LineEndsMayBeLfOnly) {
  EXPECT_TRUE(Load(":03000000020100FA\n:03000300E4F5800F\n:00000001FF\n"));
  EXPECT_EQ(Bytes(0, 6), (std::vector<uint8_t>{0x02, 0x01, 0x00, 0xE4, 0xF5, 0x80}));
  EXPECT_TRUE(ErasedOutside(0, 6));
}

TEST_F(HexReaderTest, EmptyFileGivesAnErasedImageAndAFullListing) {
  EXPECT_TRUE(Load(""));
  EXPECT_TRUE(ErasedOutside(0, 0));
  ASSERT_EQ(decoder_.GetLineCount(), 0x10000u);
  EXPECT_EQ((*decoder_.Listing())[0], "0000    FF         MOV    R7,A");
  EXPECT_EQ((*decoder_.Listing())[0xFFFF], "FFFF    FF         MOV    R7,A");
  EXPECT_EQ(decoder_.AddressToLine(0xABCD), 0xABCD);
}

TEST_F(HexReaderTest, AddressRecordsAreNotStoredAsCode) {
  // The usual header of a 32-bit file: upper linear address 0.
  EXPECT_TRUE(
      Load(":020000040000FA\r\n:0300000002010BEF\r\n:0400000300001234B3\r\n"
           ":0400000500001234B1\r\n:020000020000FC\r\n:00000001FF\r\n"));
  EXPECT_EQ(Bytes(0, 3), (std::vector<uint8_t>{0x02, 0x01, 0x0B}));
  EXPECT_TRUE(ErasedOutside(0, 3));
}

TEST_F(HexReaderTest, ANonZeroExtendedAddressFailsAndStoresNothingAfterIt) {
  for (const char* record : {":020000040001F9", ":020000021000EC", ":0400000400000001F7"}) {
    SCOPED_TRACE(record);
    EXPECT_FALSE(Load(std::string(":01000000E51A\r\n") + record + "\r\n:0300000002010BEF\r\n:00000001FF\r\n"));
    EXPECT_EQ((*image_)[0], 0xE5) << "data before the record stays";
    EXPECT_TRUE(ErasedOutside(0, 1));
    EXPECT_EQ(decoder_.GetLineCount(), 0xFFFFu) << "the listing is still rebuilt";
  }
}

TEST_F(HexReaderTest, BytesPastTheTopAreDroppedAndFailTheLoad) {
  EXPECT_FALSE(Load(":04FFFE00AABBCCDD00\r\n:00000001FF\r\n"));
  EXPECT_EQ(Bytes(0xFFFE, 2), (std::vector<uint8_t>{0xAA, 0xBB}));
  EXPECT_TRUE(ErasedOutside(0xFFFE, 2)) << "nothing may wrap to address 0";
  // A record that ends exactly at the top is fine.
  EXPECT_TRUE(Load(":02FFFE00AABB00\r\n:00000001FF\r\n"));
  EXPECT_EQ(Bytes(0xFFFE, 2), (std::vector<uint8_t>{0xAA, 0xBB}));
}

TEST_F(HexReaderTest, CountOf128ShowsTheLengthMessageAndStillBuildsTheListing) {
  EXPECT_FALSE(Load(std::string(":01000000E51A\r\n:80001000") + std::string(256, '0') + "00\r\n"));
  EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"Hex Length Column Error!!"});
  EXPECT_EQ(messages_.Shown().front().caption, "VX930_IDE");
  EXPECT_EQ((*image_)[0], 0xE5);
  EXPECT_TRUE(ErasedOutside(0, 1));
  EXPECT_EQ(decoder_.GetLineCount(), 0xFFFFu);  // E5 FF is one 2-byte line
}

TEST_F(HexReaderTest, AnyTypeEndingInOneEndsTheFile) {
  EXPECT_TRUE(Load(":01000000E51A\r\n:00000011EF\r\n:01000100E519\r\n"));
  EXPECT_EQ((*image_)[0], 0xE5);
  EXPECT_EQ((*image_)[1], 0xFF);
  // Nothing after an end record is read, not even garbage.
  EXPECT_TRUE(Load(":00000001FF\r\nthis is not a record"));
}

TEST_F(HexReaderTest, TheChecksumIsNotChecked) {
  EXPECT_TRUE(Load(":03000000020100FF\r\n:00000001FF\r\n"));
  EXPECT_EQ(Bytes(0, 3), (std::vector<uint8_t>{0x02, 0x01, 0x00}));
}

TEST_F(HexReaderTest, AFileMayEndWithoutAnEndRecord) {
  EXPECT_TRUE(Load(":03000000020100FA\r\n"));
  EXPECT_TRUE(Load(":03000000020100FA"));
  EXPECT_EQ(Bytes(0, 3), (std::vector<uint8_t>{0x02, 0x01, 0x00}));
}

// Malformed files fail, keep the records before the fault and still build the listing.
struct MalformedCase {
  const char* name;
  const char* tail;
};

class HexMalformedTest : public HexReaderTest, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(HexMalformedTest, FailsKeepingEarlierRecords) {
  EXPECT_FALSE(Load(std::string(":01000000E51A\r\n") + GetParam().tail));
  EXPECT_EQ((*image_)[0], 0xE5);
  EXPECT_TRUE(ErasedOutside(0, 1));
  EXPECT_EQ(decoder_.GetLineCount(), 0xFFFFu);
  EXPECT_TRUE(messages_.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, HexMalformedTest,
                         ::testing::Values(MalformedCase{"BlankLine", "\r\n:01000100E519\r\n"},
                                           MalformedCase{"TrailingBlanks", "  \r\n:01000100E519\r\n"},
                                           MalformedCase{"NoStartCode", "01000100E519\r\n"},
                                           MalformedCase{"NonHexCount", ":0G000100E519\r\n"},
                                           MalformedCase{"NonHexAddress", ":01000X00E519\r\n"},
                                           MalformedCase{"ZeroCount", ":00000100FF\r\n:01000100E519\r\n"},
                                           MalformedCase{"EndsInsideData", ":04000100E5E5"},
                                           MalformedCase{"EndsInsideType", ":0100010"},
                                           MalformedCase{"EndsInsideAddress", ":0100"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HexReaderTest, ALineOfTheWrongLengthFailsInsteadOfLoadingWrongBytes) {
  const char* const bad[] = {
      ":0300000002010FA\r\n:00000001FF\r\n",  // a data digit short: a checksum digit taken for data
      ":0300000002010FA\n:00000001FF\n",  // the same with LF line ends
      ":03000000020100F\r\n:00000001FF\r\n",  // a checksum digit short
      ":03000000020100FAB\r\n:00000001FF\r\n",  // a character long
      ":03000000020100FA\r:00000001FF\r\n",  // CR alone is no line end
      ":03000000020100FA\r",  // nor at the end of the file
      ":030000000201",  // the file ends inside the checksum
  };
  for (const char* text : bad) {
    SCOPED_TRACE(::testing::PrintToString(std::string(text)));
    EXPECT_FALSE(Load(text));
  }
  // The line ends still accepted: CR LF, LF, and none at the end of the file.
  EXPECT_TRUE(Load(":03000000020100FA\r\n:03000300E4F5800F\n:01000600E514"));
  EXPECT_EQ(Bytes(0, 7), (std::vector<uint8_t>{0x02, 0x01, 0x00, 0xE4, 0xF5, 0x80, 0xE5}));
}

TEST_F(HexReaderTest, ANonHexDataDigitStoresTheRecordAndFails) {
  // "3G" keeps the digit before the bad character, "G3" has none before it.
  EXPECT_FALSE(Load(":04001000113GG3440A\r\n:01002000E5FA\r\n"));
  EXPECT_EQ(Bytes(0x10, 4), (std::vector<uint8_t>{0x11, 0x03, 0x00, 0x44}));
  EXPECT_EQ((*image_)[0x20], 0xFF) << "the load stops after the bad record";
}

TEST_F(HexReaderTest, AFileThatCannotBeOpenedLeavesTheListingAlone) {
  ASSERT_TRUE(Load(kThreeBytes));
  const StringList before = *decoder_.Listing();
  EXPECT_FALSE(decoder_.LoadHexFile(dir_.File("MISSING.HEX")));
  EXPECT_TRUE(ErasedOutside(0, 0));
  EXPECT_EQ(*decoder_.Listing(), before);
  // A folder opens on Linux but is not a file to read.
  EXPECT_FALSE(decoder_.LoadHexFile(dir_.Path().string()));
}

TEST_F(HexReaderTest, ASecondLoadStartsFromAnErasedImageAndNoSymbols) {
  test::WriteBytes(dir_.File("PROG.SYM"), test::SymFile({test::SymBody(2, {{"START", 0x100}})}));
  ASSERT_TRUE(Load(kThreeBytes));
  EXPECT_EQ(decoder_.Labels().size(), 1u);
  std::filesystem::remove(dir_.File("PROG.SYM"));
  ASSERT_TRUE(Load(":01001000E50A\r\n"));
  EXPECT_EQ((*image_)[0x10], 0xE5);
  EXPECT_TRUE(ErasedOutside(0x10, 1));
  EXPECT_TRUE(decoder_.Labels().empty());
  EXPECT_TRUE(decoder_.Symbols().empty());
}

TEST_F(HexReaderTest, TheLabelPassSeesTheStartsOfTheRecordsAsLoaded) {
  // The LCALL at 2 starts its own record, so the label pass decodes it; the
  // linear marking from 0 reads it as the operand of an LJMP at 0.
  test::WriteBytes(dir_.File("PROG.SYM"), test::SymFile({test::SymBody(2, {{"FUNC", 0x40}})}));
  ASSERT_TRUE(Load(":0100000002FD\r\n:0101000000FE\r\n:03000200120040A9\r\n"));
  EXPECT_EQ(decoder_.StartMap()[2], 0);
  ASSERT_EQ(decoder_.Labels().size(), 1u);
  const int32_t line = decoder_.AddressToLine(0x40);
  EXPECT_EQ((*decoder_.Listing())[static_cast<std::size_t>(line - 1)], "FUNC:");
  EXPECT_EQ((*decoder_.Listing())[0], "0000    02 FF 12   LJMP   FF12H");
}

}  // namespace
}  // namespace vx930
