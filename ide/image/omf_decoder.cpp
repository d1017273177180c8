// The OMF debug model: construction, queries and the list builders.
#include "ide/image/omf_decoder.h"

#include <utility>

namespace vx930 {

DecodeOmf::DecodeOmf() { image_->fill(0xFF); }

const OmfProcedure* DecodeOmf::FindProcedure(uint32_t address) const {
  for (const OmfModule* m = moduleHead_; m; m = m->Next)
    for (const OmfProcedure* p = m->Procs; p; p = p->Next)
      if (p->LoAddr <= address && address <= p->HiAddr) return p;
  return nullptr;
}

bool DecodeOmf::Validate() const {
  if (!moduleHead_) return false;
  for (const OmfModule* m = moduleHead_; m; m = m->Next)
    for (const OmfProcedure* p = m->Procs; p; p = p->Next)
      if (p->LoAddr == 0 && p->HiAddr == 0) return false;
  return true;
}

void DecodeOmf::AddModule(std::string name) {
  OmfModule& m = modules_.emplace_back();
  m.Name = std::move(name);
  if (moduleTail_)
    moduleTail_->Next = &m;
  else
    moduleHead_ = &m;
  moduleTail_ = &m;
}

void DecodeOmf::AddProcedure(std::string name) {
  // A procedure outside any module has nowhere to go.
  if (!moduleTail_) return;
  OmfProcedure& p = procedures_.emplace_back();
  p.Name = std::move(name);
  // Procedures are only ever created in the last module, so while it has any,
  // the current procedure is its last one.
  if (!moduleTail_->Procs)
    moduleTail_->Procs = &p;
  else
    current_->Next = &p;
  current_ = &p;
}

void DecodeOmf::ExtendProcRange(uint32_t start, uint32_t end) {
  if (!current_) return;
  if (current_->LoAddr == 0 || start < current_->LoAddr) current_->LoAddr = start;
  if (current_->HiAddr < end) current_->HiAddr = end;
}

}  // namespace vx930
