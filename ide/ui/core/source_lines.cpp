#include "ide/ui/core/source_lines.h"

namespace vx930 {

const OmfProcedure* SourceLines::FindProcedure(uint32_t address) const {
  for (const OmfModule* m = modules_; m; m = m->Next)
    for (const OmfProcedure* p = m->Procs; p; p = p->Next)
      if (p->LoAddr <= address && address <= p->HiAddr) return p;
  return nullptr;
}

const OmfModule* SourceLines::FindModule(uint32_t address) const {
  for (const OmfModule* m = modules_; m; m = m->Next)
    for (const OmfProcedure* p = m->Procs; p; p = p->Next)
      if (p->LoAddr <= address && address <= p->HiAddr) return m;
  return nullptr;
}

int32_t SourceLines::NextLineStart(uint32_t address) const {
  const OmfProcedure* p = FindProcedure(address);
  if (!p) return -1;
  for (const OmfLineBlock* b = p->Lines; b; b = b->Next)
    for (const OmfLineEntry& e : b->Entries)
      if (e.Address >= address) return static_cast<int32_t>(e.Address);
  return -1;
}

int32_t SourceLines::LineEnd(uint32_t address) const { return NextLineStart(address + 1); }

int32_t SourceLines::ProcedureEnd(uint32_t address) const {
  const OmfProcedure* p = FindProcedure(address);
  return p ? static_cast<int32_t>(p->HiAddr) : -1;
}

int32_t SourceLines::GetFunctionAddress(const std::string& name) const {
  for (const OmfModule* m = modules_; m; m = m->Next)
    for (const OmfProcedure* p = m->Procs; p; p = p->Next)
      if (p->Name == name) {
        for (const OmfLineBlock* b = p->Lines; b; b = b->Next)
          if (!b->Entries.empty()) return static_cast<int32_t>(b->Entries.front().Address);
        return 0;
      }
  return 0;
}

SourceLines::Location SourceLines::Locate(uint32_t address, bool isPC) const {
  for (const OmfModule* m = modules_; m; m = m->Next)
    for (const OmfProcedure* p = m->Procs; p; p = p->Next) {
      if (!(p->LoAddr <= address && address <= p->HiAddr)) continue;
      for (const OmfLineBlock* b = p->Lines; b; b = b->Next) {
        const auto& entries = b->Entries;
        for (size_t k = 0; k < entries.size(); ++k) {
          if (entries[k].Address < address) continue;
          size_t chosen = k;
          if (isPC) {
            if (entries[k].Address > address) {
              // The PC sits inside the line that starts before this entry.
              if (k > 0) chosen = k - 1;
            } else {
              // Several entries may start at the PC: the last of them, unless
              // they run to the block's end, where the first one stays.
              size_t n = k;
              while (n < entries.size() && entries[n].Address <= address) ++n;
              if (n < entries.size()) chosen = n - 1;
            }
          }
          return Location{m, static_cast<int32_t>(entries[chosen].Line)};
        }
      }
    }
  return Location{};
}

int32_t SourceLines::LineToAddress(const OmfModule* module, int32_t line) {
  if (!module) return -1;
  for (const OmfProcedure* p = module->Procs; p; p = p->Next)
    for (const OmfLineBlock* b = p->Lines; b; b = b->Next)
      for (const OmfLineEntry& e : b->Entries)
        if (static_cast<int32_t>(e.Line) == line) return static_cast<int32_t>(e.Address);
  return -1;
}

}  // namespace vx930
