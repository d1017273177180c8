// Loading a full 64 KB program from Intel HEX and building its listing, the
// wait a user has at every open. The image is pseudo-random bytes, so the
// listing mixes every instruction length and operand kind.
//
// With VX_LISTING_IMAGE_DIR set, the image is also written there as PROG.HEX
// and PROG.BIN (for timing another disassembler on the same bytes).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "ide/image/hex_decoder.h"
#include "platform/messages.h"

namespace {

vx930::CodeImage RandomImage() {
  vx930::CodeImage image;
  uint32_t x = 0x9E3779B9u;
  for (auto& b : image) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x >> 24);
  }
  return image;
}

void WriteHex(const std::string& path, const vx930::CodeImage& image) {
  std::ofstream out(path, std::ios::binary);
  char line[80];
  for (std::size_t a = 0; a < image.size(); a += 32) {
    unsigned sum = 32 + (a >> 8) + (a & 0xFF);
    int n = std::snprintf(line, sizeof line, ":20%04X00", static_cast<unsigned>(a));
    for (std::size_t k = 0; k < 32; ++k) {
      sum += image[a + k];
      n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%02X", image[a + k]);
    }
    std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
    out << line;
  }
  out << ":00000001FF\r\n";
}

// The program file, written once per run.
const std::string& ProgramFile() {
  static const std::string path = [] {
    const vx930::CodeImage image = RandomImage();
    std::string dir;
    if (const char* keep = std::getenv("VX_LISTING_IMAGE_DIR")) {
      dir = keep;
      std::filesystem::create_directories(dir);
      std::ofstream bin(dir + "/PROG.BIN", std::ios::binary);
      bin.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    } else {
      char scratch[] = "/tmp/vx930-listing-bench-XXXXXX";
      if (!mkdtemp(scratch)) std::abort();
      dir = scratch;
      static std::string removeAtExit;
      removeAtExit = dir;
      std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(removeAtExit, ec);
      });
    }
    WriteHex(dir + "/PROG.HEX", image);
    return dir + "/PROG.HEX";
  }();
  return path;
}

void BM_LoadHexAndList(benchmark::State& state) {
  auto image = std::make_unique<vx930::CodeImage>();
  for (auto _ : state) {
    vx930::CDecodeHex decoder(image.get());
    if (!decoder.LoadHexFile(ProgramFile())) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(decoder.GetLineCount());
  }
}
BENCHMARK(BM_LoadHexAndList)->Unit(benchmark::kMillisecond);

void BM_BuildListing(benchmark::State& state) {
  auto image = std::make_unique<vx930::CodeImage>();
  vx930::CDecodeHex decoder(image.get());
  if (!decoder.LoadHexFile(ProgramFile())) state.SkipWithError("load failed");
  for (auto _ : state) {
    decoder.BuildListing();
    benchmark::DoNotOptimize(decoder.GetLineCount());
  }
  state.counters["lines"] = decoder.GetLineCount();
}
BENCHMARK(BM_BuildListing)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
