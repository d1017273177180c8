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
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ide/image/hex_decoder.h"
#include "platform/messages.h"

namespace {

constexpr uint32_t kListEvery = 1024;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "hex fuzz: %s\n", what);
  std::abort();
}

// A scratch folder for the input files, removed when the process ends.
std::string g_scratch;

const std::string& Scratch() {
  if (g_scratch.empty()) {
    // In memory where the system has it: two files are written per input.
    std::error_code ec;
    std::string dir = std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "/tmp";
    dir += "/vx930-hex-fuzz-XXXXXX";
    if (!mkdtemp(dir.data())) std::abort();
    g_scratch = dir;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(g_scratch, ec);
    });
  }
  return g_scratch;
}

// Unbuffered: a stdio buffer per file is most of what an input allocates.
void WriteFile(const std::string& path, const uint8_t* data, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  Check(fd >= 0, "cannot write the scratch file");
  const bool written = size == 0 || ::write(fd, data, size) == static_cast<ssize_t>(size);
  ::close(fd);
  Check(written, "cannot write the scratch file");
}

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

// --------------------------------------------------- second reading: .SYM

struct SymExpect {
  std::vector<std::pair<int32_t, std::string>> names;  // file order
  std::vector<std::string> messages;
};

SymExpect ReadSym(const uint8_t* s, std::size_t n) {
  SymExpect e;
  auto formatError = [&] { e.messages.push_back("Symbol File Format Error!!"); };
  if (n == 0 || s[0] != 0xFE) {
    formatError();
    return e;
  }
  std::size_t at = 1;
  for (;;) {
    if (at >= n) return formatError(), e;
    const std::size_t header = s[at];
    at += 1 + header;
    if (at + 3 > n) return formatError(), e;
    const std::size_t length = (std::size_t{s[at]} << 16) | (std::size_t{s[at + 1]} << 8) | s[at + 2];
    at += 3;
    if (at + length > n) return formatError(), e;
    const uint8_t* body = s + at;
    if (length == 0 || body[0] > 4) return formatError(), e;
    const std::size_t width = body[0];
    std::size_t p = 1;
    while (p + 1 < length) {
      const std::size_t nameLength = body[p];
      if (p + 1 + nameLength + width > length) return formatError(), e;
      std::string name;
      for (std::size_t i = 0; i < nameLength; ++i) {
        const uint8_t c = body[p + 1 + i];
        name.push_back(c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c));
      }
      p += 1 + nameLength;
      uint64_t address = 0;
      for (std::size_t k = 0; k < width; ++k) address += uint64_t{body[p + k]} << (8 * k);
      p += width;
      if (address > 0xFFFF) {
        e.messages.push_back("Address out of range");
        break;
      }
      e.names.emplace_back(static_cast<int32_t>(address), name);
    }
    at += length;
    if (at >= n || s[at] == 0xFF) return e;
  }
}

// ------------------------------------------------------------ the listing

std::string Hex4(int32_t a) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(a));
  return text;
}

void CheckLine(std::string_view line, int32_t a) {
  Check(line.find('\n') == std::string_view::npos, "a listing line holds a line break");
  Check(line.substr(0, 4) == Hex4(a), "a listing line does not start with its address");
}

void CheckListing(const vx930::CDecodeHex& d) {
  const vx930::StringList& listing = *d.Listing();
  const std::vector<int32_t>& map = d.LineMap();
  Check(map.size() == listing.size() && d.GetLineCount() == listing.size(), "line map and listing differ in size");
  int32_t previous = -1;
  for (std::size_t line = 0; line < map.size(); ++line) {
    if (map[line] < 0) {
      // A label line names the instruction below it.
      Check(line + 1 < map.size() && map[line + 1] >= 0, "a label line without its instruction");
      const auto label = d.Labels().find(map[line + 1]);
      Check(label != d.Labels().end() && listing[line] == label->second + ":", "a label line differs");
      continue;
    }
    Check(map[line] > previous && d.StartMap()[static_cast<std::size_t>(map[line])] == 1, "line map out of order");
    previous = map[line];
    CheckLine(listing[line], map[line]);
    if (d.Labels().count(map[line]) != 0)
      Check(line > 0 && map[line - 1] == -1, "a label at an instruction start has no label line");
  }
  for (int32_t a = 0; a < 0x10000; ++a) {
    const int32_t line = d.AddressToLine(a);
    Check(line >= 0 && static_cast<std::size_t>(line) < map.size(), "an address maps past the listing");
    const int32_t shown = d.LineToAddress(line);
    Check(shown >= 0 && shown <= a && a - shown <= 2, "an address maps to a line of another instruction");
  }
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

  // Per address the label, then the symbols left, are the file's names in order.
  std::map<int32_t, std::vector<std::string>> byAddress;
  for (const auto& [a, name] : sym.names) byAddress[a].push_back(name);
  std::map<int32_t, std::vector<std::string>> read2;
  for (const auto& [a, name] : decoder->Labels()) {
    Check(decoder->Labels().count(a) == 1, "two labels at one address");
    read2[a].push_back(name);
  }
  for (const auto& [a, name] : decoder->Symbols()) read2[a].push_back(name);
  Check(read2 == byAddress, "symbols and labels differ from the symbol file");

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
