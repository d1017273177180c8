// Timers, serial port and interrupt system of Core8051 (see core8051.h for
// the model and the choices it makes).
#include "sim/ice/core8051.h"

namespace sim::ice {

namespace {

struct InterruptSource {
  uint8_t enable;  // bit in IE and IP
  uint16_t vector;
};

// In polling order, which is also the order within a priority level.
constexpr InterruptSource kSources[] = {
    {ie::kEX0, 0x03}, {ie::kET0, 0x0B}, {ie::kEX1, 0x13}, {ie::kET1, 0x1B}, {ie::kES, 0x23}, {ie::kET2, 0x2B},
};

constexpr uint8_t kLowLevel = 0x01;
constexpr uint8_t kHighLevel = 0x02;

// Pins of the counter inputs, external interrupts and T2EX.
constexpr uint8_t kPinInt0 = 0x04;  // P3.2
constexpr uint8_t kPinInt1 = 0x08;  // P3.3
constexpr uint8_t kPinT0 = 0x10;  // P3.4
constexpr uint8_t kPinT1 = 0x20;  // P3.5
constexpr uint8_t kPinT2 = 0x01;  // P1.0
constexpr uint8_t kPinT2ex = 0x02;  // P1.1

// TMOD nibble bits.
constexpr uint8_t kTmodGate = 0x08;
constexpr uint8_t kTmodCounter = 0x04;

// Timer 2 counts the oscillator over two as a baud-rate generator.
constexpr int kTimer2BaudCountsPerCycle = 6;

int FrameBits(int mode) { return mode == 0 ? 8 : mode == 1 ? 10 : 11; }

}  // namespace

void Core8051::InjectSerial(uint8_t byte, bool ninthBit) { rxQueue_.push_back(Incoming{byte, ninthBit}); }

void Core8051::RaiseExternalInterrupt(int n) { Sfr(sfr::kTCON) |= n == 0 ? tcon::kIE0 : tcon::kIE1; }

void Core8051::Transmit(uint8_t byte) {
  txLog_.push_back(byte);
  if (txLog_.size() > kSerialOutputKept) txLog_.pop_front();
  tx_ = SerialFrame{true, FrameBits(Sfr(sfr::kSCON) >> 6), 0, byte, (Sfr(sfr::kSCON) & scon::kTB8) != 0};
}

void Core8051::RunCycles(int cycles) {
  cycles_ += static_cast<uint64_t>(cycles);
  for (int i = 0; i < cycles; ++i) MachineCycle();
}

void Core8051::SamplePins() {
  const uint8_t p1 = Sfr(sfr::kP1);
  const uint8_t p3 = Sfr(sfr::kP3);
  const uint8_t fell1 = pins_.p1 & ~p1;
  const uint8_t fell3 = pins_.p3 & ~p3;
  pins_.p1 = p1;
  pins_.p3 = p3;

  // A count input's edge is counted one sample after the one that saw it.
  const uint8_t tmod = Sfr(sfr::kTMOD);
  const uint8_t t2 = Sfr(sfr::kT2CON);
  if ((tmod & kTmodCounter) && (pins_.countEdges3 & kPinT0) && TimerRuns(0)) CountTimer(0);
  if ((tmod & kTmodCounter << 4) && (pins_.countEdges3 & kPinT1) && TimerRuns(1)) CountTimer(1);
  if ((t2 & t2con::kTR2) && (t2 & t2con::kCT2) && (pins_.countEdges1 & kPinT2)) CountTimer2();
  pins_.countEdges1 = fell1 & kPinT2;
  pins_.countEdges3 = fell3 & (kPinT0 | kPinT1);

  if ((t2 & t2con::kEXEN2) && (fell1 & kPinT2ex)) Timer2Edge();
}

void Core8051::SampleInterruptPins() {
  const uint8_t p3 = Sfr(sfr::kP3);
  const uint8_t fell = pins_.int3 & ~p3;
  pins_.int3 = p3;
  uint8_t& tc = Sfr(sfr::kTCON);
  const auto external = [&](uint8_t it, uint8_t flag, uint8_t pin) {
    if (tc & it) {
      if (fell & pin) tc |= flag;
    } else {
      tc = (p3 & pin) ? (tc & ~flag) : (tc | flag);
    }
  };
  external(tcon::kIT0, tcon::kIE0, kPinInt0);
  external(tcon::kIT1, tcon::kIE1, kPinInt1);
}

bool Core8051::TimerRuns(int n) const {
  const uint8_t own = static_cast<uint8_t>(Sfr(sfr::kTMOD) >> (4 * n)) & 0x0F;
  const bool gateOpen = !(own & kTmodGate) || (Sfr(sfr::kP3) & (n == 0 ? kPinInt0 : kPinInt1));
  if (n == 1 && (own & 3) == 3) return false;
  return (Sfr(sfr::kTCON) & (n == 0 ? tcon::kTR0 : tcon::kTR1)) && gateOpen;
}

void Core8051::CountTimer(int n) {
  const uint8_t mode = (Sfr(sfr::kTMOD) >> (4 * n)) & 3;
  uint8_t& tl = Sfr(n == 0 ? sfr::kTL0 : sfr::kTL1);
  uint8_t& th = Sfr(n == 0 ? sfr::kTH0 : sfr::kTH1);
  bool overflow = false;
  switch (mode) {
    case 0: {
      const uint8_t low = (tl + 1) & 0x1F;
      tl = static_cast<uint8_t>((tl & 0xE0) | low);
      overflow = low == 0 && ++th == 0;
      break;
    }
    case 1: overflow = ++tl == 0 && ++th == 0; break;
    case 2:
      if (++tl == 0) {
        tl = th;
        overflow = true;
      }
      break;
    default:  // mode 3: TL0 alone (timer 1 never counts in mode 3)
      overflow = ++tl == 0;
      break;
  }
  if (!overflow) return;
  if (n == 0) {
    Sfr(sfr::kTCON) |= tcon::kTF0;
  } else {
    Timer1Overflow();
  }
}

void Core8051::Timer1Overflow() {
  if ((Sfr(sfr::kTMOD) & 3) != 3) Sfr(sfr::kTCON) |= tcon::kTF1;
  const int mode = Sfr(sfr::kSCON) >> 6;
  if (mode != 1 && mode != 3) return;
  const int perBit = (Sfr(sfr::kPCON) & kPconSmod) ? 16 : 32;
  const uint8_t t2 = Sfr(sfr::kT2CON);
  if (!(t2 & t2con::kTCLK)) SerialTick(true, 1, perBit);
  if (!(t2 & t2con::kRCLK)) SerialTick(false, 1, perBit);
}

void Core8051::CountTimer2() {
  const uint8_t t2 = Sfr(sfr::kT2CON);
  uint8_t& tl = Sfr(sfr::kTL2);
  uint8_t& th = Sfr(sfr::kTH2);
  if (++tl != 0 || ++th != 0) return;
  if (t2 & (t2con::kRCLK | t2con::kTCLK)) {
    tl = Sfr(sfr::kRCAP2L);
    th = Sfr(sfr::kRCAP2H);
    Timer2Overflow();
    return;
  }
  Sfr(sfr::kT2CON) |= t2con::kTF2;
  if (!(t2 & t2con::kCPRL2)) {
    tl = Sfr(sfr::kRCAP2L);
    th = Sfr(sfr::kRCAP2H);
  }
}

void Core8051::Timer2Edge() {
  uint8_t& t2 = Sfr(sfr::kT2CON);
  t2 |= t2con::kEXF2;
  if (t2 & (t2con::kRCLK | t2con::kTCLK)) return;
  if (t2 & t2con::kCPRL2) {
    Sfr(sfr::kRCAP2L) = Sfr(sfr::kTL2);
    Sfr(sfr::kRCAP2H) = Sfr(sfr::kTH2);
  } else {
    Sfr(sfr::kTL2) = Sfr(sfr::kRCAP2L);
    Sfr(sfr::kTH2) = Sfr(sfr::kRCAP2H);
  }
}

void Core8051::Timer2Overflow() {
  const int mode = Sfr(sfr::kSCON) >> 6;
  if (mode != 1 && mode != 3) return;
  const uint8_t t2 = Sfr(sfr::kT2CON);
  if (t2 & t2con::kTCLK) SerialTick(true, 1, 16);
  if (t2 & t2con::kRCLK) SerialTick(false, 1, 16);
}

void Core8051::MachineCycle() {
  const uint8_t tmod = Sfr(sfr::kTMOD);
  if (!(tmod & kTmodCounter) && TimerRuns(0)) CountTimer(0);
  if ((tmod & 3) == 3 && (Sfr(sfr::kTCON) & tcon::kTR1) && ++Sfr(sfr::kTH0) == 0) Sfr(sfr::kTCON) |= tcon::kTF1;
  if (!(tmod & kTmodCounter << 4) && TimerRuns(1)) CountTimer(1);

  const uint8_t t2 = Sfr(sfr::kT2CON);
  if ((t2 & t2con::kTR2) && !(t2 & t2con::kCT2)) {
    const int counts = (t2 & (t2con::kRCLK | t2con::kTCLK)) ? kTimer2BaudCountsPerCycle : 1;
    for (int i = 0; i < counts; ++i) CountTimer2();
  }

  // Serial clocks that come from the oscillator rather than a timer.
  const int mode = Sfr(sfr::kSCON) >> 6;
  if (mode == 0) {
    SerialTick(true, 1, 1);
    SerialTick(false, 1, 1);
  } else if (mode == 2) {
    const int perBit = (Sfr(sfr::kPCON) & kPconSmod) ? 32 : 64;  // oscillator clocks
    SerialTick(true, 12, perBit);
    SerialTick(false, 12, perBit);
  }
  StartReceive();
}

void Core8051::SerialTick(bool transmit, int units, int unitsPerBit) {
  SerialFrame& f = transmit ? tx_ : rx_;
  if (!f.active) return;
  f.ticks += units;
  while (f.active && f.ticks >= unitsPerBit) {
    f.ticks -= unitsPerBit;
    if (--f.bitsLeft == 0) {
      f.active = false;
      SerialFrameDone(transmit);
    }
  }
}

void Core8051::SerialFrameDone(bool transmit) {
  uint8_t& sc = Sfr(sfr::kSCON);
  if (transmit) {
    sc |= scon::kTI;
    return;
  }
  const int mode = sc >> 6;
  // The stop bit of an injected mode 1 byte is always 1.
  const bool ninth = mode == 1 ? true : rx_.ninth;
  if (sc & scon::kRI) return;  // overrun: the byte is lost
  if (mode != 0 && (sc & scon::kSM2) && !ninth) return;
  Sfr(sfr::kSBUF) = rx_.byte;
  if (mode != 0) sc = ninth ? (sc | scon::kRB8) : (sc & ~scon::kRB8);
  sc |= scon::kRI;
}

void Core8051::StartReceive() {
  if (rx_.active || rxQueue_.empty()) return;
  const uint8_t sc = Sfr(sfr::kSCON);
  if (!(sc & scon::kREN)) return;
  const int mode = sc >> 6;
  if (mode == 0 && (sc & scon::kRI)) return;
  const Incoming in = rxQueue_.front();
  rxQueue_.pop_front();
  rx_ = SerialFrame{true, FrameBits(mode), 0, in.byte, in.ninth};
}

int Core8051::TakeInterrupt() {
  if (holdInterrupts_) return 0;
  const uint8_t enabled = Sfr(sfr::kIE);
  if (!(enabled & ie::kEA)) return 0;
  const uint8_t tc = Sfr(sfr::kTCON);
  const bool requests[] = {
      (tc & tcon::kIE0) != 0,
      (tc & tcon::kTF0) != 0,
      (tc & tcon::kIE1) != 0,
      (tc & tcon::kTF1) != 0,
      (Sfr(sfr::kSCON) & (scon::kRI | scon::kTI)) != 0,
      (Sfr(sfr::kT2CON) & (t2con::kTF2 | t2con::kEXF2)) != 0,
  };
  const uint8_t priority = Sfr(sfr::kIP);
  for (const uint8_t level : {kHighLevel, kLowLevel}) {
    // A high-level request waits only for a high-level routine; a low-level one for any.
    if (level == kHighLevel ? (inProgress_ & kHighLevel) != 0 : inProgress_ != 0) continue;
    for (size_t i = 0; i < std::size(kSources); ++i) {
      const InterruptSource& s = kSources[i];
      if (!(enabled & s.enable) || !requests[i] || ((priority & s.enable) != 0) != (level == kHighLevel)) continue;
      uint8_t& t = Sfr(sfr::kTCON);
      if (i == 0 && (t & tcon::kIT0)) t &= ~tcon::kIE0;
      if (i == 1) t &= ~tcon::kTF0;
      if (i == 2 && (t & tcon::kIT1)) t &= ~tcon::kIE1;
      if (i == 3) t &= ~tcon::kTF1;
      inProgress_ |= level;
      ++interruptsTaken_;
      Call(s.vector);
      RunCycles(options_.interruptEntryCycles);
      return options_.interruptEntryCycles;
    }
  }
  return 0;
}

void Core8051::EndInterrupt() {
  holdInterrupts_ = true;
  if (inProgress_ & kHighLevel) {
    inProgress_ &= ~kHighLevel;
  } else {
    inProgress_ &= ~kLowLevel;
  }
}

}  // namespace sim::ice
