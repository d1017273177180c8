#include "ide/ui/core/ram_view_dump.h"

#include <algorithm>

namespace vx930 {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

char AsciiOf(uint8_t b) { return b >= 0x21 && b <= 0x7E ? static_cast<char>(b) : '.'; }

}  // namespace

RamDump::RamDump(ReadBlock read, WriteBlock write) : read_(std::move(read)), write_(std::move(write)) {}

void RamDump::Attach(uint8_t* image, int size) {
  image_ = image;
  size_ = image && size > 0 ? size / kBlockBytes * kBlockBytes : 0;
  shown_.assign(image_, image_ + size_);
  const std::size_t mapBytes = static_cast<std::size_t>((size_ + 511) / 512);
  loaded_.assign(mapBytes, 0);
  dirty_.assign(mapBytes, 0);
  red_.assign(static_cast<std::size_t>(size_), false);
  redCount_ = 0;
  caret_ = Caret{};
}

std::string RamDump::LineText(int line) const {
  if (line < 0 || line >= LineCount()) return {};
  std::string text(kLineLength, ' ');
  const int offset = line * kLineBytes;
  for (int k = 0; k < 4; ++k) text[k] = kHexDigits[(offset >> (12 - 4 * k)) & 0xF];
  for (int j = 0; j < kLineBytes; ++j) {
    const uint8_t b = shown_[static_cast<std::size_t>(offset + j)];
    text[kHexColumn + 3 * j] = kHexDigits[b >> 4];
    text[kHexColumn + 3 * j + 1] = kHexDigits[b & 0xF];
    text[kAsciiColumn + j] = AsciiOf(b);
  }
  return text;
}

std::string RamDump::Text() const {
  std::string all;
  all.reserve(static_cast<std::size_t>(LineCount()) * (kLineLength + 1));
  for (int line = 0; line < LineCount(); ++line) {
    all += LineText(line);
    all += '\n';
  }
  return all;
}

uint8_t RamDump::Shown(int offset) const {
  return offset >= 0 && offset < size_ ? shown_[static_cast<std::size_t>(offset)] : 0;
}

bool RamDump::IsRed(int offset) const {
  return offset >= 0 && offset < size_ && red_[static_cast<std::size_t>(offset)];
}

void RamDump::SetRed(int offset, bool on) {
  const std::size_t k = static_cast<std::size_t>(offset);
  if (red_[k] == on) return;
  red_[k] = on;
  redCount_ += on ? 1 : -1;
}

void RamDump::ClearRed() {
  if (redCount_ == 0) return;
  std::fill(red_.begin(), red_.end(), false);
  redCount_ = 0;
}

bool RamDump::TestBit(const std::vector<uint8_t>& map, int block) {
  if (block < 0 || block / 8 >= static_cast<int>(map.size())) return false;
  return (map[static_cast<std::size_t>(block / 8)] >> (block % 8)) & 1;
}

void RamDump::SetBit(std::vector<uint8_t>& map, int block, bool on) {
  if (block < 0 || block / 8 >= static_cast<int>(map.size())) return;
  const uint8_t mask = static_cast<uint8_t>(1u << (block % 8));
  uint8_t& byte = map[static_cast<std::size_t>(block / 8)];
  byte = on ? static_cast<uint8_t>(byte | mask) : static_cast<uint8_t>(byte & ~mask);
}

bool RamDump::AnyDirty() const {
  return std::any_of(dirty_.begin(), dirty_.end(), [](uint8_t b) { return b != 0; });
}

void RamDump::ClearLoaded() { std::fill(loaded_.begin(), loaded_.end(), 0); }

void RamDump::MarkDirty(int offset) {
  if (offset < 0 || offset >= size_) return;
  SetBit(dirty_, offset / kBlockBytes, true);
}

bool RamDump::LoadForEdit(int offset) {
  if (offset < 0 || offset >= size_) return false;
  return LoadBlock(offset / kBlockBytes);
}

bool RamDump::RedrawLine(int lineOffset) {
  if (lineOffset < 0 || lineOffset >= size_) return false;
  const int start = lineOffset / kLineBytes * kLineBytes;
  bool changed = false;
  for (int i = start; i < start + kLineBytes; ++i) {
    const std::size_t k = static_cast<std::size_t>(i);
    if (image_[k] == shown_[k]) continue;
    shown_[k] = image_[k];
    SetRed(i, true);
    changed = true;
  }
  return changed;
}

std::vector<int> RamDump::WindowBlocks(int firstLine, int pageLines) const {
  std::vector<int> starts;
  firstLine = std::max(firstLine, 0);
  pageLines = std::max(pageLines, 1);
  const long from = static_cast<long>(firstLine) * kLineBytes / kBlockBytes * kBlockBytes;
  const long to = std::min<long>(
      (static_cast<long>(firstLine + pageLines) * kLineBytes + kBlockBytes) / kBlockBytes * kBlockBytes, size_);
  for (long start = from; start < to; start += kBlockBytes) starts.push_back(static_cast<int>(start));
  return starts;
}

