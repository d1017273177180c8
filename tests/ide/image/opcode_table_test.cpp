#include "ide/image/opcode_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <string>

#include "ide/image/hex_decoder.h"

namespace vx930 {
namespace {

TEST(OpcodeTableTest, RowsFollowThePublishedInstructionSet) {
  struct Row {
    int op;
    int32_t length;
    const char* mnemonic;
    const char* operands;
  };
  const Row rows[] = {
      {0x75, 3, "MOV    ", "direct^#data"},
      {0xB8, 3, "CJNE   ", "R0^#data^rel"},
      {0x90, 3, "MOV    ", "DPTR^#data16"},
      {0x73, 1, "JMP    ", "@A+DPTR"},
      {0x83, 1, "MOVC   ", "A^@A+PC"},
      {0xE0, 1, "MOVX   ", "A^@DPTR"},
      {0x85, 3, "MOV    ", "direct^direct"},
      {0x84, 1, "DIV    ", "AB"},
      {0x00, 1, "NOP    ", " "},
      {0x22, 1, "RET    ", ""},
      {0x32, 1, "RETI   ", ""},
      {0xA5, 1, "DB     ", "A5H"},
      {0x10, 3, "JBC    ", "bit^rel"},
      {0xA0, 2, "ORL    ", "C^/bit"},
      {0xD5, 3, "DJNZ   ", "direct^rel"},
      {0xB6, 3, "CJNE   ", "@R0^#data^rel"},
      {0xF1, 2, "ACALL  ", "addr11"},
      {0x12, 3, "LCALL  ", "addr16"},
      {0xD7, 1, "XCHD   ", "A^@R1"},
      {0xFF, 1, "MOV    ", "R7^A"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.op);
    const OpcodeRow& row = OpcodeTable[static_cast<std::size_t>(r.op)];
    EXPECT_EQ(row.length, r.length);
    EXPECT_EQ(row.mnemonic, r.mnemonic);
    EXPECT_EQ(row.operands, r.operands);
  }
}

TEST(OpcodeTableTest, MnemonicsComeFromTheVocabularyOf45Words) {
  std::set<std::string> used;
  for (const OpcodeRow& row : OpcodeTable) {
    std::string word(row.mnemonic);
    ASSERT_EQ(word.size(), 7u);
    word.erase(word.find_last_not_of(' ') + 1);
    used.insert(word);
  }
  const std::set<std::string> vocabulary{"NOP",  "AJMP", "LJMP", "RR",   "INC",  "JBC", "ACALL", "LCALL", "RRC",
                                         "DEC",  "JB",   "RET",  "RL",   "ADD",  "JNB", "RETI",  "RLC",   "ADDC",
                                         "JC",   "ORL",  "JNC",  "ANL",  "JZ",   "XRL", "JNZ",   "JMP",   "MOV",
                                         "SJMP", "MOVC", "DIV",  "SUBB", "MUL",  "DB",  "CPL",   "CJNE",  "PUSH",
                                         "CLR",  "SWAP", "XCH",  "POP",  "SETB", "DA",  "DJNZ",  "XCHD",  "MOVX"};
  EXPECT_EQ(vocabulary.size(), 45u);
  EXPECT_EQ(used, vocabulary);
}

TEST(OpcodeTableTest, ControlTransferTables) {
  EXPECT_EQ(RelBranchTable.front().opcode, 0x40);
  EXPECT_EQ(RelBranchTable.back().opcode, 0xD5);
  EXPECT_EQ(AbsJumpTable.front().opcode, 0x02);
  EXPECT_EQ(CallTable.back().opcode, 0x12);
  for (int op = 0; op < 256; ++op) {
    const auto b = static_cast<uint8_t>(op);
    const bool rel = FindTransfer(RelBranchTable, b) != nullptr;
    const bool jump = FindTransfer(AbsJumpTable, b) != nullptr;
    const bool call = FindTransfer(CallTable, b) != nullptr;
    EXPECT_LE(rel + jump + call, 1) << op;
    const TransferKind kind = rel    ? TransferKind::RelBranch
                              : jump ? TransferKind::AbsJump
                              : call ? TransferKind::Call
                                     : TransferKind::None;
    EXPECT_EQ(KindOf(b), kind) << op;
    // Every AJMP is xxx00001, every ACALL xxx10001.
    EXPECT_EQ(jump && op != 0x02, (op & 0x1F) == 0x01) << op;
    EXPECT_EQ(call && op != 0x12, (op & 0x1F) == 0x11) << op;
  }
  for (uint8_t op : {0x22, 0x32, 0x73, 0xD3}) EXPECT_EQ(KindOf(op), TransferKind::None) << int{op};
  EXPECT_EQ(KindOf(0xD5), TransferKind::RelBranch);
}

TEST(OpcodeTableTest, TransferTargets) {
  EXPECT_EQ(Addr11Target(0x0100, 0xE1, 0x23), 0x0723);
  EXPECT_EQ(Addr11Target(0x07FE, 0xE1, 0x23), 0x0F23);  // page of the next instruction
  EXPECT_EQ(Addr11Target(0x0900, 0x31, 0x10), 0x0910);
  EXPECT_EQ(Addr16Target(0x12, 0x34), 0x1234);
  EXPECT_EQ(RelTarget(0x0100, 2, 0xFE), 0x0100);
  EXPECT_EQ(RelTarget(0x0000, 2, 0x80), -126);
}

class InstructionStartsTest : public ::testing::Test {
protected:
  std::unique_ptr<CodeImage> image_ = std::make_unique<CodeImage>();
  CDecodeHex decoder_{image_.get()};
};

TEST_F(InstructionStartsTest, LengthsByOpcode) {
  const std::pair<uint8_t, int32_t> cases[] = {{0x02, 3}, {0x75, 3}, {0xA5, 1}, {0xFF, 1}, {0x80, 2}};
  for (const auto& [op, length] : cases) {
    (*image_)[0x40] = op;
    EXPECT_EQ(decoder_.GetInstLength(0x40), length) << int{op};
  }
}

TEST_F(InstructionStartsTest, MarkInstruction) {
  EXPECT_EQ(decoder_.MarkInstruction(0x100, 0x02), 0x103);
  EXPECT_EQ(decoder_.StartMap()[0x100], 1);
  EXPECT_EQ(decoder_.StartMap()[0x101], 0);
  EXPECT_EQ(decoder_.StartMap()[0x102], 0);
  EXPECT_EQ(decoder_.StartMap()[0x103], 1);

  // Reaching or passing the top changes nothing.
  const std::vector<uint8_t> before = decoder_.StartMap();
  EXPECT_EQ(decoder_.MarkInstruction(0xFFFE, 0x02), 0x10000);
  EXPECT_EQ(decoder_.MarkInstruction(0xFFFF, 0x00), 0x10000);
  EXPECT_EQ(decoder_.MarkInstruction(0xFFFE, 0x80), 0x10000);
  EXPECT_EQ(decoder_.StartMap(), before);
}

TEST_F(InstructionStartsTest, MarkAllStartsDecodesLinearlyFromZero) {
  decoder_.MarkAllStarts();
  EXPECT_TRUE(std::all_of(decoder_.StartMap().begin(), decoder_.StartMap().end(), [](uint8_t m) { return m == 1; }));

  (*image_)[0] = 0x02;
  (*image_)[1] = 0x00;
  (*image_)[2] = 0x30;
  (*image_)[3] = 0x75;  // MOV direct,#data over 3..5
  decoder_.MarkInstruction(4, 0x12);  // a stale start inside it
  decoder_.MarkAllStarts();
  const std::vector<uint8_t> expect{1, 0, 0, 1, 0, 0, 1, 1};
  EXPECT_EQ(std::vector<uint8_t>(decoder_.StartMap().begin(), decoder_.StartMap().begin() + 8), expect);

  // The last instruction is marked a start even when it would pass the top.
  (*image_)[0xFFFE] = 0x02;
  decoder_.MarkAllStarts();
  EXPECT_EQ(decoder_.StartMap()[0xFFFE], 1);
  EXPECT_EQ(decoder_.StartMap()[0xFFFF], 1);
}

TEST_F(InstructionStartsTest, MarkAllStartsAgreesWithAPlainWalk) {
  // Erased stretches of every length and alignment between instructions of
  // every length, stale starts underneath, and an instruction over the top.
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    image_->fill(0xFF);
    for (std::size_t a = rng() % 16; a < kCodeSize; a += 1 + rng() % 40) {
      const std::size_t bytes = 1 + rng() % 6;
      for (std::size_t k = 0; k < bytes && a < kCodeSize; ++k, ++a) (*image_)[a] = static_cast<uint8_t>(rng());
    }
    if (round % 2) (*image_)[0xFFFE] = 0x02;
    for (int k = 0; k < 50; ++k) decoder_.MarkInstruction(static_cast<int32_t>(rng() % kCodeSize), 0x02);

    // The plain walk: one instruction after the other from 0; one that
    // reaches the top leaves its operand bytes as they were.
    std::vector<uint8_t> expect = decoder_.StartMap();
    for (int32_t a = 0;;) {
      expect[static_cast<std::size_t>(a)] = 1;
      const int32_t end = a + decoder_.GetInstLength(a);
      if (end >= 0x10000) break;
      for (int32_t i = a + 1; i < end; ++i) expect[static_cast<std::size_t>(i)] = 0;
      a = end;
    }
    decoder_.MarkAllStarts();
    EXPECT_EQ(decoder_.StartMap(), expect);
  }
}

}  // namespace
}  // namespace vx930
