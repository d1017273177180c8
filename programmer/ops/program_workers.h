// The programming workers: write the buffer into the device.
//
// From the programmer-held buffer the PC only paces the programmer page by
// page (ProgramFromBuffer, and the variants for devices that program in
// passes or in cycles closed by a check pass); from PcBuffer the PC streams
// every byte over the link in use (ProgramStreamCom, -Lpt, -Usb). Each keeps
// the engine's conventions: ErrorAddress 0 at the start, the counter drawn as
// "%06lX", ESC sampled at each handshake (1 sent instead of 0, LinkStatus 5),
// the final status read so that the programmer's last byte is consumed, and
// the programmer's error address read after a failure status.
//
// Each returns 0 for success or 1 for failure; ProgramBlockOp returns the
// programmer's status byte. The caller (a dispatcher) has checked the Target
// Zone and the buffer bounds; each checks them again (Admissible), so a
// worker run on its own never indexes past a buffer either.
#pragma once

#include <cstdint>

#include "programmer/ops/operation_engine.h"

namespace zolvek {

// Reply waits of the programming workers.
namespace program_wait {
inline constexpr uint32_t kPage = 555;
inline constexpr uint32_t kPassPage = 155;
inline constexpr uint32_t kPassStatus = 500;
inline constexpr uint32_t kFinal = 55;
inline constexpr uint32_t kStreamByte = 185;
inline constexpr uint32_t kBlock = 83656;
}  // namespace program_wait

int ProgramFromBuffer(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int ProgramFromBufferPasses(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int ProgramFromBufferVerified(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int ProgramStreamCom(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int ProgramStreamLpt(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int ProgramStreamUsb(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
// The programmer's status for one block (0 success); 1 when the command
// could not be framed or no status came.
int ProgramBlockOp(OperationEngine& e, uint8_t block);

}  // namespace zolvek
