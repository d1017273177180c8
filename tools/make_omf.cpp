// vx930-make-omf: describes an SDCC-compiled 8051 program as an OMF file of
// the dialect the IDE reads, for the samples.
//
//   vx930-make-omf PROGRAM.ihx PROGRAM.cdb SOURCE.c OUT
//
// The code comes from the Intel HEX file; procedures (from their start and
// end addresses), C line numbers and global variables come from SDCC's
// debug file (--debug). SOURCE.c names the module, which is also the file
// the IDE shows for it. Names are written in upper case, as the IDE looks up
// "MAIN". Code outside every procedure (the start-up code) is written before
// the first procedure, so that it extends none.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ide/image/hex_decoder.h"
#include "tests/ide/image/omf_writer.h"

namespace {

using vx930::MemorySpace;
using vx930::OmfTypeIndex;
using vx930::OmfWriter;

struct Procedure {
  std::string name;
  std::optional<uint32_t> lo;
  std::optional<uint32_t> end;  // address of its last instruction
  uint32_t hi = 0;
  std::vector<OmfWriter::Line> lines;
  std::vector<OmfWriter::Symbol> locals;
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool ReadIhx(const std::string& path, vx930::CodeImage& image, std::vector<bool>& used) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] != ':') continue;
    auto byte = [&](size_t i) { return static_cast<uint8_t>(std::stoul(line.substr(1 + 2 * i, 2), nullptr, 16)); };
    const uint8_t count = byte(0);
    const uint32_t address = byte(1) * 256u + byte(2);
    if (byte(3) == 1) break;
    if (byte(3) != 0) continue;
    for (uint32_t k = 0; k < count && address + k < vx930::kCodeSize; ++k) {
      image[address + k] = byte(4 + k);
      used[address + k] = true;
    }
  }
  return true;
}

// "({1}SC:U)" -> the IDE's type index; nothing for types it cannot show.
std::optional<OmfTypeIndex> TypeOf(const std::string& type) {
  if (type.find("DF") != std::string::npos) return std::nullopt;  // a function
  if (type.find("SC:U") != std::string::npos) return OmfTypeIndex::tiUChar;
  if (type.find("SC:S") != std::string::npos) return OmfTypeIndex::tiChar;
  if (type.find("SB") != std::string::npos) return OmfTypeIndex::tiBit;
  return std::nullopt;
}

