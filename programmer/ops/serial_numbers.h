// Running serial numbers of the Auto sequence: the value (two 32-bit halves
// counted in hexadecimal or decimal), the last 2n digits of it as text, and
// the n bytes written into the buffer before each program step.
//
// Choices where the program's own rules are silent, and faults mended:
// - A length outside 1 to 8 is taken as 8 (the record's initial value), so
//   the digits and bytes never reach past their arrays.
// - WriteSerialNumber refuses (result 1, nothing written) when the serial
//   bytes would reach past the buffer in use: PcBuffer as allocated, or the
//   programmer-held buffer's size. The caller's upload function is given the
//   address and count only once they are in bounds.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "programmer/link/buffer_transfers.h"
#include "programmer/ops/ops_state.h"

namespace zolvek {

// The length in use (1 to 8).
uint32_t SerialLength(const SerialNumberRecord& s);
// highLimit and lowLimit for the record's length and mode.
void SetSerialLimits(SerialNumberRecord& s);
// text and bytes from high and low (the record's current value).
void FormatSerialNumber(SerialNumberRecord& s);
// Advances the value by one, rebuilds text and bytes, and shows text through
// `show` (control 1019 of the Auto dialog) when given.
void NextSerialNumber(SerialNumberRecord& s, const std::function<void(const std::string&)>& show = {});

// Uploads n serial bytes at a programmer-buffer address; 0 done / 1 failed.
using SerialUpload = std::function<int(uint32_t address, uint32_t n)>;
// Writes bytes[0..n-1] from bufferAddress on: into PcBuffer when the buffer
// is in PC memory, else through `upload` (the internal buffer's or the SRAM
// card's). 0 done, 1 refused or failed.
int WriteSerialNumber(OpsState& ops, const SerialUpload& upload = {});
// The link's UploadSerialInternal or UploadSerialSram, by buffer kind, with
// the record's bytes.
SerialUpload SerialUploadFor(BufferTransfers& transfers, const OpsState& ops);
// WriteSerialNumber through the link's transfers.
int WriteSerialNumber(OpsState& ops, BufferTransfers& transfers);

}  // namespace zolvek
