#include "sim/ice/core8051.h"

namespace sim::ice {

namespace {

// clang-format off
constexpr std::array<uint8_t, 256> kLength = {
//  0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F
    1, 2, 3, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 0
    3, 2, 3, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 1
    3, 2, 1, 1, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 2
    3, 2, 1, 1, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 3
    2, 2, 2, 3, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 4
    2, 2, 2, 3, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 5
    2, 2, 2, 3, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 6
    2, 2, 2, 1, 2, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // 7
    2, 2, 2, 1, 1, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // 8
    3, 2, 2, 1, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 9
    2, 2, 2, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // A
    2, 2, 2, 1, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,  // B
    2, 2, 2, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // C
    2, 2, 2, 1, 1, 3, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2,  // D
    1, 2, 1, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // E
    1, 2, 1, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // F
};

// Machine cycles of the standard 12-clock core.
constexpr std::array<uint8_t, 256> kCycles = {
//  0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F
    1, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 0
    2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 1
    2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 2
    2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 3
    2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 4
    2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 5
    2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 6
    2, 2, 2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 7
    2, 2, 2, 2, 4, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // 8
    2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 9
    2, 2, 1, 2, 4, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // A
    2, 2, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // B
    2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // C
    2, 2, 1, 1, 1, 2, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2,  // D
    2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // E
    2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // F
};
// clang-format on

constexpr std::array<uint8_t, 256> MakeParity() {
  std::array<uint8_t, 256> table{};
  for (int v = 0; v < 256; ++v) {
    int ones = 0;
    for (int b = v; b != 0; b >>= 1) ones += b & 1;
    table[v] = static_cast<uint8_t>(ones & 1);
  }
  return table;
}
constexpr std::array<uint8_t, 256> kParity = MakeParity();

constexpr uint8_t kArithFlags = psw::kCY | psw::kAC | psw::kOV;

}  // namespace

Core8051::Core8051(Memories& memories, const CoreOptions& options) : m_(memories), options_(options) {}

int Core8051::InstructionLength(uint8_t opcode) { return kLength[opcode]; }
int Core8051::InstructionCycles(uint8_t opcode) { return kCycles[opcode]; }

void Core8051::Reset() {
  m_.sfr.fill(0);
  Sfr(sfr::kSP) = 0x07;
  Sfr(sfr::kP0) = 0xFF;
  Sfr(sfr::kP1) = 0xFF;
  Sfr(sfr::kP2) = 0xFF;
  Sfr(sfr::kP3) = 0xFF;
  pc_ = 0;
  holdInterrupts_ = false;
  inProgress_ = 0;
  pins_ = Pins{};
  tx_ = SerialFrame{};
  rx_ = SerialFrame{};
}

uint8_t Core8051::ReadDirect(uint8_t address) const { return address < 0x80 ? m_.iram[address] : Sfr(address); }

void Core8051::WriteDirect(uint8_t address, uint8_t value) {
  if (address < 0x80) {
    m_.iram[address] = value;
    return;
  }
  if (address == sfr::kSBUF) {
    Transmit(value);  // reads of SBUF keep giving the receive buffer
    return;
  }
  SetSfr(address, value);
  if (address == sfr::kIE || address == sfr::kIP) holdInterrupts_ = true;
}

void Core8051::SetSfr(uint8_t address, uint8_t value) {
  if (address < 0x80) return;
  Sfr(address) = value;
  if (address == sfr::kACC || address == sfr::kPSW) FixParity();
}

uint8_t Core8051::ReadXdata(uint16_t address) const {
  if (address < m_.ram1k.size() && !(Sfr(sfr::kRAMCON) & kRamconExternalOnly)) {
    return m_.ram1k[address];
  }
  return m_.xram[address];
}

void Core8051::WriteXdata(uint16_t address, uint8_t value) {
  if (address < m_.ram1k.size() && !(Sfr(sfr::kRAMCON) & kRamconExternalOnly)) {
    m_.ram1k[address] = value;
  } else {
    m_.xram[address] = value;
  }
}

uint16_t Core8051::DPTR() const {
  const uint8_t dpl = DplAddress();
  return static_cast<uint16_t>(Sfr(dpl + 1) << 8 | Sfr(dpl));
}

uint8_t Core8051::R(int n) const { return m_.iram[(Sfr(sfr::kPSW) & (psw::kRS1 | psw::kRS0)) | (n & 7)]; }

void Core8051::SetDptr(uint16_t value) {
  const uint8_t dpl = DplAddress();
  Sfr(dpl) = static_cast<uint8_t>(value);
  Sfr(dpl + 1) = static_cast<uint8_t>(value >> 8);
}

// Bit addresses 0x00-0x7F are the bits of iram 0x20-0x2F; 0x80-0xFF those of
// the SFRs at multiples of 8.
bool Core8051::ReadBit(uint8_t bit) const {
  const uint8_t byte = bit < 0x80 ? m_.iram[0x20 + (bit >> 3)] : Sfr(bit & 0xF8);
  return (byte >> (bit & 7)) & 1;
}

void Core8051::WriteBit(uint8_t bit, bool value) {
  const uint8_t address = bit < 0x80 ? static_cast<uint8_t>(0x20 + (bit >> 3)) : static_cast<uint8_t>(bit & 0xF8);
  const uint8_t mask = static_cast<uint8_t>(1u << (bit & 7));
  const uint8_t byte = ReadDirect(address);
  WriteDirect(address, static_cast<uint8_t>(value ? (byte | mask) : (byte & ~mask)));
}

void Core8051::SetCarry(bool c) {
  uint8_t& p = Sfr(sfr::kPSW);
  p = c ? (p | psw::kCY) : (p & ~psw::kCY);
}

void Core8051::Push(uint8_t value) {
  uint8_t& sp = Sfr(sfr::kSP);
  ++sp;
  m_.iram[sp] = value;
}

uint8_t Core8051::Pop() {
  uint8_t& sp = Sfr(sfr::kSP);
  return m_.iram[sp--];
}

void Core8051::Call(uint16_t target) {
  Push(static_cast<uint8_t>(pc_));
  Push(static_cast<uint8_t>(pc_ >> 8));
  pc_ = target;
}

void Core8051::Return() {
  const uint8_t high = Pop();
  const uint8_t low = Pop();
  pc_ = static_cast<uint16_t>(high << 8 | low);
}

void Core8051::Add(uint8_t value, bool carry_in) {
  uint8_t& acc = Sfr(sfr::kACC);
  const unsigned a = acc;
  const unsigned c = carry_in ? 1 : 0;
  const unsigned sum = a + value + c;
  uint8_t flags = 0;
  if (sum > 0xFF) flags |= psw::kCY;
  if ((a & 0x0F) + (value & 0x0F) + c > 0x0F) flags |= psw::kAC;
  if (~(a ^ value) & (a ^ sum) & 0x80) flags |= psw::kOV;  // like signs in, other sign out
  acc = static_cast<uint8_t>(sum);
  uint8_t& p = Sfr(sfr::kPSW);
  p = static_cast<uint8_t>((p & ~kArithFlags) | flags);
}

void Core8051::Subb(uint8_t value) {
  uint8_t& acc = Sfr(sfr::kACC);
  const int a = acc;
  const int c = Carry() ? 1 : 0;
  const int diff = a - value - c;
  uint8_t flags = 0;
  if (diff < 0) flags |= psw::kCY;
  if ((a & 0x0F) - (value & 0x0F) - c < 0) flags |= psw::kAC;
  if ((a ^ value) & (a ^ diff) & 0x80) flags |= psw::kOV;  // unlike signs in, sign of A lost
  acc = static_cast<uint8_t>(diff);
  uint8_t& p = Sfr(sfr::kPSW);
  p = static_cast<uint8_t>((p & ~kArithFlags) | flags);
}

// DA A may set CY but never clears it; AC and OV are left alone.
void Core8051::DecimalAdjust() {
  uint8_t& acc = Sfr(sfr::kACC);
  unsigned a = acc;
  bool carry = Carry();
  if ((a & 0x0F) > 9 || (Sfr(sfr::kPSW) & psw::kAC)) {
    a += 0x06;
    if (a > 0xFF) carry = true;
    a &= 0xFF;
  }
  if ((a >> 4) > 9 || carry) {
    a += 0x60;
    if (a > 0xFF) carry = true;
    a &= 0xFF;
  }
  acc = static_cast<uint8_t>(a);
  if (carry) SetCarry(true);
}

void Core8051::Compare(uint8_t first, uint8_t second, uint8_t rel) {
  SetCarry(first < second);
  if (first != second) Branch(rel);
}

void Core8051::FixParity() {
  uint8_t& p = Sfr(sfr::kPSW);
  p = static_cast<uint8_t>((p & ~psw::kP) | kParity[Sfr(sfr::kACC)]);
}

int Core8051::Step() {
  // The board may have written ACC or PSW straight into the SFR array.
  FixParity();
  holdInterrupts_ = false;
  // The fetch cycle passes before the instruction reads or writes anything.
  SamplePins();
  RunCycles(1);
  const uint8_t op = Fetch();
  uint8_t& acc = Sfr(sfr::kACC);
  const uint8_t lo = op & 0x0F;

  if (op == 0xA5) {
    // Undefined opcode: a one-byte no-op.
  } else if (lo >= 4) {
    // Columns 4-F share one operand per column: A or #data (4), direct (5),
    // @R0/@R1 (6, 7), R0-R7 (8-F); the row gives the operation.
    uint8_t immediate = 0;
    uint8_t* operand = &immediate;
    // An SFR operand is worked on in a copy and stored through WriteDirect,
    // so SBUF, IE and IP see the write.
    uint8_t sfrCopy = 0;
    uint8_t sfrAddress = 0;
    if (lo >= 8) {
      operand = &Reg(lo & 7);
    } else if (lo >= 6) {
      operand = &Indirect(lo & 1);
    } else if (lo == 5) {
      const uint8_t address = Fetch();
      if (address < 0x80) {
        operand = &m_.iram[address];
      } else {
        sfrAddress = address;
        sfrCopy = ReadDirect(address);
        operand = &sfrCopy;
      }
    }
    uint8_t& x = *operand;

    switch (op >> 4) {
      case 0x0:  // INC
        if (lo == 4)
          ++acc;
        else
          ++x;
        break;
      case 0x1:  // DEC
        if (lo == 4)
          --acc;
        else
          --x;
        break;
      case 0x2:  // ADD A,src
        if (lo == 4) immediate = Fetch();
        Add(x, false);
        break;
      case 0x3:  // ADDC A,src
        if (lo == 4) immediate = Fetch();
        Add(x, Carry());
        break;
      case 0x4:  // ORL A,src
        if (lo == 4) immediate = Fetch();
        acc |= x;
        break;
      case 0x5:  // ANL A,src
        if (lo == 4) immediate = Fetch();
        acc &= x;
        break;
      case 0x6:  // XRL A,src
        if (lo == 4) immediate = Fetch();
        acc ^= x;
        break;
      case 0x7:  // MOV dst,#data
        if (lo == 4)
          acc = Fetch();
        else
          x = Fetch();
        break;
      case 0x8:
        if (lo == 4) {  // DIV AB
          uint8_t& b = Sfr(sfr::kB);
          uint8_t& p = Sfr(sfr::kPSW);
          p &= ~(psw::kCY | psw::kOV);
          if (b == 0) {
            p |= psw::kOV;
          } else {
            const uint8_t quotient = acc / b;
            b = acc % b;
            acc = quotient;
          }
        } else {  // MOV direct,src (0x85: source byte first, then destination)
          const uint8_t value = x;
          WriteDirect(Fetch(), value);
        }
        break;
      case 0x9:  // SUBB A,src
        if (lo == 4) immediate = Fetch();
        Subb(x);
        break;
      case 0xA:
        if (lo == 4) {  // MUL AB
          uint8_t& b = Sfr(sfr::kB);
          const unsigned product = unsigned{acc} * b;
          acc = static_cast<uint8_t>(product);
          b = static_cast<uint8_t>(product >> 8);
          uint8_t& p = Sfr(sfr::kPSW);
          p &= ~(psw::kCY | psw::kOV);
          if (product > 0xFF) p |= psw::kOV;
        } else {  // MOV @Ri/Rn,direct (0xA5 never gets here)
          x = ReadDirect(Fetch());
        }
        break;
      case 0xB: {  // CJNE
        if (lo == 4) {
          const uint8_t data = Fetch();
          Compare(acc, data, Fetch());
        } else if (lo == 5) {
          Compare(acc, x, Fetch());
        } else {
          const uint8_t data = Fetch();
          Compare(x, data, Fetch());
        }
        break;
      }
      case 0xC:
        if (lo == 4) {  // SWAP A
          acc = static_cast<uint8_t>(acc << 4 | acc >> 4);
        } else {  // XCH A,src
          const uint8_t value = x;
          x = acc;
          acc = value;
        }
        break;
      case 0xD:
        if (lo == 4) {
          DecimalAdjust();
        } else if (lo == 6 || lo == 7) {  // XCHD A,@Ri
          const uint8_t value = x;
          x = static_cast<uint8_t>((x & 0xF0) | (acc & 0x0F));
          acc = static_cast<uint8_t>((acc & 0xF0) | (value & 0x0F));
        } else {  // DJNZ direct/Rn,rel
          --x;
          const uint8_t rel = Fetch();
          if (x != 0) Branch(rel);
        }
        break;
      case 0xE:  // MOV A,src; CLR A
        acc = lo == 4 ? 0 : x;
        break;
      case 0xF:  // MOV dst,A; CPL A
        if (lo == 4)
          acc = static_cast<uint8_t>(~acc);
        else
          x = acc;
        break;
    }
    // Rows that store their direct operand: INC, DEC, MOV #data, XCH, DJNZ, MOV A.
    constexpr uint16_t kStoringRows = 1u << 0x0 | 1u << 0x1 | 1u << 0x7 | 1u << 0xC | 1u << 0xD | 1u << 0xF;
    if (sfrAddress != 0 && (kStoringRows >> (op >> 4) & 1)) WriteDirect(sfrAddress, sfrCopy);
  } else if ((op & 0x1F) == 0x01) {  // AJMP
    const uint8_t low = Fetch();
    pc_ = static_cast<uint16_t>((pc_ & 0xF800) | (op >> 5) << 8 | low);
  } else if ((op & 0x1F) == 0x11) {  // ACALL
    const uint8_t low = Fetch();
    Call(static_cast<uint16_t>((pc_ & 0xF800) | (op >> 5) << 8 | low));
  } else {
    switch (op) {
      case 0x00:  // NOP
        break;
      case 0x02: {  // LJMP
        const uint8_t high = Fetch();
        pc_ = static_cast<uint16_t>(high << 8 | Fetch());
        break;
      }
      case 0x03:  // RR A
        acc = static_cast<uint8_t>(acc >> 1 | acc << 7);
        break;
      case 0x10: {  // JBC bit,rel
        const uint8_t bit = Fetch();
        const uint8_t rel = Fetch();
        if (ReadBit(bit)) {
          WriteBit(bit, false);
          Branch(rel);
        }
        break;
      }
      case 0x12: {  // LCALL
        const uint8_t high = Fetch();
        const uint8_t low = Fetch();
        Call(static_cast<uint16_t>(high << 8 | low));
        break;
      }
      case 0x13: {  // RRC A
        const bool carry = acc & 1;
        acc = static_cast<uint8_t>(acc >> 1 | (Carry() ? 0x80 : 0));
        SetCarry(carry);
        break;
      }
      case 0x20:  // JB bit,rel
      case 0x30: {  // JNB bit,rel
        const uint8_t bit = Fetch();
        const uint8_t rel = Fetch();
        if (ReadBit(bit) == (op == 0x20)) Branch(rel);
        break;
      }
      case 0x22:  // RET
        Return();
        break;
      case 0x32:  // RETI
        EndInterrupt();
        Return();
        break;
      case 0x23:  // RL A
        acc = static_cast<uint8_t>(acc << 1 | acc >> 7);
        break;
      case 0x33: {  // RLC A
        const bool carry = acc & 0x80;
        acc = static_cast<uint8_t>(acc << 1 | (Carry() ? 1 : 0));
        SetCarry(carry);
        break;
      }
      case 0x40:  // JC rel
      case 0x50: {  // JNC rel
        const uint8_t rel = Fetch();
        if (Carry() == (op == 0x40)) Branch(rel);
        break;
      }
      case 0x60:  // JZ rel
      case 0x70: {  // JNZ rel
        const uint8_t rel = Fetch();
        if ((acc == 0) == (op == 0x60)) Branch(rel);
        break;
      }
      case 0x42:  // ORL direct,A
      case 0x52:  // ANL direct,A
      case 0x62:  // XRL direct,A
      case 0x43:  // ORL direct,#data
      case 0x53:  // ANL direct,#data
      case 0x63: {  // XRL direct,#data
        const uint8_t address = Fetch();
        const uint8_t value = (op & 1) ? Fetch() : acc;
        uint8_t byte = ReadDirect(address);
        switch (op & 0xF0) {
          case 0x40: byte |= value; break;
          case 0x50: byte &= value; break;
          default: byte ^= value; break;
        }
        WriteDirect(address, byte);
        break;
      }
      case 0x72:  // ORL C,bit
        if (ReadBit(Fetch())) SetCarry(true);
        break;
      case 0xA0:  // ORL C,/bit
        if (!ReadBit(Fetch())) SetCarry(true);
        break;
      case 0x82:  // ANL C,bit
        if (!ReadBit(Fetch())) SetCarry(false);
        break;
      case 0xB0:  // ANL C,/bit
        if (ReadBit(Fetch())) SetCarry(false);
        break;
      case 0x73:  // JMP @A+DPTR
        pc_ = static_cast<uint16_t>(acc + DPTR());
        break;
      case 0x80:  // SJMP rel
        Branch(Fetch());
        break;
      case 0x83:  // MOVC A,@A+PC (PC of the next instruction)
        acc = m_.code[static_cast<uint16_t>(acc + pc_)];
        break;
      case 0x90: {  // MOV DPTR,#data16
        const uint8_t high = Fetch();
        SetDptr(static_cast<uint16_t>(high << 8 | Fetch()));
        break;
      }
      case 0x92:  // MOV bit,C
        WriteBit(Fetch(), Carry());
        break;
      case 0x93:  // MOVC A,@A+DPTR
        acc = m_.code[static_cast<uint16_t>(acc + DPTR())];
        break;
      case 0xA2:  // MOV C,bit
        SetCarry(ReadBit(Fetch()));
        break;
      case 0xA3:  // INC DPTR
        SetDptr(static_cast<uint16_t>(DPTR() + 1));
        break;
      case 0xB2: {  // CPL bit
        const uint8_t bit = Fetch();
        WriteBit(bit, !ReadBit(bit));
        break;
      }
      case 0xB3:  // CPL C
        SetCarry(!Carry());
        break;
      case 0xC0: {  // PUSH direct: increment SP, then read the operand
        const uint8_t address = Fetch();
        uint8_t& sp = Sfr(sfr::kSP);
        ++sp;
        m_.iram[sp] = ReadDirect(address);
        break;
      }
      case 0xC2:  // CLR bit
        WriteBit(Fetch(), false);
        break;
      case 0xC3:  // CLR C
        SetCarry(false);
        break;
      case 0xD0: {  // POP direct: store, then decrement SP
        const uint8_t address = Fetch();
        WriteDirect(address, m_.iram[Sfr(sfr::kSP)]);
        --Sfr(sfr::kSP);
        break;
      }
      case 0xD2:  // SETB bit
        WriteBit(Fetch(), true);
        break;
      case 0xD3:  // SETB C
        SetCarry(true);
        break;
      case 0xE0:  // MOVX A,@DPTR
        acc = ReadXdata(DPTR());
        break;
      case 0xE2:  // MOVX A,@R0
      case 0xE3:  // MOVX A,@R1
        acc = ReadXdata(static_cast<uint16_t>(Sfr(sfr::kP2) << 8 | Reg(op & 1)));
        break;
      case 0xF0:  // MOVX @DPTR,A
        WriteXdata(DPTR(), acc);
        break;
      case 0xF2:  // MOVX @R0,A
      case 0xF3:  // MOVX @R1,A
        WriteXdata(static_cast<uint16_t>(Sfr(sfr::kP2) << 8 | Reg(op & 1)), acc);
        break;
    }
  }

  FixParity();
  const int cycles = kCycles[op];
  RunCycles(cycles - 1);
  SampleInterruptPins();
  return cycles + TakeInterrupt();
}

}  // namespace sim::ice
