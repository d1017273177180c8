// The line and procedure questions of an OMF program, answered from its
// modules: which procedure holds an address, where its source lines start
// and end. Source-level stepping and the source window use them.
//
// Procedures are searched modules first, then procedures, in file order, so
// overlapping ranges resolve to the earlier one. Addresses that can be "none"
// are 32-bit signed with -1 for none.
#pragma once

#include <cstdint>
#include <string>

#include "ide/image/omf_model.h"

namespace vx930 {

class SourceLines {
public:
  explicit SourceLines(const OmfModule* modules = nullptr) : modules_(modules) {}

  void SetModules(const OmfModule* modules) { modules_ = modules; }
  const OmfModule* Modules() const { return modules_; }

  // The first procedure with LoAddr <= address <= HiAddr, and its module.
  const OmfProcedure* FindProcedure(uint32_t address) const;
  const OmfModule* FindModule(uint32_t address) const;

  // In the procedure holding the address, the Address of the first line
  // entry (blocks and entries in file order) at or after it; -1 without one.
  int32_t NextLineStart(uint32_t address) const;
  // Where the source line holding the address ends: NextLineStart(address + 1).
  int32_t LineEnd(uint32_t address) const;
  // HiAddr of the procedure holding the address, -1 when none.
  int32_t ProcedureEnd(uint32_t address) const;
  bool HasSource(uint32_t address) const { return FindProcedure(address) != nullptr; }
  // The Address of the first line entry of the first procedure with that
  // name (case-sensitive); 0 when there is none or it has no line entries.
  int32_t GetFunctionAddress(const std::string& name) const;

  // Where the source window shows an address: the module whose source holds
  // it and the source line. For the program counter (isPC) the line is the
  // one whose code contains the address: the last of the entries starting at
  // it, but the first of them when they run to the end of their line block;
  // otherwise the line of the first entry at or after it. module is null when
  // no procedure has such an entry.
  struct Location {
    const OmfModule* module = nullptr;
    int32_t line = 0;
  };
  Location Locate(uint32_t address, bool isPC) const;

  // The Address of the first line entry of the module's procedures with the
  // given line; -1 when none.
  static int32_t LineToAddress(const OmfModule* module, int32_t line);

private:
  const OmfModule* modules_;
};

}  // namespace vx930
