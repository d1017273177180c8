// A small program for the stepping tests, as an OMF file with line numbers:
//
//   MAIN (0x0100..0x011C)                    FUNC (0x0200..0x0202)
//   10  0100 MOV 30h,#0                      20  0200 MOV A,#1
//   11  0103 MOV R0,#5                       21  0202 RET
//       0105 LCALL FUNC
//   12  0108 INC 30h                         NOSRC at 0x0300 (RET) and the
//   13  010A LCALL NOSRC                     reset vector (LJMP MAIN) lie in
//       010D SJMP 010Fh                      no procedure.
//   14  010F MOV 32h,#3
//   15  0112 INC 31h
//       0114 DJNZ 32h,0112h
//   16  0117 INC 33h
//       0119 INC 34h
//   17  011B SJMP 0117h
#pragma once

#include <string>
#include <vector>

#include "tests/ide/image/omf_writer.h"

namespace vx930::testing {

inline const std::vector<uint8_t> kStepMain = {0x75, 0x30, 0x00, 0x78, 0x05, 0x12, 0x02, 0x00, 0x05, 0x30,
                                               0x12, 0x03, 0x00, 0x80, 0x00, 0x75, 0x32, 0x03, 0x05, 0x31,
                                               0xD5, 0x32, 0xFB, 0x05, 0x33, 0x05, 0x34, 0x80, 0xFA};
inline const std::vector<uint8_t> kStepFunc = {0x74, 0x01, 0x22};

// The same MAIN with line 15 waiting on a bit: 0112 INC 31h, 0114 JNB 00h,$.
inline std::vector<uint8_t> StepMainWaitingOnABit() {
  std::vector<uint8_t> main = kStepMain;
  main[0x14] = 0x30;
  main[0x15] = 0x00;
  main[0x16] = 0xFD;
  return main;
}

// With `tail`, a procedure TAIL (line 30 at 0x0203: RET) follows FUNC at once, as
// a compiler lays functions out: FUNC's last line, its RET, ends where
// TAIL's line begins.
inline std::vector<uint8_t> StepProgramOmf(const std::vector<uint8_t>& main = kStepMain, bool tail = false) {
  using S = OmfWriter::Symbol;
  OmfWriter w;
  w.Header()
      .ModuleName("steps.c")
      .Content(0x0000, {0x02, 0x01, 0x00})
      .Content(0x0300, {0x22})
      .PublicSymbols({S{MemorySpace::DATA, 0x30, OmfTypeIndex::tiUChar, "counter"}})
      .ProcedureBegin("MAIN")
      .Content(0x0100, main)
      .LineNumbers({{0x0100, 10},
                    {0x0103, 11},
                    {0x0108, 12},
                    {0x010A, 13},
                    {0x010F, 14},
                    {0x0112, 15},
                    {0x0117, 16},
                    {0x011B, 17}})
      .ProcedureEnd()
      .ProcedureBegin("FUNC")
      .Content(0x0200, kStepFunc)
      .LineNumbers({{0x0200, 20}, {0x0202, 21}})
      .LocalSymbols({S{MemorySpace::DATA, 0x31, OmfTypeIndex::tiUChar, "local"}})
      .ProcedureEnd();
  if (tail) w.ProcedureBegin("TAIL").Content(0x0203, {0x22}).LineNumbers({{0x0203, 30}}).ProcedureEnd();
  w.End();
  return w.Bytes();
}

}  // namespace vx930::testing
