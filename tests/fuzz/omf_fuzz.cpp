// Feeds arbitrary bytes to the OMF reader through a real file stream, as the
// IDE opens them, and compares what it read with a plain second reading of
// the same bytes: the code image byte for byte against the content records,
// the result, and the modules, procedures (ranges, line entries, locals) and
// public symbols in file order.
//
// The reader's image is an allocation of exactly 64 KB, so a write past it is
// a heap overflow the address sanitizer reports.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "ide/image/omf_decoder.h"
#include "tests/fuzz/scratch_files.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "omf fuzz: %s\n", what);
  std::abort();
}

// ----------------------------------------------------------- second reading

struct Symbol {
  std::string name;
  uint32_t address;
  uint8_t space;
};

struct Procedure {
  std::string name;
  uint32_t lo = 0, hi = 0;
  std::vector<std::vector<std::pair<uint32_t, uint32_t>>> blocks;  // (line, address)
  std::vector<Symbol> locals;
};

struct Module {
  std::string name;
  std::vector<std::size_t> procs;  // indexes into Program::procs
};

struct Program {
  bool ok = false;
  std::vector<uint8_t> image = std::vector<uint8_t>(0x10000, 0xFF);
  std::vector<Module> modules;
  std::vector<Procedure> procs;
  std::vector<Symbol> publics;
};

// A counted name: the bytes up to the first NUL.
std::string NameOf(const uint8_t* p, std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n && p[i] != 0; ++i) s.push_back(static_cast<char>(p[i]));
  return s;
}

// Symbol entries: segment, space, address (2), type, name length n, name (n).
// An entry cut by the end is dropped.
std::vector<Symbol> Symbols(const uint8_t* p, std::size_t n) {
  std::vector<Symbol> out;
  std::size_t at = 0;
  while (n - at >= 6 && n - at >= 6u + p[at + 5]) {
    out.push_back(Symbol{NameOf(p + at + 6, p[at + 5]), p[at + 2] + 256u * p[at + 3], p[at + 1]});
    at += 6u + p[at + 5];
  }
  return out;
}

Program SecondReading(const uint8_t* data, std::size_t size) {
  Program prog;
  if (size == 0 || data[0] != 0x70) return prog;
  long current = -1;  // procedure that line numbers and locals go to
  bool inside = false;
  std::size_t pos = 0;
  while (pos < size) {
    const uint8_t type = data[pos];
    if (size - pos < 3) return prog;
    const std::size_t length = data[pos + 1] + 256u * data[pos + 2];
    const uint8_t* b = data + pos + 3;  // the body, checksum last
    if (size - pos - 3 < length) return prog;
    std::size_t next = pos + 3 + length;

    if (type == 0x06) {
      if (length < 5) return prog;
      const uint32_t offset = b[1] + 256u * b[2];
      uint32_t last = offset;
      for (std::size_t i = 0; i + 4 < length && offset + i < 0x10000; ++i) {
        prog.image[offset + i] = b[3 + i];
        last = offset + static_cast<uint32_t>(i);
      }
      if (inside && current >= 0) {
        Procedure& p = prog.procs[static_cast<std::size_t>(current)];
        if (p.lo == 0 || offset < p.lo) p.lo = offset;
        if (p.hi < last) p.hi = last;
      }
    } else if (type == 0x10) {
      if (length < 2) return prog;
      if (b[0] == 2) {
        if (length < 3u + b[1]) return prog;
        inside = true;
        if (!prog.modules.empty()) {
          prog.procs.emplace_back().name = NameOf(b + 2, b[1]);
          current = static_cast<long>(prog.procs.size() - 1);
          prog.modules.back().procs.push_back(prog.procs.size() - 1);
        }
      } else if (b[0] == 5) {
        inside = false;
      }
    } else if (type == 0x22) {
      if (length < 2) return prog;
      const std::size_t n = length - 2;
      if (b[0] == 3) {
        // A part entry at the end: the rest of it and the checksum follow the length.
        if (n % 5 != 0) {
          next += 5 - n % 5;
          if (next > size) return prog;
        }
        if (current >= 0) {
          auto& block = prog.procs[static_cast<std::size_t>(current)].blocks.emplace_back();
          for (std::size_t e = 0; e + 5 <= n; e += 5)
            block.emplace_back(b[1 + e + 3] + 256u * b[1 + e + 4], b[1 + e + 1] + 256u * b[1 + e + 2]);
        }
      } else if (b[0] == 1) {
        for (Symbol& s : Symbols(b + 1, n)) prog.publics.push_back(std::move(s));
      } else if (b[0] == 0 && current >= 0) {
        for (Symbol& s : Symbols(b + 1, n))
          if (s.name != "_ICE_DUMMY_") prog.procs[static_cast<std::size_t>(current)].locals.push_back(std::move(s));
      }
    } else if (type == 0x24) {
      if (length < 5 || length < 5u + b[3]) return prog;
      prog.modules.push_back(Module{NameOf(b + 4, b[3]), {}});
    }
    pos = next;
  }
  prog.ok = !prog.modules.empty();
  for (const Procedure& p : prog.procs)
    if (p.lo == 0 && p.hi == 0) prog.ok = false;
  return prog;
}

