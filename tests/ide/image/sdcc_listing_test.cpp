// The listing of real SDCC programs, instruction by instruction, against what
// SDCC's own linker listing says each instruction is.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ide/image/hex_decoder.h"
#include "platform/messages.h"
#include "sdcc_rst.h"

namespace vx930 {
namespace {

std::string Hex4(int32_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(v));
  return buf;
}

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

struct SdccProgram {
  const char* name;
  std::size_t minInstructions;
};

class SdccListingTest : public ::testing::TestWithParam<SdccProgram> {};

TEST_P(SdccListingTest, EveryInstructionMatchesTheCompilersListing) {
  const std::string base = std::string(VX_FIXTURES_DIR) + "/sdcc/" + GetParam().name;
  test::RstProgram rst;
  ASSERT_TRUE(rst.Load(base + ".rst", base + ".map")) << rst.error();

  platform::RecordingMessages messages;
  platform::ScopedMessages scope(messages);
  auto image = std::make_unique<CodeImage>();
  CDecodeHex decoder(image.get());
  ASSERT_TRUE(decoder.LoadHexFile(base + ".ihx"));
  EXPECT_TRUE(messages.Texts().empty());
  const StringList& listing = *decoder.Listing();

  std::size_t checked = 0;
  for (const test::RstInstruction& in : rst.Instructions()) {
    SCOPED_TRACE(std::string(GetParam().name) + ".rst line " + std::to_string(in.sourceLine) + " at " +
                 Hex4(in.address));
    for (std::size_t k = 0; k < in.bytes.size(); ++k)
      ASSERT_EQ((*image)[static_cast<std::size_t>(in.address) + k], in.bytes[k]) << "image byte " << k;

    const std::string line(listing[static_cast<std::size_t>(decoder.AddressToLine(in.address))]);
    SCOPED_TRACE("listing: " + line);
    ASSERT_EQ(line.substr(0, 8), Hex4(in.address) + "    ") << "the linear decoding is out of step here";
    ASSERT_GE(line.size(), 26u);

    std::string bytes;
    for (uint8_t b : in.bytes) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%02X ", b);
      bytes += buf;
    }
    EXPECT_EQ(Trimmed(line.substr(8, 9)), Trimmed(bytes));
    EXPECT_EQ(Trimmed(line.substr(19, 7)), in.mnemonic);

    const std::vector<std::string> ours = test::SplitOperands(line.size() > 26 ? line.substr(26) : "");
    ASSERT_EQ(ours.size(), in.operands.size());
    const bool wide = in.mnemonic == "MOV" && !ours.empty() && ours[0] == "DPTR";
    for (std::size_t i = 0; i < ours.size(); ++i) {
      std::optional<test::Operand> theirs = rst.Evaluate(in, in.operands[i]);
      ASSERT_TRUE(theirs.has_value()) << rst.error();
      if (theirs->kind == test::Operand::Immediate) theirs->value &= wide ? 0xFFFF : 0xFF;
      const std::optional<test::Operand> mine = test::ParseListingOperand(ours[i]);
      ASSERT_TRUE(mine.has_value()) << "operand " << ours[i];
      EXPECT_EQ(mine->kind, theirs->kind) << ours[i] << " vs " << in.operands[i];
      EXPECT_EQ(mine->reg, theirs->reg) << ours[i] << " vs " << in.operands[i];
      EXPECT_EQ(mine->value, theirs->value) << ours[i] << " vs " << in.operands[i];
    }
    ++checked;
  }
  EXPECT_GE(checked, GetParam().minInstructions);
}

INSTANTIATE_TEST_SUITE_P(Programs, SdccListingTest,
                         ::testing::Values(SdccProgram{"control", 150}, SdccProgram{"arith", 150},
                                           SdccProgram{"allops", 255}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vx930
