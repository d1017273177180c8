#include "ide/image/hex_decoder.h"

#include <algorithm>
#include <new>

#include "ide/image/ide_message.h"

namespace vx930 {
namespace {

// What an unbound line decoder reads: erased memory.
const CodeImage& ErasedImage() {
  static const CodeImage image = [] {
    CodeImage erased;
    erased.fill(0xFF);
    return erased;
  }();
  return image;
}

}  // namespace

CDecodeHex::CDecodeHex(CodeImage* image) : image_(image) {
  try {
    addrLineTable_.assign(kCodeSize, 0);
    startMap_.assign(kCodeSize, 1);
    listing_ = std::make_unique<StringList>();
  } catch (const std::bad_alloc&) {
    ShowIdeMessage("Allocate Memory Failed!! -- cHead[]");
    throw;
  }
  ClearImage();
}

CDecodeHex::CDecodeHex() {
  try {
    addrLineTable_.assign(kCodeSize, 0);
    startMap_.assign(kCodeSize, 1);
  } catch (const std::bad_alloc&) {
    ShowIdeMessage("Allocate Memory Failed!! -- cHead[]");
    throw;
  }
}

CDecodeHex::~CDecodeHex() = default;

void CDecodeHex::SetImage(CodeImage* image) { image_ = image; }

void CDecodeHex::ClearImage() {
  if (image_) image_->fill(0xFF);
  std::fill(startMap_.begin(), startMap_.end(), uint8_t{1});
}

void CDecodeHex::ClearSymbols() {
  symbols_.clear();
  labels_.clear();
}

const CodeImage& CDecodeHex::Code() const { return image_ ? *image_ : ErasedImage(); }

int32_t CDecodeHex::LineToAddress(int32_t line) const {
  const auto index = static_cast<uint32_t>(line);
  if (index >= GetLineCount()) return -1;
  return lineMap_[index];
}

int32_t CDecodeHex::AddressToLine(int32_t address) const {
  if (address < 0 || address >= static_cast<int32_t>(kCodeSize)) return 0;
  return addrLineTable_[static_cast<std::size_t>(address)];
}

}  // namespace vx930
