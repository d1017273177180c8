#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <ostream>
#include <vector>

#include "ide/image/hex_decoder.h"

namespace vx930 {
namespace {

struct Result {
  int32_t next;
  int32_t other;
  int call;
  bool operator==(const Result&) const = default;
};

void PrintTo(const Result& r, std::ostream* os) {
  *os << std::hex << "{next " << r.next << ", other " << r.other << ", call " << r.call << "}";
}

class NextPcTest : public ::testing::Test {
protected:
  void Put(int32_t address, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) (*image_)[static_cast<std::size_t>(address++)] = b;
  }
  Result NextPC(int32_t address) {
    Result r{-2, -2, -2};
    uint8_t call = 0xEE;
    decoder_.GetNextPC(address, target_, r.next, call, r.other);
    r.call = call;
    return r;
  }

  std::unique_ptr<CodeImage> image_ = std::make_unique<CodeImage>();
  CDecodeHex decoder_{image_.get()};
  std::array<uint8_t, SFRCount> sfr_{};
  std::array<uint8_t, 256> ram_{};
  TargetImages target_{sfr_, ram_};
};

TEST_F(NextPcTest, RelativeBranchesFallThroughOrBranch) {
  Put(0x0100, {0x80, 0xFE});  // SJMP to itself
  EXPECT_EQ(NextPC(0x0100), (Result{0x0102, 0x0100, 0}));
  Put(0x0200, {0x60, 0x05});  // JZ +5
  EXPECT_EQ(NextPC(0x0200), (Result{0x0202, 0x0207, 0}));
  Put(0x0300, {0xD5, 0x30, 0xFD});  // DJNZ direct,rel
  EXPECT_EQ(NextPC(0x0300), (Result{0x0303, 0x0300, 0}));
  Put(0x0400, {0xBF, 0x04, 0x10});  // CJNE R7,#data,rel
  EXPECT_EQ(NextPC(0x0400), (Result{0x0403, 0x0413, 0}));
  Put(0x0000, {0x40, 0x80});  // JC back past address 0: not wrapped
  EXPECT_EQ(NextPC(0x0000), (Result{0x0002, -126, 0}));
}

TEST_F(NextPcTest, JumpsGoToTheirTarget) {
  Put(0x07FE, {0xE1, 0x23});  // AJMP in the next page
  EXPECT_EQ(NextPC(0x07FE), (Result{0x0F23, 0x0F23, 0}));
  Put(0x0010, {0x02, 0xAB, 0xCD});
  EXPECT_EQ(NextPC(0x0010), (Result{0xABCD, 0xABCD, 0}));
}

TEST_F(NextPcTest, CallsGiveTheInstructionAfterTheTargetAndTheReturnAddress) {
  Put(0x0010, {0x12, 0x12, 0x34});
  Put(0x1234, {0x74, 0x01});  // 2 bytes long
  EXPECT_EQ(NextPC(0x0010), (Result{0x1236, 0x0013, 1}));
  Put(0x0FFE, {0x11, 0x23});  // ACALL: page of 0x1000
  Put(0x1023, {0x02, 0x00, 0x00});
  EXPECT_EQ(NextPC(0x0FFE), (Result{0x1026, 0x1000, 1}));
}

TEST_F(NextPcTest, RetReadsTheReturnAddressFromTheStack) {
  Put(0x0050, {0x22});
  sfr_[1] = 0x09;
  ram_[9] = 0x12;
  ram_[8] = 0x34;
  EXPECT_EQ(NextPC(0x0050), (Result{0x1234, 0x1234, 0}));
  sfr_[1] = 0x00;  // the low byte wraps to the top of RAM
  ram_[0] = 0xAB;
  ram_[0xFF] = 0xCD;
  EXPECT_EQ(NextPC(0x0050), (Result{0xABCD, 0xABCD, 0}));
}

TEST_F(NextPcTest, EverythingElseGoesToTheNextInstruction) {
  const std::pair<std::vector<uint8_t>, int32_t> cases[] = {
      {{0xD3}, 1}, {{0x32}, 1}, {{0x73}, 1}, {{0x75, 0x81, 0x60}, 3}, {{0xE5, 0x30}, 2}, {{0xA5}, 1}};
  for (const auto& [bytes, length] : cases) {
    Put(0x0600, bytes);
    EXPECT_EQ(NextPC(0x0600), (Result{0x0600 + length, 0x0600 + length, 0})) << int{bytes[0]};
  }
}

TEST_F(NextPcTest, AnAddressInsideAnInstructionAnalysesThatInstruction) {
  Put(0x0010, {0x02, 0x12, 0x34});
  decoder_.MarkAllStarts();
  EXPECT_EQ(NextPC(0x0012), (Result{0x1234, 0x1234, 0}));
  // A line decoder marks every address, so it analyses the byte itself.
  CDecodeHex line;
  line.SetImage(image_.get());
  int32_t next = 0, other = 0;
  uint8_t call = 0;
  line.GetNextPC(0x0012, target_, next, call, other);
  EXPECT_EQ(next, 0x0014);  // 0x34 is ADDC A,#data
}

TEST_F(NextPcTest, InstructionsCutByTheTopAreStepped) {
  Put(0xFFFF, {0x12});  // an LCALL with no operand bytes
  EXPECT_EQ(NextPC(0xFFFF), (Result{0x10002, 0x10002, 0}));
  Put(0xFFFE, {0x80, 0xFE});  // fits exactly
  EXPECT_EQ(NextPC(0xFFFE), (Result{0x10000, 0xFFFE, 0}));
  Put(0xFFFE, {0xB4, 0x00});  // CJNE without its displacement
  EXPECT_EQ(NextPC(0xFFFE), (Result{0x10001, 0x10001, 0}));
  Put(0xFFFE, {0x12, 0x00});
  EXPECT_EQ(decoder_.GetCallTarget(0xFFFE), -1);
  Put(0xFFFF, {0x11});
  EXPECT_EQ(decoder_.GetCallTarget(0xFFFF), -1);
}

TEST_F(NextPcTest, FindNextBranchAndCallWalkByLength) {
  // MOV, MOV, CJNE, LCALL, SJMP, then plain code.
  Put(0x0100, {0x75, 0x30, 0x40, 0xE5, 0x30, 0xB4, 0x01, 0x00, 0x12, 0x20, 0x00, 0x80, 0xFE});
  EXPECT_EQ(decoder_.FindNextBranch(0x0100, 0x0105), -1);
  EXPECT_EQ(decoder_.FindNextBranch(0x0100, 0x0110), 0x0105);
  EXPECT_EQ(decoder_.FindNextBranch(0x0105, 0x0106), 0x0105);
  EXPECT_EQ(decoder_.FindNextCall(0x0100, 0x0110), 0x0108);
  // The walk follows lengths from its start, not the start marks: from the
  // CJNE's operand, 0x01 reads as an AJMP.
  EXPECT_EQ(decoder_.FindNextBranch(0x0106, 0x0110), 0x0106);
  EXPECT_EQ(decoder_.FindNextBranch(0x0108, 0x0110), 0x010B);
  EXPECT_EQ(decoder_.FindNextCall(0x0100, 0x0108), -1);
  EXPECT_EQ(decoder_.GetCallTarget(0x0108), 0x2000);

  Put(0x0200, {0x22, 0x32, 0x73, 0x00});
  EXPECT_EQ(decoder_.FindNextBranch(0x0200, 0x0204), -1);
  EXPECT_EQ(decoder_.FindNextCall(0x0200, 0x0204), -1);
  // Those three have a walk of their own.
  EXPECT_EQ(decoder_.FindNextReturn(0x0200, 0x0204), 0x0200);
  EXPECT_EQ(decoder_.FindNextReturn(0x0201, 0x0204), 0x0201);
  EXPECT_EQ(decoder_.FindNextReturn(0x0202, 0x0204), 0x0202);
  EXPECT_EQ(decoder_.FindNextReturn(0x0203, 0x0204), -1);
  EXPECT_EQ(decoder_.FindNextReturn(0x0100, 0x010D), -1);  // branches and calls are not returns
  EXPECT_EQ(decoder_.FindNextReturn(-5, 0x0204), -1);
  // A negative start never walks; no walk passes the top.
  EXPECT_EQ(decoder_.FindNextBranch(-5, 0x0204), -1);
  EXPECT_EQ(decoder_.FindNextBranch(0xFFF0, 0x7FFFFFFF), -1);
  Put(0xFFFF, {0x80});
  EXPECT_EQ(decoder_.FindNextBranch(0xFFF0, 0x20000), 0xFFFF);
}

TEST(NextPcWalk, ANegativeStartNeverReadsBeforeTheImage) {
  // Bytes just below the image that would read as a branch and a call.
  struct Guarded {
    std::array<uint8_t, 16> below;
    CodeImage image;
  };
  auto g = std::make_unique<Guarded>();
  g->image.fill(0xFF);
  CDecodeHex decoder;
  decoder.SetImage(&g->image);
  // An end of -1, compared unsigned, lies above every start.
  const std::pair<int32_t, int32_t> ranges[] = {{-4, -1}, {-1, -1}, {-16, -2}, {-4, 0x0100}};
  for (uint8_t below : {uint8_t{0x80}, uint8_t{0x12}}) {
    g->below.fill(below);
    for (const auto& [start, end] : ranges) {
      EXPECT_EQ(decoder.FindNextBranch(start, end), -1) << start << " " << end;
      EXPECT_EQ(decoder.FindNextCall(start, end), -1) << start << " " << end;
    }
  }
  // A start inside the image with an end of -1 walks to the top.
  g->image[0xFFF0] = 0x12;
  g->image[0xFFF3] = 0x80;
  EXPECT_EQ(decoder.FindNextCall(0xFF00, -1), 0xFFF0);
  EXPECT_EQ(decoder.FindNextBranch(0xFF00, -1), 0xFFF3);
}

TEST_F(NextPcTest, CallTargetsCarryThePageBits) {
  Put(0x0900, {0x31, 0x10});
  EXPECT_EQ(decoder_.GetCallTarget(0x0900), 0x0910);
  Put(0x0900, {0x12, 0x43, 0x21});
  EXPECT_EQ(decoder_.GetCallTarget(0x0900), 0x4321);
}

}  // namespace
}  // namespace vx930
