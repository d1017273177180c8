// Feeds arbitrary bytes to the ".SYM" reader as the symbol file beside a
// small program full of branches and calls, runs the label pass and
// disassembles the program with whatever names were read.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <string>

#include "ide/image/hex_decoder.h"
#include "platform/messages.h"

namespace {

class SilentMessages final : public platform::MessageService {
public:
  platform::Answer Show(const platform::Message& m) override { return platform::DefaultAnswer(m.buttons); }
  void Beep(bool) override {}
};

// A scratch folder for the input file, removed when the process ends.
std::string g_folder;

const std::string& Folder() {
  if (g_folder.empty()) {
    char d[] = "/tmp/vx930-sym-fuzz-XXXXXX";
    if (!mkdtemp(d)) std::abort();
    g_folder = d;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(g_folder, ec);
    });
  }
  return g_folder;
}

// LJMP, SJMP, AJMP, ACALL, LCALL, CJNE, DJNZ, JB and MOVs of direct, bit and
// immediate operands that names can stand for.
const uint8_t kProgram[] = {0x02, 0x00, 0x10, 0x80, 0xFE, 0x21, 0x00, 0x31, 0x40, 0x12, 0x00, 0x03,
                            0xB4, 0x30, 0xF0, 0xD8, 0xFE, 0x20, 0x05, 0xFA, 0x75, 0x30, 0x40, 0xE5,
                            0x20, 0xC2, 0x0B, 0x85, 0x10, 0x11, 0x74, 0x03, 0xFF, 0x22};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SilentMessages silent;
  platform::ScopedMessages scope(silent);
  const std::string hexPath = Folder() + "/PROG.HEX";
  if (std::FILE* f = std::fopen((Folder() + "/PROG.SYM").c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    std::abort();
  }

  // One decoder over the fixed program; each input starts from no symbols.
  static auto* image = new vx930::CodeImage;
  static auto* decoder = [] {
    auto* d = new vx930::CDecodeHex(image);
    std::copy(std::begin(kProgram), std::end(kProgram), image->begin());
    d->MarkAllStarts();
    return d;
  }();
  decoder->ClearSymbols();
  decoder->LoadSymbolFile(hexPath);

  for (const auto& [address, name] : decoder->Symbols())
    if (address < 0 || address > 0xFFFF) std::abort();
  for (const auto& [address, name] : decoder->Labels())
    if (decoder->Labels().count(address) != 1) std::abort();
  for (int32_t a = 0; a < static_cast<int32_t>(sizeof kProgram); a += decoder->GetInstLength(a))
    if (decoder->DisasmLine(a).empty()) std::abort();
  return 0;
}