std::optional<MemorySpace> SpaceOf(const std::string& space) {
  if (space == "E") return MemorySpace::DATA;
  if (space == "G") return MemorySpace::IDATA;
  if (space == "F") return MemorySpace::XDATA;
  if (space == "H") return MemorySpace::BIT;
  if (space == "D" || space == "C") return MemorySpace::CODE;
  return std::nullopt;  // registers, SFRs, stack
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: vx930-make-omf PROGRAM.ihx PROGRAM.cdb SOURCE.c OUT\n");
    return 2;
  }
  auto image = std::make_unique<vx930::CodeImage>();
  image->fill(0xFF);
  std::vector<bool> used(vx930::kCodeSize, false);
  if (!ReadIhx(argv[1], *image, used)) {
    std::fprintf(stderr, "vx930-make-omf: cannot read %s\n", argv[1]);
    return 1;
  }
  std::ifstream cdb(argv[2]);
  if (!cdb) {
    std::fprintf(stderr, "vx930-make-omf: cannot read %s\n", argv[2]);
    return 1;
  }

  std::map<std::string, Procedure> procs;  // by C name
  std::vector<std::string> procOrder;
  struct Var {
    std::string name, function;  // function empty for a global
    MemorySpace space;
    OmfTypeIndex type;
    std::optional<uint16_t> address;
  };
  std::map<std::string, Var> vars;  // by the debug file's symbol key
  std::vector<std::pair<uint32_t, uint32_t>> cLines;  // address, line

  std::string rec;
  while (std::getline(cdb, rec)) {
    if (rec.rfind("F:G$", 0) == 0) {
      const std::string name = rec.substr(4, rec.find('$', 4) - 4);
      if (!procs.count(name)) procOrder.push_back(name);
      procs[name].name = name;
    } else if (rec.rfind("S:", 0) == 0) {
      // S:G$name$...(type),SPACE,... or S:Lmodule.function$name$...
      const size_t open = rec.find('('), close = rec.find(')');
      if (open == std::string::npos || close == std::string::npos) continue;
      const std::string key = rec.substr(2, open - 2);
      const std::string type = rec.substr(open, close - open + 1);
      const std::string space = rec.substr(close + 2, rec.find(',', close + 2) - close - 2);
      const auto t = TypeOf(type);
      const auto s = SpaceOf(space);
      if (!t || !s) continue;
      Var v{"", "", *s, *t, std::nullopt};
      if (key.rfind("G$", 0) == 0) {
        v.name = key.substr(2, key.find('$', 2) - 2);
      } else if (key[0] == 'L') {
        const size_t dot = key.find('.'), dollar = key.find('$');
        if (dot == std::string::npos || dollar == std::string::npos) continue;
        v.function = key.substr(dot + 1, dollar - dot - 1);
        v.name = key.substr(dollar + 1, key.find('$', dollar + 1) - dollar - 1);
      } else {
        continue;
      }
      vars[key] = v;
    } else if (rec.rfind("L:", 0) == 0) {
      const size_t colon = rec.rfind(':');
      const std::string key = rec.substr(2, colon - 2);
      const uint32_t address = static_cast<uint32_t>(std::stoul(rec.substr(colon + 1), nullptr, 16));
      if (key.rfind("C$", 0) == 0) {
        // C$file$line$...
        const size_t a = key.find('$', 2), b = key.find('$', a + 1);
        cLines.push_back({address, static_cast<uint32_t>(std::stoul(key.substr(a + 1, b - a - 1)))});
      } else if (key.rfind("XG$", 0) == 0) {
        const std::string name = key.substr(3, key.find('$', 3) - 3);
        if (procs.count(name)) procs[name].end = address;
      } else if (key.rfind("G$", 0) == 0) {
        const std::string name = key.substr(2, key.find('$', 2) - 2);
        if (procs.count(name) && key.find("$0$0") != std::string::npos) procs[name].lo = address;
        for (auto& [k, v] : vars)
          if (k.rfind(key.substr(0, key.size()), 0) == 0 || k == key) v.address = static_cast<uint16_t>(address);
      } else {
        auto it = vars.find(key);
        if (it != vars.end()) it->second.address = static_cast<uint16_t>(address);
      }
    }
  }

  vx930::CDecodeHex lengths;
  lengths.SetImage(image.get());
  std::vector<Procedure*> ordered;
  for (const std::string& name : procOrder) {
    Procedure& p = procs[name];
    if (!p.lo || !p.end) continue;
    p.hi = *p.end + static_cast<uint32_t>(lengths.GetInstLength(static_cast<int32_t>(*p.end))) - 1;
    ordered.push_back(&p);
  }
  std::sort(ordered.begin(), ordered.end(), [](const Procedure* a, const Procedure* b) { return *a->lo < *b->lo; });
  std::stable_sort(cLines.begin(), cLines.end(), [](auto& a, auto& b) { return a.first < b.first; });
  for (const auto& [address, line] : cLines)
    for (Procedure* p : ordered)
      if (*p->lo <= address && address <= p->hi) {
        p->lines.push_back({static_cast<uint16_t>(address), static_cast<uint16_t>(line)});
        break;
      }

  std::vector<OmfWriter::Symbol> publics;
  for (const auto& [key, v] : vars) {
    if (!v.address) continue;
    OmfWriter::Symbol s{v.space, *v.address, v.type, Upper(v.name)};
    if (v.function.empty()) {
      publics.push_back(s);
    } else if (procs.count(v.function)) {
      procs[v.function].locals.push_back(s);
    }
  }

  OmfWriter w;
  w.Header().ModuleName(argv[3]);
  // Code that belongs to no procedure, in runs.
  std::vector<bool> inProc(vx930::kCodeSize, false);
  for (const Procedure* p : ordered)
    for (uint32_t a = *p->lo; a <= p->hi && a < vx930::kCodeSize; ++a) inProc[a] = true;
  for (uint32_t a = 0; a < vx930::kCodeSize;) {
    if (!used[a] || inProc[a]) {
      ++a;
      continue;
    }
    std::vector<uint8_t> run;
    const uint32_t start = a;
    while (a < vx930::kCodeSize && used[a] && !inProc[a] && run.size() < 1024) run.push_back((*image)[a++]);
    w.Content(static_cast<uint16_t>(start), run);
  }
  if (!publics.empty()) w.PublicSymbols(publics);
  for (const Procedure* p : ordered) {
    w.ProcedureBegin(Upper(p->name));
    w.Content(static_cast<uint16_t>(*p->lo), std::vector<uint8_t>(image->begin() + *p->lo, image->begin() + p->hi + 1));
    if (!p->lines.empty()) w.LineNumbers(p->lines);
    if (!p->locals.empty()) w.LocalSymbols(p->locals);
    w.ProcedureEnd();
    std::printf("%-8s %04X-%04X %zu lines\n", Upper(p->name).c_str(), *p->lo, p->hi, p->lines.size());
  }
  w.End();
  if (!w.WriteFile(argv[4])) {
    std::fprintf(stderr, "vx930-make-omf: cannot write %s\n", argv[4]);
    return 1;
  }
  return 0;
}
