// Feeds arbitrary bytes to the ".SYM" reader as the symbol file beside a
// program full of branches, jumps and calls, runs the label pass and builds
// the listing, where arbitrary names meet the line maps. Checked against a
// plain second reading of the file and against the program's transfer
// targets, worked out here from its bytes:
//  - the messages (text and caption), in order;
//  - Symbols and Labels together hold the file's names, each address's
//    label being its first name;
//  - a label sits exactly at each named target, and the line of every
//    transfer to a label names it;
//  - the listing's line maps, label lines and address column.
// The listing is built and checked for every input that reads a set of names
// not read before.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ide/image/hex_decoder.h"
#include "platform/messages.h"
#include "tests/fuzz/image_oracles.h"
#include "tests/fuzz/scratch_files.h"

namespace {

using namespace vx930::fuzz;

const std::string& Folder() { return ScratchFolder("vx930-sym-fuzz"); }

// LJMP, SJMP, AJMP, ACALL, LCALL, CJNE, DJNZ, JB and MOVs of direct, bit and
// immediate operands that names can stand for.
const uint8_t kProgram[] = {0x02, 0x00, 0x10, 0x80, 0xFE, 0x21, 0x00, 0x31, 0x40, 0x12, 0x00, 0x03,
                            0xB4, 0x30, 0xF0, 0xD8, 0xFE, 0x20, 0x05, 0xFA, 0x75, 0x30, 0x40, 0xE5,
                            0x20, 0xC2, 0x0B, 0x85, 0x10, 0x11, 0x74, 0x03, 0xFF, 0x22};
// Where copies of it lie: the page-relative jumps reach other pages from
// each, and the last copy ends at the top of memory.
const uint32_t kCopies[] = {0x0000, 0x0A3C, 0x8000, 0x10000 - sizeof kProgram};

// The copies, and between them three-byte MOV DPTR,#9090H and erased bytes up
// to the next copy: a third of the lines an erased image lists, as the
// listing of every input is most of a run's time.
void FillImage(vx930::CodeImage& image) {
  image.fill(0xFF);
  uint32_t a = 0;
  for (uint32_t copy : kCopies) {
    for (; a + 3 <= copy; a += 3) std::fill_n(image.begin() + a, 3, uint8_t{0x90});
    std::copy(std::begin(kProgram), std::end(kProgram), image.begin() + copy);
    a = copy + sizeof kProgram;
  }
}

// The target of the transfer at i, or -1: relative branches, the 11-bit
// jumps and calls of the page, and the 16-bit ones.
int32_t TargetAt(const vx930::CodeImage& code, int32_t i, int32_t length) {
  if (i + length > 0x10000) return -1;
  const uint8_t op = code[static_cast<std::size_t>(i)];
  auto at = [&](int32_t k) { return code[static_cast<std::size_t>(i + k)]; };
  const bool relative = op == 0x80 || op == 0x40 || op == 0x50 || op == 0x60 || op == 0x70 || op == 0x10 ||
                        op == 0x20 || op == 0x30 || (op >= 0xB4 && op <= 0xBF) || (op >= 0xD8 && op <= 0xDF) ||
                        op == 0xD5;
  if (relative) {
    const int32_t t = i + length + static_cast<int8_t>(at(length - 1));
    return t >= 0 && t <= 0xFFFF ? t : -1;
  }
  if ((op & 0x0F) == 0x01) return ((i + 2) & 0xF800) | ((op >> 5) << 8) | at(1);  // AJMP, ACALL
  if (op == 0x02 || op == 0x12) return at(1) * 256 + at(2);  // LJMP, LCALL
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::RecordingMessages messages;
  messages.Clear();
  platform::ScopedMessages scope(messages);
  const std::string hexPath = Folder() + "/PROG.HEX";
  WriteFile(Folder() + "/PROG.SYM", data, size);

  // One decoder over the fixed program; each input starts from no symbols.
  static auto* image = new vx930::CodeImage;
  static std::map<int32_t, std::vector<int32_t>>* transfers = nullptr;  // target -> instructions
  static auto* decoder = [] {
    auto* d = new vx930::CDecodeHex(image);
    FillImage(*image);
    d->MarkAllStarts();
    transfers = new std::map<int32_t, std::vector<int32_t>>;
    for (int32_t i = 0; i < 0x10000; i += d->GetInstLength(i))
      if (const int32_t t = TargetAt(*image, i, d->GetInstLength(i)); t >= 0) (*transfers)[t].push_back(i);
    return d;
  }();
  decoder->ClearSymbols();
  decoder->LoadSymbolFile(hexPath);

  const SymExpect sym = ReadSym(data, size);
  Check(messages.Texts() == sym.messages, "the messages differ");
  for (const platform::Message& m : messages.Shown()) Check(m.caption == "VX930_IDE", "a message without the title");
  CheckNames(*decoder, sym);
  std::set<int32_t> named;
  for (const auto& [a, name] : sym.names) named.insert(a);
  for (const auto& [a, name] : decoder->Labels()) Check(transfers->count(a) != 0, "a label where nothing goes");
  for (const auto& [t, from] : *transfers)
    Check(decoder->Labels().count(t) == named.count(t), "a named target without its label");

  // The listing depends on nothing but the names read: it is built and
  // checked once for each set of them (most inputs repeat one seen before).
  static auto* listed = new std::set<uint64_t>;
  uint64_t hash = 14695981039346656037u;  // FNV-1a over both maps
  auto mix = [&](const vx930::symbolmap& names) {
    for (const auto& [a, name] : names) {
      for (const char c : std::to_string(a) + ':' + name + '\n')
        hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211u;
    }
    hash = (hash ^ 0xFF) * 1099511628211u;
  };
  mix(decoder->Labels());
  mix(decoder->Symbols());
  if (listed->size() > 1000000) listed->clear();
  if (!listed->insert(hash).second) {
    decoder->ClearSymbols();
    return 0;
  }
  decoder->BuildListing();
  CheckListing(*decoder);
  for (const auto& [a, name] : decoder->Labels())
    for (const int32_t from : transfers->at(a)) {
      const std::string_view line = (*decoder->Listing())[static_cast<std::size_t>(decoder->AddressToLine(from))];
      Check(line.find(name + "(") != std::string_view::npos, "a transfer line does not name its label");
    }
  decoder->ClearSymbols();
  return 0;
}
