#include "ide/image/opcode_table.h"

namespace vx930 {
namespace {

constexpr std::array<OpcodeRow, 256> kOpcodes{{
    {1, "NOP    ", " "},  // 00
    {2, "AJMP   ", "addr11"},  // 01
    {3, "LJMP   ", "addr16"},  // 02
    {1, "RR     ", "A"},  // 03
    {1, "INC    ", "A"},  // 04
    {2, "INC    ", "direct"},  // 05
    {1, "INC    ", "@R0"},  // 06
    {1, "INC    ", "@R1"},  // 07
    {1, "INC    ", "R0"},  // 08
    {1, "INC    ", "R1"},  // 09
    {1, "INC    ", "R2"},  // 0A
    {1, "INC    ", "R3"},  // 0B
    {1, "INC    ", "R4"},  // 0C
    {1, "INC    ", "R5"},  // 0D
    {1, "INC    ", "R6"},  // 0E
    {1, "INC    ", "R7"},  // 0F
    {3, "JBC    ", "bit^rel"},  // 10
    {2, "ACALL  ", "addr11"},  // 11
    {3, "LCALL  ", "addr16"},  // 12
    {1, "RRC    ", "A"},  // 13
    {1, "DEC    ", "A"},  // 14
    {2, "DEC    ", "direct"},  // 15
    {1, "DEC    ", "@R0"},  // 16
    {1, "DEC    ", "@R1"},  // 17
    {1, "DEC    ", "R0"},  // 18
    {1, "DEC    ", "R1"},  // 19
    {1, "DEC    ", "R2"},  // 1A
    {1, "DEC    ", "R3"},  // 1B
    {1, "DEC    ", "R4"},  // 1C
    {1, "DEC    ", "R5"},  // 1D
    {1, "DEC    ", "R6"},  // 1E
    {1, "DEC    ", "R7"},  // 1F
    {3, "JB     ", "bit^rel"},  // 20
    {2, "AJMP   ", "addr11"},  // 21
    {1, "RET    ", ""},  // 22
    {1, "RL     ", "A"},  // 23
    {2, "ADD    ", "A^#data"},  // 24
    {2, "ADD    ", "A^direct"},  // 25
    {1, "ADD    ", "A^@R0"},  // 26
    {1, "ADD    ", "A^@R1"},  // 27
    {1, "ADD    ", "A^R0"},  // 28
    {1, "ADD    ", "A^R1"},  // 29
    {1, "ADD    ", "A^R2"},  // 2A
    {1, "ADD    ", "A^R3"},  // 2B
    {1, "ADD    ", "A^R4"},  // 2C
    {1, "ADD    ", "A^R5"},  // 2D
    {1, "ADD    ", "A^R6"},  // 2E
    {1, "ADD    ", "A^R7"},  // 2F
    {3, "JNB    ", "bit^rel"},  // 30
    {2, "ACALL  ", "addr11"},  // 31
    {1, "RETI   ", ""},  // 32
    {1, "RLC    ", "A"},  // 33
    {2, "ADDC   ", "A^#data"},  // 34
    {2, "ADDC   ", "A^direct"},  // 35
    {1, "ADDC   ", "A^@R0"},  // 36
    {1, "ADDC   ", "A^@R1"},  // 37
    {1, "ADDC   ", "A^R0"},  // 38
    {1, "ADDC   ", "A^R1"},  // 39
    {1, "ADDC   ", "A^R2"},  // 3A
    {1, "ADDC   ", "A^R3"},  // 3B
    {1, "ADDC   ", "A^R4"},  // 3C
    {1, "ADDC   ", "A^R5"},  // 3D
    {1, "ADDC   ", "A^R6"},  // 3E
    {1, "ADDC   ", "A^R7"},  // 3F
    {2, "JC     ", "rel"},  // 40
    {2, "AJMP   ", "addr11"},  // 41
    {2, "ORL    ", "direct^A"},  // 42
    {3, "ORL    ", "direct^#data"},  // 43
    {2, "ORL    ", "A^#data"},  // 44
    {2, "ORL    ", "A^direct"},  // 45
    {1, "ORL    ", "A^@R0"},  // 46
    {1, "ORL    ", "A^@R1"},  // 47
    {1, "ORL    ", "A^R0"},  // 48
    {1, "ORL    ", "A^R1"},  // 49
    {1, "ORL    ", "A^R2"},  // 4A
    {1, "ORL    ", "A^R3"},  // 4B
    {1, "ORL    ", "A^R4"},  // 4C
    {1, "ORL    ", "A^R5"},  // 4D
    {1, "ORL    ", "A^R6"},  // 4E
    {1, "ORL    ", "A^R7"},  // 4F
    {2, "JNC    ", "rel"},  // 50
    {2, "ACALL  ", "addr11"},  // 51
    {2, "ANL    ", "direct^A"},  // 52
    {3, "ANL    ", "direct^#data"},  // 53
    {2, "ANL    ", "A^#data"},  // 54
    {2, "ANL    ", "A^direct"},  // 55
    {1, "ANL    ", "A^@R0"},  // 56
    {1, "ANL    ", "A^@R1"},  // 57
    {1, "ANL    ", "A^R0"},  // 58
    {1, "ANL    ", "A^R1"},  // 59
    {1, "ANL    ", "A^R2"},  // 5A
    {1, "ANL    ", "A^R3"},  // 5B
    {1, "ANL    ", "A^R4"},  // 5C
    {1, "ANL    ", "A^R5"},  // 5D
    {1, "ANL    ", "A^R6"},  // 5E
    {1, "ANL    ", "A^R7"},  // 5F
    {2, "JZ     ", "rel"},  // 60
    {2, "AJMP   ", "addr11"},  // 61
    {2, "XRL    ", "direct^A"},  // 62
    {3, "XRL    ", "direct^#data"},  // 63
    {2, "XRL    ", "A^#data"},  // 64
    {2, "XRL    ", "A^direct"},  // 65
    {1, "XRL    ", "A^@R0"},  // 66
    {1, "XRL    ", "A^@R1"},  // 67
    {1, "XRL    ", "A^R0"},  // 68
    {1, "XRL    ", "A^R1"},  // 69
    {1, "XRL    ", "A^R2"},  // 6A
    {1, "XRL    ", "A^R3"},  // 6B
    {1, "XRL    ", "A^R4"},  // 6C
    {1, "XRL    ", "A^R5"},  // 6D
    {1, "XRL    ", "A^R6"},  // 6E
    {1, "XRL    ", "A^R7"},  // 6F
    {2, "JNZ    ", "rel"},  // 70
    {2, "ACALL  ", "addr11"},  // 71
    {2, "ORL    ", "C^bit"},  // 72
    {1, "JMP    ", "@A+DPTR"},  // 73
    {2, "MOV    ", "A^#data"},  // 74
    {3, "MOV    ", "direct^#data"},  // 75
    {2, "MOV    ", "@R0^#data"},  // 76
    {2, "MOV    ", "@R1^#data"},  // 77
    {2, "MOV    ", "R0^#data"},  // 78
    {2, "MOV    ", "R1^#data"},  // 79
    {2, "MOV    ", "R2^#data"},  // 7A
    {2, "MOV    ", "R3^#data"},  // 7B
    {2, "MOV    ", "R4^#data"},  // 7C
    {2, "MOV    ", "R5^#data"},  // 7D
    {2, "MOV    ", "R6^#data"},  // 7E
    {2, "MOV    ", "R7^#data"},  // 7F
    {2, "SJMP   ", "rel"},  // 80
    {2, "AJMP   ", "addr11"},  // 81
    {2, "ANL    ", "C^bit"},  // 82
    {1, "MOVC   ", "A^@A+PC"},  // 83
    {1, "DIV    ", "AB"},  // 84
    {3, "MOV    ", "direct^direct"},  // 85
    {2, "MOV    ", "direct^@R0"},  // 86
    {2, "MOV    ", "direct^@R1"},  // 87
    {2, "MOV    ", "direct^R0"},  // 88
    {2, "MOV    ", "direct^R1"},  // 89
    {2, "MOV    ", "direct^R2"},  // 8A
    {2, "MOV    ", "direct^R3"},  // 8B
    {2, "MOV    ", "direct^R4"},  // 8C
    {2, "MOV    ", "direct^R5"},  // 8D
    {2, "MOV    ", "direct^R6"},  // 8E
    {2, "MOV    ", "direct^R7"},  // 8F
    {3, "MOV    ", "DPTR^#data16"},  // 90
    {2, "ACALL  ", "addr11"},  // 91
    {2, "MOV    ", "bit^C"},  // 92
    {1, "MOVC   ", "A^@A+DPTR"},  // 93
    {2, "SUBB   ", "A^#data"},  // 94
    {2, "SUBB   ", "A^direct"},  // 95
    {1, "SUBB   ", "A^@R0"},  // 96
    {1, "SUBB   ", "A^@R1"},  // 97
    {1, "SUBB   ", "A^R0"},  // 98
    {1, "SUBB   ", "A^R1"},  // 99
    {1, "SUBB   ", "A^R2"},  // 9A
    {1, "SUBB   ", "A^R3"},  // 9B
    {1, "SUBB   ", "A^R4"},  // 9C
    {1, "SUBB   ", "A^R5"},  // 9D
    {1, "SUBB   ", "A^R6"},  // 9E
    {1, "SUBB   ", "A^R7"},  // 9F
    {2, "ORL    ", "C^/bit"},  // A0
    {2, "AJMP   ", "addr11"},  // A1
    {2, "MOV    ", "C^bit"},  // A2
    {1, "INC    ", "DPTR"},  // A3
    {1, "MUL    ", "AB"},  // A4
    {1, "DB     ", "A5H"},  // A5
    {2, "MOV    ", "@R0^direct"},  // A6
    {2, "MOV    ", "@R1^direct"},  // A7
    {2, "MOV    ", "R0^direct"},  // A8
    {2, "MOV    ", "R1^direct"},  // A9
    {2, "MOV    ", "R2^direct"},  // AA
    {2, "MOV    ", "R3^direct"},  // AB
    {2, "MOV    ", "R4^direct"},  // AC
    {2, "MOV    ", "R5^direct"},  // AD
    {2, "MOV    ", "R6^direct"},  // AE
    {2, "MOV    ", "R7^direct"},  // AF
    {2, "ANL    ", "C^/bit"},  // B0
    {2, "ACALL  ", "addr11"},  // B1
    {2, "CPL    ", "bit"},  // B2
    {1, "CPL    ", "C"},  // B3
    {3, "CJNE   ", "A^#data^rel"},  // B4
    {3, "CJNE   ", "A^direct^rel"},  // B5
    {3, "CJNE   ", "@R0^#data^rel"},  // B6
    {3, "CJNE   ", "@R1^#data^rel"},  // B7
    {3, "CJNE   ", "R0^#data^rel"},  // B8
    {3, "CJNE   ", "R1^#data^rel"},  // B9
    {3, "CJNE   ", "R2^#data^rel"},  // BA
    {3, "CJNE   ", "R3^#data^rel"},  // BB
    {3, "CJNE   ", "R4^#data^rel"},  // BC
    {3, "CJNE   ", "R5^#data^rel"},  // BD
    {3, "CJNE   ", "R6^#data^rel"},  // BE
    {3, "CJNE   ", "R7^#data^rel"},  // BF
    {2, "PUSH   ", "direct"},  // C0
    {2, "AJMP   ", "addr11"},  // C1
    {2, "CLR    ", "bit"},  // C2
    {1, "CLR    ", "C"},  // C3
    {1, "SWAP   ", "A"},  // C4
    {2, "XCH    ", "A^direct"},  // C5
    {1, "XCH    ", "A^@R0"},  // C6
    {1, "XCH    ", "A^@R1"},  // C7
    {1, "XCH    ", "A^R0"},  // C8
    {1, "XCH    ", "A^R1"},  // C9
    {1, "XCH    ", "A^R2"},  // CA
    {1, "XCH    ", "A^R3"},  // CB
    {1, "XCH    ", "A^R4"},  // CC
    {1, "XCH    ", "A^R5"},  // CD
    {1, "XCH    ", "A^R6"},  // CE
    {1, "XCH    ", "A^R7"},  // CF
    {2, "POP    ", "direct"},  // D0
    {2, "ACALL  ", "addr11"},  // D1
    {2, "SETB   ", "bit"},  // D2
    {1, "SETB   ", "C"},  // D3
    {1, "DA     ", "A"},  // D4
    {3, "DJNZ   ", "direct^rel"},  // D5
    {1, "XCHD   ", "A^@R0"},  // D6
    {1, "XCHD   ", "A^@R1"},  // D7
    {2, "DJNZ   ", "R0^rel"},  // D8
    {2, "DJNZ   ", "R1^rel"},  // D9
    {2, "DJNZ   ", "R2^rel"},  // DA
    {2, "DJNZ   ", "R3^rel"},  // DB
    {2, "DJNZ   ", "R4^rel"},  // DC
    {2, "DJNZ   ", "R5^rel"},  // DD
    {2, "DJNZ   ", "R6^rel"},  // DE
    {2, "DJNZ   ", "R7^rel"},  // DF
    {1, "MOVX   ", "A^@DPTR"},  // E0
    {2, "AJMP   ", "addr11"},  // E1
    {1, "MOVX   ", "A^@R0"},  // E2
    {1, "MOVX   ", "A^@R1"},  // E3
    {1, "CLR    ", "A"},  // E4
    {2, "MOV    ", "A^direct"},  // E5
    {1, "MOV    ", "A^@R0"},  // E6
    {1, "MOV    ", "A^@R1"},  // E7
    {1, "MOV    ", "A^R0"},  // E8
    {1, "MOV    ", "A^R1"},  // E9
    {1, "MOV    ", "A^R2"},  // EA
    {1, "MOV    ", "A^R3"},  // EB
    {1, "MOV    ", "A^R4"},  // EC
    {1, "MOV    ", "A^R5"},  // ED
    {1, "MOV    ", "A^R6"},  // EE
    {1, "MOV    ", "A^R7"},  // EF
    {1, "MOVX   ", "@DPTR^A"},  // F0
    {2, "ACALL  ", "addr11"},  // F1
    {1, "MOVX   ", "@R0^A"},  // F2
    {1, "MOVX   ", "@R1^A"},  // F3
    {1, "CPL    ", "A"},  // F4
    {2, "MOV    ", "direct^A"},  // F5
    {1, "MOV    ", "@R0^A"},  // F6
    {1, "MOV    ", "@R1^A"},  // F7
    {1, "MOV    ", "R0^A"},  // F8
    {1, "MOV    ", "R1^A"},  // F9
    {1, "MOV    ", "R2^A"},  // FA
    {1, "MOV    ", "R3^A"},  // FB
    {1, "MOV    ", "R4^A"},  // FC
    {1, "MOV    ", "R5^A"},  // FD
    {1, "MOV    ", "R6^A"},  // FE
    {1, "MOV    ", "R7^A"},  // FF
}};

constexpr std::array<TransferRow, 29> kRelBranches{{
    {0x40, 2}, {0x50, 2}, {0x20, 3}, {0x30, 3}, {0x10, 3}, {0x80, 2}, {0x60, 2}, {0x70, 2}, {0xB4, 3}, {0xB5, 3},
    {0xB6, 3}, {0xB7, 3}, {0xB8, 3}, {0xB9, 3}, {0xBA, 3}, {0xBB, 3}, {0xBC, 3}, {0xBD, 3}, {0xBE, 3}, {0xBF, 3},
    {0xD8, 2}, {0xD9, 2}, {0xDA, 2}, {0xDB, 2}, {0xDC, 2}, {0xDD, 2}, {0xDE, 2}, {0xDF, 2}, {0xD5, 3},
}};

constexpr std::array<TransferRow, 9> kAbsJumps{{
    {0x02, 3},
    {0x01, 2},
    {0x21, 2},
    {0x41, 2},
    {0x61, 2},
    {0x81, 2},
    {0xA1, 2},
    {0xC1, 2},
    {0xE1, 2},
}};

constexpr std::array<TransferRow, 9> kCalls{{
    {0x11, 2},
    {0x31, 2},
    {0x51, 2},
    {0x71, 2},
    {0x91, 2},
    {0xB1, 2},
    {0xD1, 2},
    {0xF1, 2},
    {0x12, 3},
}};

constexpr const TransferRow* Find(std::span<const TransferRow> table, uint8_t opcode) {
  for (const TransferRow& row : table)
    if ((row.opcode & 0xFF) == opcode) return &row;
  return nullptr;
}

// First match over the tables in the order the label pass and the next-PC
// analysis search them, precomputed so the hot paths index instead of search.
constexpr std::array<TransferKind, 256> BuildKinds() {
  std::array<TransferKind, 256> kinds{};
  for (int op = 0; op < 256; ++op) {
    const auto b = static_cast<uint8_t>(op);
    if (Find(kRelBranches, b))
      kinds[op] = TransferKind::RelBranch;
    else if (Find(kAbsJumps, b))
      kinds[op] = TransferKind::AbsJump;
    else if (Find(kCalls, b))
      kinds[op] = TransferKind::Call;
  }
  return kinds;
}

constexpr std::array<TransferKind, 256> kKinds = BuildKinds();

// The tables agree with the opcode rows: every transfer's length is its row's.
constexpr bool LengthsAgree(std::span<const TransferRow> table) {
  for (const TransferRow& row : table)
    if (kOpcodes[row.opcode & 0xFF].length != row.length) return false;
  return true;
}
static_assert(LengthsAgree(kRelBranches) && LengthsAgree(kAbsJumps) && LengthsAgree(kCalls));

constexpr bool MnemonicsArePadded() {
  for (const OpcodeRow& row : kOpcodes)
    if (row.mnemonic.size() != 7 || row.length < 1 || row.length > 3) return false;
  return true;
}
static_assert(MnemonicsArePadded());

}  // namespace

const std::array<OpcodeRow, 256> OpcodeTable = kOpcodes;
const std::array<TransferRow, 29> RelBranchTable = kRelBranches;
const std::array<TransferRow, 9> AbsJumpTable = kAbsJumps;
const std::array<TransferRow, 9> CallTable = kCalls;

const TransferRow* FindTransfer(std::span<const TransferRow> table, uint8_t opcode) { return Find(table, opcode); }

TransferKind KindOf(uint8_t opcode) { return kKinds[opcode]; }

}  // namespace vx930
