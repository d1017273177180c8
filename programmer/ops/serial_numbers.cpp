#include "programmer/ops/serial_numbers.h"

#include <cstdio>

#include "programmer/link/progress.h"
#include "programmer/ops/buffer_services.h"

namespace zolvek {

uint32_t SerialLength(const SerialNumberRecord& s) { return s.length >= 1 && s.length <= 8 ? s.length : 8; }

void SetSerialLimits(SerialNumberRecord& s) {
  static constexpr uint32_t kHex[4] = {0xFF, 0xFFFF, 0xFFFFFF, 0xFFFFFFFF};
  static constexpr uint32_t kDec[4] = {99, 9999, 999999, 99999999};
  const uint32_t n = SerialLength(s);
  const uint32_t* table = s.decimal ? kDec : kHex;
  if (n <= 4) {
    s.lowLimit = table[n - 1];
    s.highLimit = 0;
  } else {
    s.lowLimit = table[3];
    s.highLimit = table[n - 5];
  }
}

void FormatSerialNumber(SerialNumberRecord& s) {
  char digits[40];
  if (s.decimal)
    std::snprintf(digits, sizeof digits, "%08lu%08lu", static_cast<unsigned long>(s.high),
                  static_cast<unsigned long>(s.low));
  else
    std::snprintf(digits, sizeof digits, "%08lX%08lX", static_cast<unsigned long>(s.high),
                  static_cast<unsigned long>(s.low));
  const std::string all(digits);
  const uint32_t n = SerialLength(s);
  // A decimal half above 99999999 prints more than eight digits; the last
  // 2n are the ones used either way.
  s.text = all.substr(all.size() - 2 * n);
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t b = static_cast<uint8_t>(HexDigitValue(s.text[2 * i]) * 16 + HexDigitValue(s.text[2 * i + 1]));
    s.bytes[s.byteOrder ? n - 1 - i : i] = b;
  }
}

void NextSerialNumber(SerialNumberRecord& s, const std::function<void(const std::string&)>& show) {
  if (s.low == s.lowLimit) {
    s.low = 0;
    s.high = s.high == s.highLimit ? 0 : s.high + 1;
  } else {
    s.low += 1;
  }
  FormatSerialNumber(s);
  if (show) show(s.text);
}

int WriteSerialNumber(OpsState& ops, const SerialUpload& upload) {
  const SerialNumberRecord& s = ops.SerialNumberSettings;
  const uint32_t n = SerialLength(s);
  const uint64_t end = uint64_t{s.bufferAddress} + n;
  if (ops.BufferKind.IsPcMemory()) {
    if (end > ops.PcBuffer.size()) return 1;
    for (uint32_t i = 0; i < n; ++i) ops.PcBuffer[s.bufferAddress + i] = s.bytes[i];
    return 0;
  }
  if (end > ops.HeldBufferBytes() || !upload) return 1;
  return upload(s.bufferAddress, n);
}

SerialUpload SerialUploadFor(BufferTransfers& transfers, const OpsState& ops) {
  return [&transfers, &ops](uint32_t address, uint32_t n) {
    const TransferContext ctx = TransferContextOf(ops);
    const std::span<const uint8_t> bytes(ops.SerialNumberSettings.bytes.data(), n);
    return ops.BufferKind.IsInternal() ? transfers.UploadSerialInternal(ctx, address, bytes)
                                       : transfers.UploadSerialSram(ctx, address, bytes);
  };
}

int WriteSerialNumber(OpsState& ops, BufferTransfers& transfers) {
  return WriteSerialNumber(ops, SerialUploadFor(transfers, ops));
}

}  // namespace zolvek
