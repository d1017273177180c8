// The read workers: copy the device's contents into the buffer.
//
// ReadToBuffer paces the programmer page by page while it reads into its own
// buffer; the stream workers bring every byte over the link and store it in
// PcBuffer under ByteSelect (COM asks for each byte, LPT also exchanges after
// every 256 addresses, USB reads blocks of up to 256 and exchanges after
// every 64 KB). Read workers never ask for an error address: after a failure
// ErrorAddress is the address reached. Bytes stored before a failure stay.
//
// Each returns 0 for success or 1 for failure. The caller (a dispatcher) has
// checked the Target Zone and the buffer bounds.
#pragma once

#include <cstdint>

#include "programmer/ops/operation_engine.h"

namespace zolvek {

namespace read_wait {
inline constexpr uint32_t kReply = 55;
}  // namespace read_wait

int ReadToBuffer(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int ReadStreamCom(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int ReadStreamLpt(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);
int ReadStreamUsb(OperationEngine& e, ProgressTarget* dialog, CounterField* dc);

}  // namespace zolvek