bool RamDump::ReadInto(int block) {
  const int start = block * kBlockBytes;
  if (!read_ || !read_(image_ + start, start)) return false;
  SetBit(loaded_, block, true);
  return true;
}

void RamDump::ShowBlock(int block) {
  const int start = block * kBlockBytes;
  std::copy(image_ + start, image_ + start + kBlockBytes, shown_.begin() + start);
}

bool RamDump::LoadBlock(int block) {
  if (!NeedsRead(block)) return true;
  if (!ReadInto(block)) return false;
  ClearRed();
  ShowBlock(block);
  return true;
}

bool RamDump::ReloadVisible(int firstLine, int pageLines) {
  for (const int start : WindowBlocks(firstLine, pageLines))
    if (!LoadBlock(start / kBlockBytes)) return false;
  return true;
}

bool RamDump::ReloadAfterStop(int firstLine, int pageLines) {
  ClearRed();
  for (const int start : WindowBlocks(firstLine, pageLines)) {
    const int block = start / kBlockBytes;
    if (!NeedsRead(block)) continue;
    if (!ReadInto(block)) return false;
    for (int line = start; line < start + kBlockBytes; line += kLineBytes) RedrawLine(line);
  }
  return true;
}

bool RamDump::WriteBack() {
  bool ok = true;
  for (int block = 0; block < BlockCount(); ++block) {
    if (!IsDirty(block)) continue;
    const int start = block * kBlockBytes;
    bool written = false;
    for (int attempt = 0; attempt < kWriteTries && !written; ++attempt)
      written = write_ && write_(image_ + start, start);
    if (written)
      SetBit(dirty_, block, false);
    else
      ok = false;
  }
  return ok;
}

void RamDump::SetCaret(int line, int column) {
  caret_.line = std::clamp(line, 0, std::max(LineCount() - 1, 0));
  caret_.column = std::clamp(column, 0, kLineLength);
}

void RamDump::MoveCaret(CaretKey key, int pageLines) {
  const int last = std::max(LineCount() - 1, 0);
  const int page = std::max(pageLines - 1, 1);
  Caret& c = caret_;
  switch (key) {
    case CaretKey::Left:
      if (c.column > 0) {
        --c.column;
      } else if (c.line > 0) {
        --c.line;
        c.column = kLineLength;
      }
      break;
    case CaretKey::Right:
      if (c.column < kLineLength) {
        ++c.column;
      } else if (c.line < last) {
        ++c.line;
        c.column = 0;
      }
      break;
    case CaretKey::Up: c.line = std::max(c.line - 1, 0); break;
    case CaretKey::Down: c.line = std::min(c.line + 1, last); break;
    case CaretKey::PageUp: c.line = std::max(c.line - page, 0); break;
    case CaretKey::PageDown: c.line = std::min(c.line + page, last); break;
    case CaretKey::DocumentHome: c.line = 0; break;
    case CaretKey::DocumentEnd: c.line = last; break;
    case CaretKey::Home:
    case CaretKey::End:
    case CaretKey::Other: break;
  }
  if (key == CaretKey::Home || key == CaretKey::DocumentHome) {
    c.column = kHexColumn;
  } else if (key == CaretKey::End || key == CaretKey::DocumentEnd) {
    c.column = kLastPairColumn;
  } else if (c.column < kHexColumn) {
    c.column = kLastPairColumn;
    if (c.line > 0) --c.line;
  } else if (c.column > kLastHexColumn) {
    c.column = kHexColumn;
    if (c.line < last) ++c.line;
  }
}

void RamDump::AfterClick() {
  if (caret_.column <= kHexColumn)
    caret_.column = kHexColumn;
  else if (caret_.column >= kAsciiColumn)
    caret_.column = kLastPairColumn;
}

RamDump::EditResult RamDump::TypeDigit(int digit) {
  if (digit < 0 || digit > 15) return EditResult::Ignored;
  int column = caret_.column;
  const int line = caret_.line;
  if (column < kHexColumn || line < 0 || line >= LineCount()) return EditResult::Ignored;
  if ((column - kHexColumn) % 3 == 2) ++column;
  if (column > kLastHexColumn) return EditResult::Ignored;

  const int index = (column - kHexColumn) / 3 + line * kLineBytes;
  const int block = index / kBlockBytes;
  if (!LoadBlock(block)) return EditResult::ReadFailed;
  const bool high = (column - kHexColumn) % 3 == 0;
  uint8_t& byte = image_[index];
  byte = high ? static_cast<uint8_t>((byte & 0x0F) | (digit << 4)) : static_cast<uint8_t>((byte & 0xF0) | digit);
  shown_[static_cast<std::size_t>(index)] = byte;
  SetRed(index, false);
  SetBit(dirty_, block, true);

  column += high ? 1 : 2;
  int nextLine = line;
  if (column > kLastHexColumn) {
    column = kHexColumn;
    if (line < LineCount() - 1) ++nextLine;
  }
  caret_ = Caret{nextLine, column};
  return EditResult::Edited;
}

}  // namespace vx930
