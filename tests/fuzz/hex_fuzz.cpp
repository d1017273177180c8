// Feeds arbitrary bytes to the IDE's Intel HEX reader as PROG.HEX, and the
// bytes after the input's first NUL, when it has one, as the PROG.SYM beside
// it. The load is compared with a plain second reading of both files:
//  - the image, byte for byte, against the data records;
//  - the result and the messages (text and caption), in order;
//  - Symbols and Labels together against the .SYM file's names, each
//    address's label being its first name in the file.
// The listing of the whole image and its check cost about 80 ms in the fuzz
// build, so they are done only for the first input of a run (so a crashing
// input run alone is listed) and for one input in kListEvery, chosen by a hash
// of the input so that a replay lists the same inputs. Every input has the
// lines of the first 256 addresses its records wrote disassembled and checked.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ide/image/hex_decoder.h"
#include "platform/messages.h"
#include "tests/fuzz/image_oracles.h"
#include "tests/fuzz/scratch_files.h"

namespace {

using namespace vx930::fuzz;

constexpr uint32_t kListEvery = 1024;

const std::string& Scratch() { return ScratchFolder("vx930-hex-fuzz"); }

int Digit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// --------------------------------------------------- second reading: HEX

struct HexExpect {
  vx930::CodeImage image;
  int32_t lowest = 0x10000;  // the lowest address a record wrote
  bool ok = false;
  bool lengthMessage = false;
};

// Records ":" NN AAAA TT data CC, then CR LF, LF or the end of the text.
void ReadHex(std::string_view t, HexExpect& e) {
  e.image.fill(0xFF);
  e.lowest = 0x10000;
  e.ok = false;
  e.lengthMessage = false;
  auto number = [&](std::size_t at, std::size_t digits, uint32_t& v) {
    if (at + digits > t.size()) return false;
    v = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
      if (Digit(static_cast<uint8_t>(t[i])) < 0) return false;
      v = v * 16 + static_cast<uint32_t>(Digit(static_cast<uint8_t>(t[i])));
    }
    return true;
  };
  std::size_t at = 0;
  while (at < t.size()) {
    uint32_t count = 0, address = 0, checksum = 0;
    if (t[at] != ':' || !number(at + 1, 2, count) || !number(at + 3, 4, address) || at + 9 > t.size()) return;
    const char type0 = t[at + 7], type1 = t[at + 8];
    if (type1 == '1') {
      e.ok = true;
      return;
    }
    if (count >= 128) {
      e.lengthMessage = true;
      return;
    }
    const std::size_t data = at + 9;
    if (count == 0 || data + 2 * count > t.size()) return;
    const bool addressRecord = type0 == '0' && type1 >= '2' && type1 <= '5';
    bool bad = false;
    std::vector<uint8_t> bytes;
    for (std::size_t k = 0; k < count; ++k) {
      // A bad digit: the byte keeps the digits before it.
      const int hi = Digit(static_cast<uint8_t>(t[data + 2 * k]));
      const int lo = Digit(static_cast<uint8_t>(t[data + 2 * k + 1]));
      bad |= hi < 0 || lo < 0;
      bytes.push_back(static_cast<uint8_t>(hi < 0 ? 0 : lo < 0 ? hi : hi * 16 + lo));
    }
    if (addressRecord) {
      // Only a zero segment or upper linear address keeps the code space.
      if ((type1 == '2' || type1 == '4') && (count != 2 || bytes[0] != 0 || bytes[1] != 0)) return;
    } else {
      for (std::size_t k = 0; k < count; ++k) {
        if (address + k > 0xFFFF) {
          bad = true;
          break;
        }
        e.image[address + k] = bytes[k];
        e.lowest = std::min(e.lowest, static_cast<int32_t>(address + k));
      }
    }
    if (bad) return;
    std::size_t end = data + 2 * count;
    if (!number(end, 2, checksum)) return;
    end += 2;
    if (end < t.size()) {
      if (t.substr(end, 2) == "\r\n")
        end += 2;
      else if (t[end] == '\n')
        end += 1;
      else
        return;
    }
    at = end;
  }
  e.ok = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::RecordingMessages messages;
  static int runs = 0;
  messages.Clear();
  platform::ScopedMessages scope(messages);

  const uint8_t* nul = std::find(data, data + size, uint8_t{0});
  const std::size_t hexSize = static_cast<std::size_t>(nul - data);
  const std::string hexPath = Scratch() + "/PROG.HEX";
  const std::string symPath = Scratch() + "/PROG.SYM";
  WriteFile(hexPath, data, hexSize);
  if (hexSize < size)
    WriteFile(symPath, nul + 1, size - hexSize - 1);
  else
    std::remove(symPath.c_str());

  // One decoder for every input: each load starts again from a cleared image.
  static auto* image = new vx930::CodeImage;
  static auto* decoder = new vx930::CDecodeHex(image);
  const vx930::CDecodeHex::HexRead read = decoder->ReadHexFile(hexPath);
  Check(read != vx930::CDecodeHex::HexRead::NotOpened, "the file did not open");

  static auto* expect = new HexExpect;
  const HexExpect& hex = *expect;
  ReadHex(std::string_view(reinterpret_cast<const char*>(data), hexSize), *expect);
  Check((read == vx930::CDecodeHex::HexRead::Good) == hex.ok, "the result differs");
  Check(std::equal(image->begin(), image->end(), hex.image.begin()), "the image differs from the records");

  SymExpect sym;
  if (hexSize < size) sym = ReadSym(nul + 1, size - hexSize - 1);
  std::vector<std::string> expected;
  if (hex.lengthMessage) expected.push_back("Hex Length Column Error!!");
  expected.insert(expected.end(), sym.messages.begin(), sym.messages.end());
  Check(messages.Texts() == expected, "the messages differ");
  for (const platform::Message& m : messages.Shown()) Check(m.caption == "VX930_IDE", "a message without the title");

  CheckNames(*decoder, sym);

  // The lines of the range the records wrote.
  const int32_t to = std::min<int32_t>(0x10000, hex.lowest + 256);
  for (int32_t a = hex.lowest; a < to; ++a)
    if (decoder->StartMap()[static_cast<std::size_t>(a)] == 1) CheckLine(decoder->DisasmLine(a), a);

  uint32_t hash = 2166136261u;  // FNV-1a
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  if (runs++ == 0 || hash % kListEvery == 0) {
    decoder->BuildListing();
    CheckListing(*decoder);
  }
  // Nothing this input allocated outlives it: libFuzzer runs an input again
  // to look for a leak when its mallocs and frees do not match.
  decoder->ClearSymbols();
  return 0;
}
