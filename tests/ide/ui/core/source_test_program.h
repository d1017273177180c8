// An OMF program's debug records built by hand for the source window's
// tests, with its source files in a temporary directory:
//
//   module "steps.c" (file steps.c, 30 lines)
//     MAIN  0x0100..0x011C  lines 10 0100, 11 0103, 12 0108, 13 010A,
//                                 14 010F, 15 0112, 16 0117, 17 011B
//     FUNC  0x0200..0x0202  lines 20 0200, 21 0202
//   module "OTHER" (file other.c: the name has no extension and another case)
//     OTHERF 0x0400..0x0407 block 1: 5 0400, 6 0403, 7 0403, 8 0405
//                           block 2: 9 0406, 10 0406
//     EMPTY  0x0500..0x0501 no line entries
//   module "LOST" (no file)
//     LOSTF  0x0600..0x0601 line 3 0600
//
// Nothing lies at 0x0300; the image is erased (0xFF, one-byte MOV R7,A)
// except a RET at 0x0300 and an LJMP at 0xFFFE.
#pragma once

#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "ide/image/code_image.h"
#include "ide/image/omf_model.h"
#include "tests/support/scratch_dir.h"

namespace vx930::testing {

struct ProcSpec {
  std::string name;
  uint32_t lo, hi;
  std::vector<std::vector<std::pair<uint32_t, uint32_t>>> blocks;  // (address, line)
};

class SourceTestProgram {
public:
  explicit SourceTestProgram(const std::string& tag) : dir_("vx930_src_" + tag) {
    WriteLines("steps.c", 30, "steps");
    WriteLines("other.c", 12, "other");
    AddModule("steps.c", {{"MAIN",
                           0x0100,
                           0x011C,
                           {{{0x0100, 10},
                             {0x0103, 11},
                             {0x0108, 12},
                             {0x010A, 13},
                             {0x010F, 14},
                             {0x0112, 15},
                             {0x0117, 16},
                             {0x011B, 17}}}},
                          {"FUNC", 0x0200, 0x0202, {{{0x0200, 20}, {0x0202, 21}}}}});
    AddModule("OTHER", {{"OTHERF",
                         0x0400,
                         0x0407,
                         {{{0x0400, 5}, {0x0403, 6}, {0x0403, 7}, {0x0405, 8}}, {{0x0406, 9}, {0x0406, 10}}}},
                        {"EMPTY", 0x0500, 0x0501, {}}});
    AddModule("LOST", {{"LOSTF", 0x0600, 0x0601, {{{0x0600, 3}}}}});
    image_.fill(0xFF);
    image_[0x0300] = 0x22;
    image_[0xFFFE] = 0x02;
    image_[0xFFFF] = 0x12;
  }
  SourceTestProgram(const SourceTestProgram&) = delete;
  SourceTestProgram& operator=(const SourceTestProgram&) = delete;

  const OmfModule* Modules() const { return modules_.empty() ? nullptr : &modules_.front(); }
  const OmfModule* Module(const std::string& name) const {
    for (const OmfModule& m : modules_)
      if (m.Name == name) return &m;
    return nullptr;
  }
  const CodeImage* Image() const { return &image_; }
  // Ends with '/'.
  std::string Dir() const { return dir_.string() + "/"; }

private:
  void WriteLines(const std::string& file, int count, const std::string& word) {
    std::ofstream out(dir_ / file);
    for (int i = 1; i <= count; ++i) out << word << " line " << i << "\n";
  }
  void AddModule(const std::string& name, const std::vector<ProcSpec>& procs) {
    OmfModule& m = modules_.emplace_back();
    m.Name = name;
    OmfProcedure* previousProc = nullptr;
    for (const ProcSpec& spec : procs) {
      OmfProcedure& p = procs_.emplace_back();
      p.Name = spec.name;
      p.LoAddr = spec.lo;
      p.HiAddr = spec.hi;
      OmfLineBlock* previousBlock = nullptr;
      for (const auto& entries : spec.blocks) {
        OmfLineBlock& b = blocks_.emplace_back();
        for (const auto& [address, line] : entries) b.Entries.push_back(OmfLineEntry{line, address});
        b.Count = static_cast<uint32_t>(b.Entries.size());
        (previousBlock ? previousBlock->Next : p.Lines) = &b;
        previousBlock = &b;
      }
      (previousProc ? previousProc->Next : m.Procs) = &p;
      previousProc = &p;
    }
    if (modules_.size() > 1) modules_[modules_.size() - 2].Next = &m;
  }

  ScratchDir dir_;
  std::deque<OmfLineBlock> blocks_;
  std::deque<OmfProcedure> procs_;
  std::deque<OmfModule> modules_;
  CodeImage image_{};
};

}  // namespace vx930::testing
