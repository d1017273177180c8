// The ".SYM" symbol file and the label pass.
#include <filesystem>

#include "ide/image/file_bytes.h"
#include "ide/image/hex_decoder.h"
#include "ide/image/ide_message.h"
#include "ide/image/opcode_table.h"

namespace vx930 {

namespace {

constexpr int32_t kTop = static_cast<int32_t>(kCodeSize);

void FormatError() { ShowIdeMessage("Symbol File Format Error!!"); }

bool IsFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

std::string CDecodeHex::SymbolFileName(const std::string& hexPath) {
  // The extension is taken from the file name only, never from a directory.
  const std::size_t slash = hexPath.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = hexPath.find_last_of('.');
  const std::string stem = (dot == std::string::npos || dot < nameStart) ? hexPath : hexPath.substr(0, dot);
  // Names on Linux are case-sensitive; a lower-case ".sym" beside the program
  // is the same file to the user.
  std::string upper = stem + ".SYM";
  if (!IsFile(upper)) {
    std::string lower = stem + ".sym";
    if (IsFile(lower)) return lower;
  }
  return upper;
}

bool CDecodeHex::SymbolFileExists(const std::string& hexPath) { return IsFile(SymbolFileName(hexPath)); }

void CDecodeHex::LoadSymbolFile(const std::string& hexPath) {
  if (!SymbolFileExists(hexPath)) return;
  ReadSymbolFile(hexPath);
  BuildLabels();
}

void CDecodeHex::ReadSymbolFile(const std::string& hexPath) {
  std::vector<uint8_t> file;
  if (!ReadFileBytes(SymbolFileName(hexPath), file)) return;
  const std::size_t size = file.size();
  if (size == 0 || file[0] != 0xFE) {
    FormatError();
    return;
  }
  std::size_t pos = 1;
  for (;;) {
    // header length and header
    if (pos >= size) return FormatError();
    const std::size_t header = file[pos++];
    if (size - pos < header) return FormatError();
    pos += header;
    // body length, big-endian, and body
    if (size - pos < 3) return FormatError();
    const uint32_t body = (uint32_t{file[pos]} << 16) | (uint32_t{file[pos + 1]} << 8) | file[pos + 2];
    pos += 3;
    if (size - pos < body) return FormatError();
    if (!ReadSymbolBlock(file.data() + pos, body)) return;
    pos += body;
    // 0xFF or the end of the file ends it; any other byte starts the next block.
    if (pos >= size || file[pos] == 0xFF) return;
  }
}

bool CDecodeHex::ReadSymbolBlock(const uint8_t* body, uint32_t length) {
  if (!body || length == 0) {
    FormatError();  // not even the address width
    return false;
  }
  const uint32_t width = body[0];
  if (width > 4) {
    FormatError();
    return false;
  }
  uint32_t p = 1;
  // The body's last byte never starts a record.
  while (p + 1 < length) {
    const uint32_t nameLength = body[p];
    if (length - (p + 1) < nameLength) {
      FormatError();
      return false;
    }
    std::string name(reinterpret_cast<const char*>(body + p + 1), nameLength);
    // A line break in a name would split its listing line and shift every
    // line-to-address map below it.
    for (char& c : name)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    p += 1 + nameLength;
    if (length - p < width) {
      FormatError();
      return false;
    }
    uint32_t address = 0;
    for (uint32_t k = 0; k < width; ++k) address |= uint32_t{body[p + k]} << (8 * k);
    p += width;
    if (address > 0xFFFF) {
      ShowIdeMessage("Address out of range");
      return true;
    }
    symbols_.emplace(static_cast<int32_t>(address), std::move(name));
  }
  return true;
}

void CDecodeHex::MoveSymbolToLabel(int32_t target) {
  if (labels_.count(target) != 0) return;
  const auto it = symbols_.lower_bound(target);
  if (it == symbols_.end() || it->first != target) return;
  labels_.emplace(target, it->second);
  symbols_.erase(it);
}

void CDecodeHex::BuildLabels() {
  if (symbols_.empty()) return;  // nothing to move
  const CodeImage& code = Code();
  for (int32_t i = 0; i < kTop; ++i) {
    if (startMap_[static_cast<std::size_t>(i)] != 1) continue;
    const uint8_t op = code[static_cast<std::size_t>(i)];
    const TransferKind kind = KindOf(op);
    if (kind == TransferKind::None) continue;
    const int32_t length = OpcodeTable[op].length;
    if (i + length > kTop) continue;  // its operand bytes lie past the image
    auto byte = [&](int32_t at) { return code[static_cast<std::size_t>(at)]; };
    int32_t t = 0;
    if (kind == TransferKind::RelBranch) {
      t = RelTarget(i, length, byte(i + length - 1));
      if (t < 0 || t > 0xFFFF) continue;
    } else {
      t = length == 2 ? Addr11Target(i, op, byte(i + 1)) : Addr16Target(byte(i + 1), byte(i + 2));
    }
    MoveSymbolToLabel(t);
  }
}

}  // namespace vx930
