// Instruction lines, operand texts and the whole-memory listing.
#include <algorithm>

#include "ide/image/hex_decoder.h"
#include "ide/image/line_writer.h"
#include "ide/image/opcode_table.h"
#include "ide/image/register_names.h"

namespace vx930 {

namespace {

constexpr int32_t kTop = static_cast<int32_t>(kCodeSize);

// The first name at the address, or null.
const std::string* FirstAt(const symbolmap& map, int32_t address) {
  if (map.empty()) return nullptr;
  auto it = map.lower_bound(address);
  return (it != map.end() && it->first == address) ? &it->second : nullptr;
}

}  // namespace

void CDecodeHex::AppendDirAdd(LineWriter& out, uint8_t direct) const {
  if (direct > 0x7F) {
    const std::string_view name = DirName(direct);
    if (!name.empty()) {
      out.Put(name);
    } else {
      out.Hex2(direct);
      out.Put('H');
    }
    return;
  }
  if (const std::string* name = FirstAt(symbols_, direct)) {
    out.Put(*name);
    out.Put('(');
    out.Hex2(direct);
    out.Put("H)");
  } else {
    out.Hex2(direct);
    out.Put('H');
  }
}

void CDecodeHex::AppendBitAdd(LineWriter& out, uint8_t bit) const {
  if (bit > 0x7F) {
    const std::string_view name = BitName(bit);
    if (!name.empty()) {
      out.Put(name);
    } else {
      out.Hex2(bit & 0xF8);
      out.Put("H.");
      out.Put(static_cast<char>('0' + bit % 8));
    }
    return;
  }
  // Bits 0..0x7F live in the bit-addressable RAM bytes 0x20..0x2F.
  out.Hex2(0x20 + bit / 8);
  out.Put('.');
  out.Put(static_cast<char>('0' + bit % 8));
  out.Put('H');
}

std::string CDecodeHex::GetDirAdd(uint8_t direct) const {
  LineWriter out;
  AppendDirAdd(out, direct);
  return std::string(out.View());
}

std::string CDecodeHex::GetBitAdd(uint8_t bit) const {
  LineWriter out;
  AppendBitAdd(out, bit);
  return std::string(out.View());
}

void CDecodeHex::FormatOperands(LineWriter& out, std::string_view pattern, int32_t length, int32_t a) const {
  const CodeImage& code = Code();
  // Callers keep a..a+length-1 inside the image; a pattern that asks for more
  // bytes than that still reads nothing past the top.
  auto byte = [&](int32_t k) -> uint8_t {
    const int32_t at = a + k;
    return at < kTop ? code[static_cast<std::size_t>(at)] : uint8_t{0xFF};
  };
  const uint8_t op = byte(0);
  int32_t k = 1;
  int directs = 0;
  auto appendTarget = [&](int32_t t) {
    if (const std::string* name = FirstAt(labels_, t)) {
      out.Put(*name);
      out.Put('(');
      out.Hex4(static_cast<uint32_t>(t));
      out.Put("H)");
    } else {
      out.Hex2(static_cast<uint32_t>(t));
      out.Put('H');
    }
  };
  while (k <= length) {
    const std::size_t caret = pattern.find('^');
    const std::string_view token = pattern.substr(0, caret);
    pattern = caret == std::string_view::npos ? std::string_view() : pattern.substr(caret + 1);

    if (token == "direct") {
      // MOV direct,direct is encoded source first.
      int32_t at = k;
      if (op == 0x85) at = directs == 0 ? 2 : 1;
      ++directs;
      AppendDirAdd(out, byte(at));
      ++k;
    } else if (token == "#data") {
      const uint8_t v = byte(k);
      out.Put('#');
      if (const std::string* name = FirstAt(symbols_, v)) {
        out.Put(*name);
        out.Put('(');
        out.Hex2(v);
        out.Put("H)");
      } else {
        out.Hex2(v);
        out.Put('H');
      }
      ++k;
    } else if (token == "#data16") {
      out.Put('#');
      out.Hex2(byte(1));
      out.Hex2(byte(2));
      out.Put('H');
    } else if (token == "addr11") {
      appendTarget(Addr11Target(a, op, byte(1)));
    } else if (token == "addr16") {
      appendTarget(Addr16Target(byte(1), byte(2)));
    } else if (token == "rel") {
      const int32_t t = RelTarget(a, length, byte(k));
      ++k;
      if (t < 0 || t > 0xFFFF)
        out.Put("XXXX");
      else
        appendTarget(t);
    } else if (token == "bit") {
      AppendBitAdd(out, byte(k));
      ++k;
    } else if (token == "/bit") {
      out.Put('/');
      AppendBitAdd(out, byte(k));
      ++k;
    } else {
      out.Put(token);
    }
    if (pattern.empty()) break;
    out.Put(',');
  }
}

std::string CDecodeHex::DecodeOperands(std::string_view pattern, int32_t length, int32_t address) const {
  if (address < 0 || length < 1 || length > 3 || address + length > kTop) return "???";
  LineWriter out;
  FormatOperands(out, pattern, length, address);
  return std::string(out.View());
}

void CDecodeHex::FormatInstruction(LineWriter& out, int32_t a, int32_t bytes) const {
  const CodeImage& code = Code();
  const uint8_t op = code[static_cast<std::size_t>(a)];
  const OpcodeRow& row = OpcodeTable[op];
  out.Hex4(static_cast<uint32_t>(a));
  out.Put("    ");
  if (bytes < row.length) {
    // Overlap convention: the bytes there are, then "???" for what cannot be decoded.
    for (int32_t j = 0; j < bytes; ++j) {
      out.Hex2(code[static_cast<std::size_t>(a + j)]);
      out.Put(' ');
    }
    out.Put("???");
    return;
  }
  for (int32_t j = 0; j < 3; ++j) {
    if (j < row.length)
      out.Hex2(code[static_cast<std::size_t>(a + j)]);
    else
      out.Put("  ");
    out.Put(' ');
  }
  out.Put("  ");
  out.Put(row.mnemonic);
  if (op == 0xFF)
    out.Put("R7,A");
  else if (op != 0x00)
    FormatOperands(out, row.operands, row.length, a);
}

std::string CDecodeHex::DisasmLine(int32_t address) const {
  if (address < 0 || address >= kTop) return {};
  LineWriter out;
  FormatInstruction(out, address, BytesInImage(address));
  return std::string(out.View());
}

void CDecodeHex::BuildListing() {
  if (!listing_) return;
  StringList& listing = *listing_;
  listing.clear();
  lineMap_.clear();
  // An erased image has 65536 lines of 31 characters; longer lines are rarer.
  listing.reserve(kCodeSize + labels_.size(), kCodeSize * 40);
  lineMap_.reserve(kCodeSize + labels_.size());
  const CodeImage& code = Code();
  LineWriter text;

  int32_t a = 0;
  while (a < kTop) {
    if (startMap_[static_cast<std::size_t>(a)] == 0) {
      ++a;  // an operand byte of an earlier instruction gets no line
      continue;
    }
    if (const std::string* label = FirstAt(labels_, a)) {
      text.Clear();
      text.Put(*label);
      text.Put(':');
      listing.push_back(text.View());
      lineMap_.push_back(-1);
    }
    const int32_t length = OpcodeTable[code[static_cast<std::size_t>(a)]].length;
    int32_t i = 1;
    while (i < length && a + i < kTop && startMap_[static_cast<std::size_t>(a + i)] == 0) ++i;
    // Stopped short by another start, or by the top of memory: an overlap line.
    text.Clear();
    FormatInstruction(text, a, i);
    listing.push_back(text.View());
    lineMap_.push_back(a);
    a += i;
  }

  std::fill(addrLineTable_.begin(), addrLineTable_.end(), 0);
  for (std::size_t line = 0; line < lineMap_.size(); ++line) {
    const int32_t x = lineMap_[line];
    if (x < 0) continue;
    for (int32_t k = 0; k < 3 && x + k < kTop; ++k)
      addrLineTable_[static_cast<std::size_t>(x + k)] = static_cast<int32_t>(line);
  }
}

}  // namespace vx930
