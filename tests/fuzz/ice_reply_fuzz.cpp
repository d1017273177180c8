// Fuzzes the command set and the download against a board that is late,
// loses frames and spoils replies, on a line modelled as the link sees it
// (tests/fuzz/plain_ice_board.h). The input is the board's script.
//
// Oracles, independent of the command set:
//  - every frame the host sends is well formed (the line aborts otherwise);
//  - a command that reports success took the reply to a frame it sent itself,
//    whole, never one left over from an earlier request;
//  - what it reports equals what the plain board holds: read data, the busy
//    status of that very poll, a write's bytes now in the board's memory, a
//    program block said to be accepted in code memory, and after a download
//    reported complete, the whole code memory equal to the image;
//  - a read that fails leaves the caller's buffer as it was;
//  - every command ends within a bound of (virtual) time.
//
// Input: byte 0 picks the command to start with; the rest is the script.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "ide/link/cmd_set.h"
#include "ide/link/com_port.h"
#include "ide/link/tx_rom.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "tests/fuzz/plain_ice_board.h"

namespace {

using namespace vx930;

void Require(bool condition) {
  if (!condition) std::abort();
}

// Runs f over a buffer filled with a sentinel; a failure must not touch it.
template <size_t N>
bool Checked(const std::function<bool(std::span<uint8_t, N>)>& f, std::array<uint8_t, N>& buf) {
  buf.fill(0xC5);
  const bool ok = f(buf);
  if (!ok)
    for (uint8_t b : buf) Require(b == 0xC5);
  return ok;
}

template <typename A, typename B>
bool Same(const A& a, size_t aFrom, const B& b, size_t bFrom, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (a[aFrom + i] != b[bFrom + i]) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  platform::VirtualClock clock;
  platform::ScopedClock useClock(clock);
  platform::RecordingMessages messages;
  platform::ScopedMessages useMessages(messages);

  fuzz::PlainLine* line = nullptr;
  COM_Port port(1, [&](int) {
    auto l = std::make_unique<fuzz::PlainLine>(data + 1, size - 1);
    line = l.get();
    return l;
  });
  if (!port.OpenPort()) return 0;
  CCmdSet cmd(&port);
  fuzz::BoardMemory& mem = line->Memory();

  // Each step writes data of its own generation, so stale data cannot pass
  // for new.
  uint8_t gen = 1;
  auto pattern = [&](size_t n) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + gen * 13);
    return b;
  };
  uint32_t before = 0;  // frames the board had received when the step began
  // The reply taken was to a frame of this step, with the command expected.
  auto own = [&](uint8_t command) {
    const uint32_t f = line->LastReplyFrame();
    Require(f > before && line->CommandOf(f) == command && line->Done(f));
  };

  const std::vector<uint8_t> in{0x30, 0x31, 0x32, 0x7F, 0x80, 0xFF, 0x00};
  const std::vector<uint8_t> wide{0x00, 0x10, 0x03, 0xFF, 0x80, 0x00, 0xFF, 0xFF, 0x01, 0x23, 0x02, 0x00, 0x00, 0x01};
  auto image = std::make_unique<CodeImage>();

  const std::vector<std::function<void()>> steps = {
      [&] {
        if (cmd.ResetICE()) own(fuzz::kReset);
      },
      [&] {
        if (cmd.RunICE()) own(fuzz::kRun);
      },
      [&] {
        if (cmd.StepICE()) own(fuzz::kStep);
      },
      [&] {
        if (cmd.RunRange(0x0100, 0x01FF)) own(fuzz::kRunRange);
      },
      [&] {
        if (cmd.StopICE()) own(fuzz::kStop);
      },
      [&] {
        uint8_t status = 0;
        if (!cmd.BusyCheck(status)) return;
        own(fuzz::kBusyCheck);
        Require(status == line->StatusOf(line->LastReplyFrame()));
      },
      [&] {
        const std::array<BreakPointRec, BreakPointCount> bps = {BreakPointRec{0x1234, 1, gen},
                                                                BreakPointRec{0x0100, 0, 254}};
        if (!cmd.TxBrkPnt(bps, BreakPointCount)) return;
        own(fuzz::kTxBrkPnt);
        Require(mem.breakpoints[3] == static_cast<uint8_t>(gen + 1));
      },
      [&] {
        if (cmd.ClearBrkPnt()) own(fuzz::kClearBrkPnt);
      },
      [&] {
        std::array<uint8_t, 58> out;
        if (!Checked<58>([&](std::span<uint8_t, 58> b) { return cmd.RxSFR(b); }, out)) return;
        own(fuzz::kFetchSFR);
        Require(out == mem.sfr);
      },
      [&] {
        const auto bytes = pattern(58);
        if (!cmd.TxSFR(bytes)) return;
        own(fuzz::kTxSFR);
        Require(Same(mem.sfr, 0, bytes, 0, 58));
      },
      [&] {
        const uint8_t s = static_cast<uint8_t>(gen * 64);
        std::array<uint8_t, 64> out;
        if (!Checked<64>([&](CCmdSet::Block b) { return cmd.RxInRAM(b, s); }, out)) return;
        own(fuzz::kFetchInRAM);
        Require(Same(out, 0, mem.iram, s, 64));
      },
      [&] {
        const auto bytes = pattern(64);
        const uint16_t a = static_cast<uint16_t>((gen & 3) * 64);
        if (!cmd.TxInRAM(a, CCmdSet::ConstBlock(bytes.data(), 64))) return;
        own(fuzz::kTxInRAM);
        Require(Same(mem.iram, a, bytes, 0, 64));
      },
      [&] {
        const uint16_t a = static_cast<uint16_t>((gen * 64) & 0x3C0);
        std::array<uint8_t, 64> out;
        if (!Checked<64>([&](CCmdSet::Block b) { return cmd.Rx1kRAM(b, a); }, out)) return;
        own(fuzz::kFetch1kRAM);
        Require(Same(out, 0, mem.ram1k, a, 64));
      },
      [&] {
        const auto bytes = pattern(64);
        const uint16_t a = static_cast<uint16_t>((gen * 64) & 0x3C0);
        if (!cmd.Tx1kRAM(a, CCmdSet::ConstBlock(bytes.data(), 64))) return;
        own(fuzz::kTx1kRAM);
        Require(Same(mem.ram1k, a, bytes, 0, 64));
      },
      [&] {
        if (!cmd.Tx1kByte(0x0123, gen)) return;
        own(fuzz::kTx1kRAM);
        Require(mem.ram1k[0x123] == gen);
      },
      [&] {
        std::array<uint8_t, 7> out;
        if (!Checked<7>([&](std::span<uint8_t, 7> b) { return cmd.RxInRAMList(in, b, 7); }, out)) return;
        own(fuzz::kFetchInRAMList);
        for (size_t i = 0; i < 7; ++i) Require(out[i] == mem.iram[in[i]]);
      },
      [&] {
        std::array<uint8_t, 7> out;
        if (!Checked<7>([&](std::span<uint8_t, 7> b) { return cmd.Rx1kRAMList(wide, b, 7); }, out)) return;
        own(fuzz::kFetch1kRAMList);
        for (size_t i = 0; i < 7; ++i) Require(out[i] == mem.ram1k[(wide[2 * i] << 8 | wide[2 * i + 1]) & 0x3FF]);
      },
      [&] {
        std::array<uint8_t, 7> out;
        if (!Checked<7>([&](std::span<uint8_t, 7> b) { return cmd.RxExRAMList(wide, b, 7); }, out)) return;
        own(fuzz::kFetchExRAMList);
        for (size_t i = 0; i < 7; ++i) Require(out[i] == mem.xram[wide[2 * i] << 8 | wide[2 * i + 1]]);
      },
      [&] {
        if (cmd.EraseChip()) own(fuzz::kEraseChip);
      },
      [&] {
        const auto bytes = pattern(64);
        uint8_t code = 0;
        const bool ok = cmd.TxROMBlock(code, 0x1000, CCmdSet::ConstBlock(bytes.data(), 64));
        if (!ok) {
          Require(code == 0xFF);
          return;
        }
        own(fuzz::kTxROM);
        if (code == icTxROM) Require(Same(mem.code, 0x1000, bytes, 0, 64));
      },
      [&] {
        const uint16_t a = gen & 1 ? 0x1000 : 0xFFC0;
        std::array<uint8_t, 64> out;
        if (!Checked<64>([&](CCmdSet::Block b) { return cmd.RxROMBlock(a, b); }, out)) return;
        own(fuzz::kRxROM);
        Require(Same(out, 0, mem.code, a, 64));
      },
      [&] {
        std::array<uint8_t, 64> out;
        if (!Checked<64>([&](CCmdSet::Block b) { return cmd.RxExRAM(b, 0x8040); }, out)) return;
        own(fuzz::kFetchExRAM);
        Require(Same(out, 0, mem.xram, 0x8040, 64));
      },
      [&] {
        const auto bytes = pattern(64);
        if (!cmd.TxExRAM(0x8040, CCmdSet::ConstBlock(bytes.data(), 64))) return;
        own(fuzz::kTxExRAM);
        Require(Same(mem.xram, 0x8040, bytes, 0, 64));
      },
      [&] {
        const uint8_t v = gen & 2;
        if (!cmd.TxLockBits(v)) return;
        own(fuzz::kTxLockBits);
        Require(mem.lock == v);
      },
      [&] {
        uint8_t v = 0xC5;
        if (!cmd.RxLockBits(v)) {
          Require(v == 0xC5);
          return;
        }
        own(fuzz::kFetchLockBits);
        Require(v == mem.lock);
      },
      [&] {
        std::array<uint8_t, 3> out;
        if (!Checked<3>([&](std::span<uint8_t, 3> b) { return cmd.RxSignature(b); }, out)) return;
        own(fuzz::kFetchSignature);
        Require(out == fuzz::kSignature);
      },
      [&] {
        uint32_t v = 0xDEADBEEF;
        if (!cmd.RxVersion(v)) {
          Require(v == 0xDEADBEEF);
          return;
        }
        own(fuzz::kRxVersion);
        Require(v == fuzz::kVersion);
      },
      [&] {
        // As the download dialog does: erase, then the worker.
        image->fill(0xFF);
        for (uint32_t a : {0x0000u, 0x0040u, 0x1000u, 0xFFC0u}) {
          const auto bytes = pattern(64);
          std::copy(bytes.begin(), bytes.end(), image->begin() + a);
          ++gen;
        }
        if (!cmd.EraseChip()) return;
        TTxROM rom(cmd, *image);
        rom.Execute();
        Require(rom.IsFinished() && rom.GetAddress() <= TTxROM::kEnd);
        if (rom.GetSuccess()) Require(mem.code == *image);
      },
  };

  const size_t first = data[0] % steps.size();
  for (size_t i = 0; i < 2 * steps.size(); ++i) {
    before = line->Frames();
    const uint32_t start = clock.Tick();
    steps[(first + i) % steps.size()]();
    // No command waits without bound; a download of four blocks neither.
    Require(clock.Tick() - start <= 30000);
    ++gen;
  }
  return 0;
}
