// Fakes for the watch window's tests: emulator memories answering the list
// reads, and a WatchTarget over them; symbol lists built by hand.
#pragma once

#include <array>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "ide/image/code_image.h"
#include "ide/image/omf_model.h"
#include "ide/link/ice_commands.h"
#include "ide/ui/core/watch_target.h"

namespace vx930::testing {

// Answers the three list reads from its memories and records each one;
// every other command fails.
class ListReadIce final : public IceCommands {
public:
  struct Read {
    char kind;  // 'I' internal, 'K' 1 KB, 'X' external
    std::vector<uint16_t> addresses;
  };

  bool ResetICE() override { return false; }
  bool RunICE() override { return false; }
  bool StepICE() override { return false; }
  bool RunRange(uint16_t, uint16_t) override { return false; }
  bool StopICE() override { return false; }
  bool BusyCheck(uint8_t&) override { return false; }
  bool TxBrkPnt(const BreakPointRec*, int) override { return false; }
  bool ClearBrkPnt() override { return false; }
  bool RxSFR(uint8_t*) override { return false; }
  bool TxSFR(const uint8_t*, int) override { return false; }
  bool RxInRAM(uint8_t*, uint8_t) override { return false; }
  bool TxInRAM(uint8_t, const uint8_t*) override { return false; }
  bool Rx1kRAM(uint8_t*, uint16_t) override { return false; }
  bool Tx1kRAM(uint16_t, const uint8_t*) override { return false; }
  bool Tx1kByte(uint16_t, uint8_t) override { return false; }

  bool RxInRAMList(const uint8_t* a, uint8_t* out, int n) override {
    Read r{'I', {}};
    for (int i = 0; i < n; ++i) {
      r.addresses.push_back(a[i]);
      out[i] = iram[a[i]];
    }
    return Record(r);
  }
  bool Rx1kRAMList(const uint8_t* a, uint8_t* out, int n) override {
    Read r{'K', {}};
    for (int i = 0; i < n; ++i) {
      const uint16_t address = static_cast<uint16_t>(a[2 * i] << 8 | a[2 * i + 1]);
      r.addresses.push_back(address);
      out[i] = ram1k[address & 0x3FF];
    }
    return Record(r);
  }
  bool RxExRAMList(const uint8_t* a, uint8_t* out, int n) override {
    Read r{'X', {}};
    for (int i = 0; i < n; ++i) {
      const uint16_t address = static_cast<uint16_t>(a[2 * i] << 8 | a[2 * i + 1]);
      r.addresses.push_back(address);
      out[i] = xram[address];
    }
    return Record(r);
  }

  std::array<uint8_t, 256> iram{};
  std::array<uint8_t, 1024> ram1k{};
  std::array<uint8_t, 65536> xram{};
  std::vector<Read> reads;
  char failKind = 0;  // list reads of this kind fail

private:
  bool Record(const Read& r) {
    reads.push_back(r);
    return r.kind != failKind;
  }
};

class FakeWatchTarget final : public WatchTarget {
public:
  bool TargetRunning() const override { return running; }
  IceCommands* Ice() const override { return linked ? ice : nullptr; }
  bool IsPCAtMovx() const override {
    ++movxQuestions;
    return atMovx;
  }
  bool GetCodeBytes(uint32_t address, uint8_t* destination, uint32_t count) const override {
    codeReads.push_back({address, count});
    if (!hasCode || address >= kCodeSize || count > kCodeSize - address) return false;
    std::memcpy(destination, code.data() + address, count);
    return true;
  }
  bool GetSFRValue(uint32_t sfrAddress, uint8_t& value) const override {
    if (sfrAddress != 0xD0 && sfrAddress != 0x88) return false;
    value = sfrAddress == 0xD0 ? psw : tcon;
    return true;
  }
  void ShowProcedure(const std::string& name) override { shownProcedures.push_back(name); }

  IceCommands* ice = nullptr;
  bool linked = true;
  bool running = false;
  bool atMovx = false;
  mutable int movxQuestions = 0;
  bool hasCode = true;
  CodeImage code{};
  mutable std::vector<std::pair<uint32_t, uint32_t>> codeReads;
  uint8_t psw = 0;
  uint8_t tcon = 0;
  std::vector<std::string> shownProcedures;
};

// A linked symbol list that owns its records.
class SymbolList {
public:
  SymbolList& Add(MemorySpace space, uint16_t address, OmfTypeIndex type, const std::string& name) {
    OmfSymbol s;
    s.Space = space;
    s.Address = address;
    s.TypeIndex = type;
    s.Name = name;
    s.NameLen = static_cast<uint8_t>(name.size());
    symbols_.push_back(s);
    for (std::size_t i = 0; i + 1 < symbols_.size(); ++i) symbols_[i].Next = &symbols_[i + 1];
    return *this;
  }
  const OmfSymbol* Head() const { return symbols_.empty() ? nullptr : &symbols_.front(); }

private:
  std::deque<OmfSymbol> symbols_;
};

}  // namespace vx930::testing
