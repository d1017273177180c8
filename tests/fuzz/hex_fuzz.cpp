// Feeds arbitrary bytes to the IDE's Intel HEX reader as a file, then checks
// the decoder's invariants: one LineMap entry per listing line, every address
// mapped to a line that shows it or a neighbour.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
std::string g_scratch;

std::string ScratchFile() {
  if (g_scratch.empty()) {
    char dir[] = "/tmp/vx930-hex-fuzz-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    g_scratch = dir;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(g_scratch, ec);
    });
  }
  return g_scratch + "/PROG.HEX";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SilentMessages silent;
  platform::ScopedMessages scope(silent);
  const std::string path = ScratchFile();
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    std::abort();
  }

  // One decoder for every input: each load starts again from a cleared image.
  static auto* image = new vx930::CodeImage;
  static auto* decoder = new vx930::CDecodeHex(image);
  decoder->LoadHexFile(path);

  const auto& listing = *decoder->Listing();
  if (decoder->GetLineCount() != listing.size()) std::abort();
  for (int32_t a = 0; a < 0x10000; a += 0x101) {
    const int32_t line = decoder->AddressToLine(a);
    if (line < 0 || static_cast<uint32_t>(line) >= decoder->GetLineCount()) std::abort();
    const int32_t shown = decoder->LineToAddress(line);
    if (shown < 0 || shown > a || a - shown > 2) std::abort();
  }
  return 0;
}
