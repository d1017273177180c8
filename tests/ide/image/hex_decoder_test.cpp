#include "ide/image/hex_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "image_test_util.h"
#include "platform/messages.h"

namespace vx930 {
namespace {

TEST(HexDecoderTest, FullDecoderStartsErasedWithNoListing) {
  auto image = std::make_unique<CodeImage>();
  image->fill(0x12);
  CDecodeHex decoder(image.get());
  EXPECT_TRUE(std::all_of(image->begin(), image->end(), [](uint8_t b) { return b == 0xFF; }));
  EXPECT_TRUE(std::all_of(decoder.StartMap().begin(), decoder.StartMap().end(), [](uint8_t m) { return m == 1; }));
  ASSERT_NE(decoder.Listing(), nullptr);
  EXPECT_TRUE(decoder.Listing()->empty());
  EXPECT_EQ(decoder.GetLineCount(), 0u);
  EXPECT_EQ(decoder.LineToAddress(0), -1);
  EXPECT_EQ(decoder.AddressToLine(0x1234), 0);
  EXPECT_EQ(decoder.Image(), image.get());
}

TEST(HexDecoderTest, LineToAddressOutsideTheListingIsMinusOne) {
  auto image = std::make_unique<CodeImage>();
  CDecodeHex decoder(image.get());
  (*image)[0] = 0x02;  // LJMP 0003H, with a label at 3
  (*image)[1] = 0x00;
  (*image)[2] = 0x03;
  const auto body = test::SymBody(2, {{"START", 3}});
  ASSERT_TRUE(decoder.ReadSymbolBlock(body.data(), static_cast<uint32_t>(body.size())));
  decoder.MarkAllStarts();
  decoder.BuildLabels();
  decoder.BuildListing();

  const uint32_t count = decoder.GetLineCount();
  ASSERT_EQ(count, decoder.Listing()->size());
  EXPECT_EQ(decoder.LineToAddress(0), 0);
  EXPECT_EQ(decoder.LineToAddress(1), -1);  // "START:"
  EXPECT_EQ(decoder.LineToAddress(2), 3);
  EXPECT_EQ(decoder.LineToAddress(static_cast<int32_t>(count)), -1);
  EXPECT_EQ(decoder.LineToAddress(static_cast<int32_t>(count) - 1), 0xFFFF);
  EXPECT_EQ(decoder.LineToAddress(-1), -1);
}

TEST(HexDecoderTest, DeletingADecoderLeavesTheImage) {
  auto image = std::make_unique<CodeImage>();
  {
    CDecodeHex decoder(image.get());
    (*image)[5] = 0x42;
  }
  EXPECT_EQ((*image)[5], 0x42);
  CDecodeHex next(image.get());
  EXPECT_TRUE(std::all_of(image->begin(), image->end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST(HexDecoderTest, ClearImageKeepsListingAndMaps) {
  auto image = std::make_unique<CodeImage>();
  CDecodeHex decoder(image.get());
  decoder.BuildListing();
  const auto body = test::SymBody(1, {{"X", 0x30}});
  ASSERT_TRUE(decoder.ReadSymbolBlock(body.data(), static_cast<uint32_t>(body.size())));
  decoder.MarkInstruction(0x10, 0x02);
  decoder.ClearImage();
  EXPECT_EQ(decoder.StartMap()[0x11], 1);
  EXPECT_EQ(decoder.GetLineCount(), 0x10000u);
  EXPECT_EQ(decoder.Symbols().size(), 1u);
  decoder.ClearSymbols();
  EXPECT_TRUE(decoder.Symbols().empty());
}

TEST(HexDecoderTest, LineDecoderWorksOnABoundImageWithoutAFile) {
  CDecodeHex decoder;
  EXPECT_EQ(decoder.Listing(), nullptr);
  EXPECT_EQ(decoder.Image(), nullptr);
  // Unbound, it reads erased memory rather than nothing.
  EXPECT_EQ(decoder.DisasmLine(0), "0000    FF         MOV    R7,A");

  auto image = std::make_unique<CodeImage>();
  image->fill(0xFF);
  (*image)[0x100] = 0x75;
  (*image)[0x101] = 0x81;
  (*image)[0x102] = 0x60;
  decoder.SetImage(image.get());
  EXPECT_EQ(decoder.GetInstLength(0x100), 3);
  EXPECT_EQ(decoder.DisasmLine(0x100), "0100    75 81 60   MOV    SP,#60H");
  EXPECT_EQ(decoder.GetLineCount(), 0u);
  EXPECT_EQ(decoder.LineToAddress(0), -1);
  decoder.BuildListing();  // needs a full decoder: no effect
  EXPECT_EQ(decoder.GetLineCount(), 0u);
  EXPECT_FALSE(decoder.LoadHexFile("/nonexistent.hex"));
  EXPECT_EQ((*image)[0x100], 0x75) << "a line decoder must not clear the image it is bound to";
}

}  // namespace
}  // namespace vx930
