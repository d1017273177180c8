// Where an instruction can go next, and where the next branch or call lies,
// for the debugger's stepping.
//
//   instruction at p          next                         other            call
//   relative branch           p + length (fall-through)    branch target    0
//   absolute jump             jump target                  jump target      0
//   call                      target + length at target    p + length       1
//   RET                       return address on the stack  the same         0
//   anything else             p + length                   p + length       0
//
// An instruction that runs past 0xFFFF has no known operands; it counts as
// "anything else", so a step over it single-steps.
#include "ide/image/hex_decoder.h"
#include "ide/image/opcode_table.h"

namespace vx930 {

namespace {
constexpr int32_t kTop = static_cast<int32_t>(kCodeSize);
}

void CDecodeHex::GetNextPC(int32_t address, const TargetImages& target, int32_t& next, uint8_t& callFlag,
                           int32_t& other) const {
  callFlag = 0;
  if (address < 0 || address >= kTop) {
    next = other = address;
    return;
  }
  // The instruction that starts at or before the address.
  int32_t p = address;
  while (p > 0 && startMap_[static_cast<std::size_t>(p)] != 1) --p;

  const CodeImage& code = Code();
  auto byte = [&](int32_t at) { return code[static_cast<std::size_t>(at)]; };
  const uint8_t op = byte(p);
  const int32_t length = OpcodeTable[op].length;
  if (BytesInImage(p) < length) {
    next = other = p + length;
    return;
  }
  switch (KindOf(op)) {
    case TransferKind::RelBranch:
      next = p + length;
      other = RelTarget(p, length, byte(p + length - 1));
      return;
    case TransferKind::AbsJump:
      next = other = length == 2 ? Addr11Target(p, op, byte(p + 1)) : Addr16Target(byte(p + 1), byte(p + 2));
      return;
    case TransferKind::Call: {
      const int32_t t = length == 2 ? Addr11Target(p, op, byte(p + 1)) : Addr16Target(byte(p + 1), byte(p + 2));
      other = p + length;
      next = t + GetInstLength(t);
      callFlag = 1;
      return;
    }
    case TransferKind::None: break;
  }
  if (op == 0x22) {  // RET: high byte at the stack pointer, low byte below it
    const uint8_t sp = target.SFRImage[kSfrIndexSP];
    next = other = target.InRAMImage[sp] * 256 + target.InRAMImage[static_cast<uint8_t>(sp - 1)];
    return;
  }
  next = other = p + length;
}

int32_t CDecodeHex::FindNext(int32_t start, int32_t end, Seek seek) const {
  const CodeImage& code = Code();
  // A negative start is below the image; compared unsigned it could still be
  // below an end of -1 ("to the top") and index before the image.
  if (start < 0) return -1;
  int32_t p = start;
  while (static_cast<uint32_t>(p) < static_cast<uint32_t>(end) && p < kTop) {
    const uint8_t op = code[static_cast<std::size_t>(p)];
    const TransferKind kind = KindOf(op);
    switch (seek) {
      case Seek::Branch:
        if (kind == TransferKind::RelBranch || kind == TransferKind::AbsJump) return p;
        break;
      case Seek::Call:
        if (kind == TransferKind::Call) return p;
        break;
      case Seek::Return:
        if (op == 0x22 || op == 0x32 || op == 0x73) return p;  // RET, RETI, JMP @A+DPTR
        break;
    }
    p += OpcodeTable[op].length;
  }
  return -1;
}

int32_t CDecodeHex::FindNextBranch(int32_t start, int32_t end) const { return FindNext(start, end, Seek::Branch); }

int32_t CDecodeHex::FindNextCall(int32_t start, int32_t end) const { return FindNext(start, end, Seek::Call); }

int32_t CDecodeHex::FindNextReturn(int32_t start, int32_t end) const { return FindNext(start, end, Seek::Return); }

int32_t CDecodeHex::GetCallTarget(int32_t address) const {
  if (address < 0 || address >= kTop) return -1;
  const CodeImage& code = Code();
  const uint8_t op = code[static_cast<std::size_t>(address)];
  if (op == 0x12) {
    if (address + 2 >= kTop) return -1;
    return Addr16Target(code[static_cast<std::size_t>(address + 1)], code[static_cast<std::size_t>(address + 2)]);
  }
  if (address + 1 >= kTop) return -1;
  return Addr11Target(address, op, code[static_cast<std::size_t>(address + 1)]);
}

}  // namespace vx930
