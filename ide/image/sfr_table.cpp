#include "ide/image/sfr_table.h"

namespace vx930 {
namespace {

// The block on the wire has one byte per register, so the image indices must
// be a permutation of 0..SFRCount-1 and no register may appear twice.
constexpr bool IndicesArePermutation() {
  std::array<bool, SFRCount> seen{};
  for (const SFRItem& item : SFRTable) {
    if (item.ImageIndex < 0 || item.ImageIndex >= SFRCount || seen[item.ImageIndex]) return false;
    seen[item.ImageIndex] = true;
  }
  return true;
}

constexpr bool AddressesAreUnique() {
  for (int i = 0; i < SFRCount; ++i)
    for (int j = i + 1; j < SFRCount; ++j)
      if (SFRTable[i].SfrAddress == SFRTable[j].SfrAddress) return false;
  return true;
}

static_assert(IndicesArePermutation());
static_assert(AddressesAreUnique());
static_assert(kSfrIndexSP == 1 && kSfrIndexPSW == 32 && kSfrIndexPCL == 55 && kSfrIndexPCH == 56);

}  // namespace
}  // namespace vx930
