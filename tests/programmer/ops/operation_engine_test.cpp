#include "programmer/ops/operation_engine.h"

#include <gtest/gtest.h>

namespace zolvek {
namespace {

TEST(OperationEngineTest, FailureLinesKeepTheirTrailingBlanks) {
  EXPECT_EQ(FormatOperationError(0, 0x1F0), "Error at 0001F0 !                   ");
  EXPECT_EQ(FormatOperationError(5, 0), "USER Terminated                    ");
  EXPECT_EQ(FormatOperationError(6, 0), "PACK Error !                       ");
  EXPECT_EQ(FormatOperationError(7, 0), "Time out !                       ");
  EXPECT_EQ(FormatOperationError(3, 0), "Error !                           ");
  EXPECT_EQ(FormatOperationError(-1, 0), "Error !                           ");
}

TEST(OperationEngineTest, CodeTableAndOffsets) {
  std::size_t n = 0;
  const OperationCodeEntry* table = OperationCodeTable(n);
  ASSERT_EQ(n, 25u);
  int plain = 0;
  for (std::size_t i = 0; i < n; ++i) plain += table[i].offset ? 0 : 1;
  EXPECT_EQ(plain, 10);
  EXPECT_EQ(OperationByte(OP_PROGRAM, true, 0x80), 0xD0);
  EXPECT_EQ(OperationByte(OP_READ_STREAM, true, 0xC0), 0x32);  // modulo 256
  EXPECT_EQ(OperationByte(OP_ERASE, false, 0x40), 'E');
}

TEST(OperationEngineTest, WorkerChoiceByBufferLinkAndDevice) {
  OpsState ops;
  EXPECT_EQ(ChooseProgramWorker(ops, kLinkCom), ProgramWorker::StreamCom);
  EXPECT_EQ(ChooseProgramWorker(ops, kLinkLpt), ProgramWorker::StreamLpt);
  EXPECT_EQ(ChooseProgramWorker(ops, kLinkUsb), ProgramWorker::StreamUsb);
  EXPECT_EQ(ChooseProgramWorker(ops, 7), ProgramWorker::StreamCom);
  EXPECT_EQ(ChooseStreamWorker(ops, kLinkUsb), StreamWorker::StreamUsb);
  ops.BufferKind = {1, 1};
  EXPECT_EQ(ChooseProgramWorker(ops, kLinkUsb), ProgramWorker::FromBuffer);
  EXPECT_EQ(ChooseStreamWorker(ops, kLinkCom), StreamWorker::FromBuffer);
  ops.CurFamily = 0x26;
  EXPECT_EQ(ChooseProgramWorker(ops, kLinkCom), ProgramWorker::FromBufferVerified);
  ops.CurDriverId = 63;  // the driver test comes first
  EXPECT_EQ(ChooseProgramWorker(ops, kLinkCom), ProgramWorker::FromBufferPasses);
  ops.BufferKind = {1, 0};
  EXPECT_EQ(ChooseProgramWorker(ops, kLinkCom), ProgramWorker::FromBufferPasses);
}

}  // namespace
}  // namespace zolvek
