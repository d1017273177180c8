// Fuzzes the command set's reply handling: the board's side of the line is
// the fuzz input, handed out to the host's reads in order. Every command and
// a short download run against it. Whatever the bytes, nothing may read or
// write out of bounds, every command must end, and a command that fails must
// leave the caller's buffer as it was.
//
// Input: byte 0 picks the command to start with; the rest is the line.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "ide/link/cmd_set.h"
#include "ide/link/com_port.h"
#include "ide/link/tx_rom.h"
#include "platform/byte_link.h"
#include "platform/clock.h"
#include "platform/messages.h"

namespace {

using namespace vx930;

class InputLink final : public platform::ByteLink {
public:
  InputLink(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Write(const uint8_t*, size_t n, size_t& written) override {
    written = n;
    return true;
  }
  bool Read(uint8_t* out, size_t n, uint32_t timeoutMs, size_t& received) override {
    received = std::min(n, size_ - pos_);
    for (size_t i = 0; i < received; ++i) out[i] = data_[pos_ + i];
    pos_ += received;
    if (received < n) platform::CurrentClock().Sleep(timeoutMs);  // waited in vain
    return true;
  }
  void PurgeRx() override {}  // the input is the line: nothing arrived early
  void PurgeTx() override {}
  bool Close() override { return true; }

private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Runs f over a buffer filled with a sentinel; a failure must not touch it.
template <size_t N>
void Checked(const std::function<bool(std::span<uint8_t, N>)>& f) {
  std::array<uint8_t, N> buf;
  buf.fill(0xC5);
  if (!f(buf))
    for (uint8_t b : buf)
      if (b != 0xC5) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  platform::VirtualClock clock;
  platform::ScopedClock useClock(clock);
  platform::RecordingMessages messages;
  platform::ScopedMessages useMessages(messages);

  COM_Port port(1, [&](int) { return std::make_unique<InputLink>(data + 1, size - 1); });
  if (!port.OpenPort()) return 0;
  CCmdSet cmd(&port);

  static const std::array<uint8_t, 64> block = [] {
    std::array<uint8_t, 64> b{};
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i);
    return b;
  }();
  const std::array<BreakPointRec, BreakPointCount> bps = {BreakPointRec{0x1234, 1, 3}, BreakPointRec{0x0100, 0, 254}};
  const std::vector<uint8_t> in{0x30, 0x31, 0x32, 0x7F, 0x80, 0xFF, 0x00};
  const std::vector<uint8_t> wide{0x00, 0x10, 0x03, 0xFF, 0x80, 0x00, 0xFF, 0xFF, 0x01, 0x23, 0x02, 0x00, 0x00, 0x01};
  auto image = std::make_unique<CodeImage>();
  image->fill(0xFF);
  for (uint32_t a : {0x0000u, 0x0040u, 0x8000u}) (*image)[a] = 0x02;

  using Block = std::span<uint8_t, 64>;
  const std::vector<std::function<void()>> steps = {
      [&] { cmd.ResetICE(); },
      [&] { cmd.RunICE(); },
      [&] { cmd.StepICE(); },
      [&] { cmd.RunRange(0x0100, 0x01FF); },
      [&] { cmd.StopICE(); },
      [&] {
        uint8_t status = 0;
        if (cmd.BusyCheck(status) && status != stBusy && status != stReady) std::abort();
      },
      [&] { cmd.TxBrkPnt(bps, BreakPointCount); },
      [&] { cmd.ClearBrkPnt(); },
      [&] { Checked<58>([&](std::span<uint8_t, 58> b) { return cmd.RxSFR(b); }); },
      [&] { cmd.TxSFR(std::span<const uint8_t>(block.data(), 58)); },
      [&] { Checked<64>([&](Block b) { return cmd.RxInRAM(b, 0x40); }); },
      [&] { cmd.TxInRAM(0x0080, block); },
      [&] { Checked<64>([&](Block b) { return cmd.Rx1kRAM(b, 0x0200); }); },
      [&] { cmd.Tx1kRAM(0x03C0, block); },
      [&] { cmd.Tx1kByte(0x0123, 0x5A); },
      [&] { Checked<7>([&](std::span<uint8_t, 7> b) { return cmd.RxInRAMList(in, b, in.size()); }); },
      [&] { Checked<7>([&](std::span<uint8_t, 7> b) { return cmd.Rx1kRAMList(wide, b, 7); }); },
      [&] { Checked<7>([&](std::span<uint8_t, 7> b) { return cmd.RxExRAMList(wide, b, 7); }); },
      [&] { cmd.EraseChip(); },
      [&] {
        uint8_t code = 0;
        if (!cmd.TxROMBlock(code, 0x1000, block) && code != 0xFF) std::abort();
      },
      [&] { Checked<64>([&](Block b) { return cmd.RxROMBlock(0xFFC0, b); }); },
      [&] { Checked<64>([&](Block b) { return cmd.RxExRAM(b, 0x8000); }); },
      [&] { cmd.TxExRAM(0x8040, block); },
      [&] { cmd.TxLockBits(2); },
      [&] {
        Checked<1>([&](std::span<uint8_t, 1> b) {
          uint8_t v = b[0];
          const bool ok = cmd.RxLockBits(v);
          b[0] = v;
          return ok;
        });
      },
      [&] { Checked<3>([&](std::span<uint8_t, 3> b) { return cmd.RxSignature(b); }); },
      [&] {
        uint32_t v = 0xDEADBEEF;
        if (!cmd.RxVersion(v) && v != 0xDEADBEEF) std::abort();
        if (v != 0xDEADBEEF && v > 0xFFFF) std::abort();
      },
      [&] {
        TTxROM rom(cmd, *image);
        rom.Execute();
        if (!rom.IsFinished() || rom.GetAddress() > TTxROM::kEnd) std::abort();
      },
  };
  const size_t first = data[0] % steps.size();
  for (size_t i = 0; i < steps.size(); ++i) steps[(first + i) % steps.size()]();
  return 0;
}