// ------------------------------------------------------------ comparison

void CompareSymbols(const vx930::OmfSymbol* s, const std::vector<Symbol>& expected) {
  for (const Symbol& e : expected) {
    Check(s != nullptr, "a symbol is missing");
    Check(s->Name == e.name && s->Address == e.address && static_cast<uint8_t>(s->Space) == e.space,
          "a symbol differs");
    s = s->Next;
  }
  Check(s == nullptr, "a symbol too many");
}

void Compare(vx930::DecodeOmf& omf, const Program& expected) {
  const vx930::CodeImage& image = *omf.GetImage();
  for (std::size_t a = 0; a < image.size(); ++a) Check(image[a] == expected.image[a], "image byte differs");

  const vx930::OmfModule* m = omf.GetModules();
  for (const Module& em : expected.modules) {
    Check(m != nullptr && m->Name == em.name, "module differs");
    const vx930::OmfProcedure* p = m->Procs;
    for (std::size_t index : em.procs) {
      const Procedure& ep = expected.procs[index];
      Check(p != nullptr && p->Name == ep.name, "procedure differs");
      Check(p->LoAddr == ep.lo && p->HiAddr == ep.hi, "procedure range differs");
      const vx930::OmfLineBlock* b = p->Lines;
      for (const auto& eb : ep.blocks) {
        Check(b != nullptr && b->Count == eb.size() && b->Entries.size() == eb.size(), "line block differs");
        for (std::size_t i = 0; i < eb.size(); ++i)
          Check(b->Entries[i].Line == eb[i].first && b->Entries[i].Address == eb[i].second, "line entry differs");
        b = b->Next;
      }
      Check(b == nullptr, "a line block too many");
      CompareSymbols(p->Locals, ep.locals);
      p = p->Next;
    }
    Check(p == nullptr, "a procedure too many");
    m = m->Next;
  }
  Check(m == nullptr, "a module too many");
  CompareSymbols(omf.GetPublics(), expected.publics);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = vx930::fuzz::ScratchFolder("vx930-omf-fuzz") + "/PROG.OMF";
  vx930::fuzz::WriteFile(path, data, size);
  std::ifstream in(path, std::ios::binary);
  vx930::DecodeOmf omf;
  const bool ok = omf.ReadOmf(in);
  const Program expected = SecondReading(data, size);
  Check(ok == expected.ok, "the result differs");
  // On a failure the reader keeps what it read up to the fault, as the second
  // reading does, so the comparison holds on every path.
  Compare(omf, expected);
  return 0;
}
