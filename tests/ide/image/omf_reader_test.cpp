// The OMF reader: record layouts, skipping, and files that are cut short,
// too short for their fields or plain garbage.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ide/image/omf_decoder.h"
#include "tests/ide/image/omf_writer.h"

namespace vx930 {
namespace {

bool ReadBytes(DecodeOmf& omf, const std::vector<uint8_t>& b) {
  std::istringstream in(std::string(b.begin(), b.end()));
  return omf.ReadOmf(in);
}
bool Read(DecodeOmf& omf, const OmfWriter& w) { return ReadBytes(omf, w.Bytes()); }

std::vector<uint8_t> Code(std::size_t n, uint8_t first = 0) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
  return v;
}

int CountProcedures(const DecodeOmf& omf) {
  int n = 0;
  for (const OmfModule* m = omf.GetModules(); m; m = m->Next)
    for (const OmfProcedure* p = m->Procs; p; p = p->Next) ++n;
  return n;
}

OmfWriter ModuleWithMain() {
  OmfWriter w;
  w.Header().ModuleName("main.c").ProcedureBegin("MAIN");
  return w;
}

TEST(OmfReader, ReadsAModuleWithOneProcedureAndItsLines) {
  DecodeOmf omf;
  ASSERT_TRUE(Read(
      omf,
      ModuleWithMain().Content(0x0100, Code(16, 0x40)).LineNumbers({{0x0100, 5}, {0x0108, 6}}).ProcedureEnd().End()));
  const OmfModule* m = omf.GetModules();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Name, "main.c");
  EXPECT_EQ(m->Next, nullptr);
  const OmfProcedure* p = m->Procs;
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->Name, "MAIN");
  EXPECT_EQ(p->LoAddr, 0x0100u);
  EXPECT_EQ(p->HiAddr, 0x010Fu);
  EXPECT_EQ(p->Next, nullptr);
  ASSERT_NE(p->Lines, nullptr);
  EXPECT_EQ(p->Lines->Next, nullptr);
  ASSERT_EQ(p->Lines->Count, 2u);
  EXPECT_EQ(p->Lines->Entries[0].Line, 5u);
  EXPECT_EQ(p->Lines->Entries[0].Address, 0x0100u);
  EXPECT_EQ(p->Lines->Entries[1].Line, 6u);
  EXPECT_EQ(p->Lines->Entries[1].Address, 0x0108u);
  EXPECT_EQ((*omf.GetImage())[0x0100], 0x40);
  EXPECT_EQ((*omf.GetImage())[0x010F], 0x4F);
  EXPECT_TRUE(omf.Validate());
}

TEST(OmfReader, ReadsFromAFileStream) {
  const std::string path = std::string(VX_BINARY_DIR) + "/omf_reader_test.omf";
  ASSERT_TRUE(ModuleWithMain().Content(0x0000, Code(3)).Content(0x0003, Code(1)).ProcedureEnd().WriteFile(path));
  DecodeOmf omf;
  {
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in);
    EXPECT_TRUE(omf.ReadOmf(in));
  }
  std::remove(path.c_str());
  EXPECT_EQ(omf.GetModules()->Procs->LoAddr, 3u);
}

TEST(OmfReader, ContentAfterTheProcedureEndExtendsNothing) {
  DecodeOmf omf;
  EXPECT_FALSE(Read(omf, ModuleWithMain().ProcedureEnd().Content(0x0100, Code(16))));
  const OmfProcedure* p = omf.GetModules()->Procs;
  EXPECT_EQ(p->LoAddr, 0u);
  EXPECT_EQ(p->HiAddr, 0u);
  EXPECT_EQ((*omf.GetImage())[0x0105], 0x05);  // the bytes still land
}

TEST(OmfReader, ProcedureBeforeAnyModuleIsNotCreated) {
  DecodeOmf omf;
  EXPECT_TRUE(Read(omf, OmfWriter()
                            .Header()
                            .ProcedureBegin("LOST")
                            .Content(0x0100, Code(16))
                            .LineNumbers({{0x0100, 1}})
                            .LocalSymbols({{MemorySpace::DATA, 0x30, OmfTypeIndex::tiChar, "x"}})
                            .ProcedureEnd()
                            .ModuleName("m")));
  EXPECT_EQ(CountProcedures(omf), 0);
  EXPECT_EQ(omf.FindProcedure(0x0100), nullptr);
  EXPECT_EQ((*omf.GetImage())[0x0101], 0x01);
}

TEST(OmfReader, LineNumbersWithoutAProcedureAreDroppedAndLaterOnesKept) {
  DecodeOmf omf;
  ASSERT_TRUE(Read(omf, OmfWriter()
                            .Header()
                            .ModuleName("m")
                            .LineNumbers({{0x0010, 1}, {0x0012, 2}})
                            .ProcedureBegin("P")
                            .Content(0x0010, Code(4))
                            .LineNumbers({{0x0010, 7}})
                            .ProcedureEnd()));
  const OmfProcedure* p = omf.GetModules()->Procs;
  ASSERT_NE(p->Lines, nullptr);
  EXPECT_EQ(p->Lines->Count, 1u);
  EXPECT_EQ(p->Lines->Entries[0].Line, 7u);
  EXPECT_EQ(p->Lines->Next, nullptr);
}

TEST(OmfReader, LocalsNamedIceDummyOrWithoutProcedureAreDropped) {
  using S = OmfWriter::Symbol;
  DecodeOmf omf;
  ASSERT_TRUE(Read(omf, OmfWriter()
                            .Header()
                            .ModuleName("m")
                            .LocalSymbols({S{MemorySpace::DATA, 0x20, OmfTypeIndex::tiChar, "orphan"}})
                            .ProcedureBegin("P")
                            .Content(0x0010, Code(4))
                            .LocalSymbols({S{MemorySpace::DATA, 0x21, OmfTypeIndex::tiChar, "_ICE_DUMMY_"},
                                           S{MemorySpace::DATA, 0x22, OmfTypeIndex::tiChar, "a"},
                                           S{MemorySpace::DATA, 0x23, OmfTypeIndex::tiChar, "_ICE_DUMMY_X"}})
                            .LocalSymbols({S{MemorySpace::DATA, 0x24, OmfTypeIndex::tiChar, "_ICE_DUMMY_"}})
                            .ProcedureEnd()));
  std::vector<std::string> names;
  for (const OmfSymbol* s = omf.GetModules()->Procs->Locals; s; s = s->Next) names.push_back(s->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "_ICE_DUMMY_X"}));
  EXPECT_EQ(omf.GetPublics(), nullptr);
}

TEST(OmfReader, SkipsWhatItDoesNotUseByTheRecordLength) {
  // Each record below carries bytes the reader has no use for; if any of them
  // were read as a record header the module and procedure would go astray.
  DecodeOmf omf;
  ASSERT_TRUE(Read(omf, OmfWriter()
                            .Header()
                            .Record(0x02, {0x24, 0x10, 0x02, 0x06})  // an unknown type
                            .Record(0x70, {0x10, 0x02})  // a header again, mid-file
                            .RawRecord(0x20, 0, {})  // an empty type record: 3 bytes
                            .Record(0x24, {0, 0, 0, 1, 'm', 0x10, 0x02, 0x01})  // name plus spare bytes
                            .Record(0x10, {2, 1, 'P', 0x06, 0x05, 0x00})  // name plus spare bytes
                            .Scope(1, {0x06, 0x05, 0x00, 0x00})  // other block type
                            .DebugItems(2, {0x00, 0x00, 0x01, 0x05, 0x00})  // definition type 2
                            .DebugItems(9, {0x00, 0x00, 0x01, 0x05, 0x00})
                            .Content(0x0040, Code(8))
                            .ProcedureEnd()));
  const OmfModule* m = omf.GetModules();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Name, "m");
  EXPECT_EQ(m->Next, nullptr);
  ASSERT_NE(m->Procs, nullptr);
  EXPECT_EQ(m->Procs->Name, "P");
  EXPECT_EQ(m->Procs->LoAddr, 0x40u);
  EXPECT_EQ(m->Procs->HiAddr, 0x47u);
  EXPECT_EQ(m->Procs->Lines, nullptr);
  EXPECT_EQ(m->Procs->Locals, nullptr);
  EXPECT_EQ(omf.GetPublics(), nullptr);
}

TEST(OmfReader, ChecksumsAreNotChecked) {
  std::vector<uint8_t> bytes = ModuleWithMain().Content(0x0100, Code(4)).ProcedureEnd().Bytes();
  // Walk the records and add one to every checksum byte.
  for (std::size_t at = 0; at + 3 <= bytes.size();) {
    const std::size_t len = bytes[at + 1] | (bytes[at + 2] << 8);
    bytes[at + 2 + len] = static_cast<uint8_t>(bytes[at + 2 + len] + 1);
    at += 3 + len;
  }
  DecodeOmf omf;
  EXPECT_TRUE(ReadBytes(omf, bytes));
}

TEST(OmfReader, ALineRecordOfPartialEntriesReadsASpareEntryAndItsChecksumPastItsLength) {
  // 12 entry bytes by the length: two entries and the first two bytes of a
  // third, whose rest and the checksum follow the length.
  const std::vector<uint8_t> entries{0, 0x10, 0x00, 1, 0, 0, 0x12, 0x00, 2, 0, 0, 0x14, 0x00, 3, 0};
  std::vector<uint8_t> record{3};
  record.insert(record.end(), entries.begin(), entries.end());
  record.push_back(0x5A);  // checksum

  for (const bool inProcedure : {true, false}) {
    SCOPED_TRACE(inProcedure ? "in a procedure" : "before any procedure");
    OmfWriter w;
    w.Header().ModuleName("main.c");
    if (inProcedure) w.ProcedureBegin("MAIN").Content(0x0010, Code(8));
    w.RawRecord(0x22, 1 + 12 + 1, record).ProcedureEnd().ModuleName("second");
    DecodeOmf omf;
    ASSERT_TRUE(Read(omf, w));
    ASSERT_NE(omf.GetModules()->Next, nullptr) << "the next record starts after the spare entry";
    EXPECT_EQ(omf.GetModules()->Next->Name, "second");
    if (!inProcedure) continue;
    const OmfLineBlock* b = omf.GetModules()->Procs->Lines;
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->Count, 2u);
    ASSERT_EQ(b->Entries.size(), 2u);
    EXPECT_EQ(b->Entries[1].Address, 0x12u);
    EXPECT_EQ(b->Entries[1].Line, 2u);
  }

  // A spare entry cut by the end of the file is a cut record.
  OmfWriter cut = ModuleWithMain().Content(0x0010, Code(8));
  record.resize(1 + 14);
  cut.RawRecord(0x22, 1 + 12 + 1, record);
  DecodeOmf omf;
  EXPECT_FALSE(Read(omf, cut));
}

TEST(OmfReader, PartialSymbolEntriesAreIgnoredAndTheNextRecordStillRead) {
  using S = OmfWriter::Symbol;
  // One whole symbol and the start of a second one whose name runs past the record.
  std::vector<uint8_t> symbols = OmfWriter::SymbolEntries({S{MemorySpace::DATA, 0x30, OmfTypeIndex::tiInt, "v"}});
  symbols.insert(symbols.end(), {0, 2, 0x31, 0x00, 4, 9, 'w', 'x'});
  // And a symbol list cut inside the fixed part of its second entry.
  std::vector<uint8_t> publics = OmfWriter::SymbolEntries({S{MemorySpace::CODE, 0x10, OmfTypeIndex::tiCodeLabel, "g"}});
  publics.insert(publics.end(), {0, 0, 0x11});

  DecodeOmf omf;
  ASSERT_TRUE(Read(omf, ModuleWithMain()
                            .Content(0x0010, Code(8))
                            .DebugItems(0, symbols)
                            .DebugItems(1, publics)
                            .ProcedureEnd()
                            .ModuleName("second")));
  const OmfProcedure* p = omf.GetModules()->Procs;
  ASSERT_NE(p->Locals, nullptr);
  EXPECT_EQ(p->Locals->Name, "v");
  EXPECT_EQ(p->Locals->Next, nullptr);
  ASSERT_NE(omf.GetPublics(), nullptr);
  EXPECT_EQ(omf.GetPublics()->Name, "g");
  EXPECT_EQ(omf.GetPublics()->Next, nullptr);
  ASSERT_NE(omf.GetModules()->Next, nullptr);
  EXPECT_EQ(omf.GetModules()->Next->Name, "second");
}

TEST(OmfReader, NamesStopAtANulInTheirField) {
  DecodeOmf omf;
  ASSERT_TRUE(Read(
      omf, OmfWriter()
               .Header()
               .Record(0x24, {0, 0, 0, 4, 'a', 'b', 0, 'z'})
               .Record(0x10, {2, 3, 'P', 0, 'q'})
               .Content(0x0001, Code(1))
               .PublicSymbols({{MemorySpace::DATA, 0x21, OmfTypeIndex::tiChar, std::string("_ICE_DUMMY_\0", 12)}})
               .LocalSymbols({{MemorySpace::DATA, 0x21, OmfTypeIndex::tiChar, std::string("_ICE_DUMMY_\0", 12)}})));
  EXPECT_EQ(omf.GetModules()->Name, "ab");
  EXPECT_EQ(omf.GetModules()->Procs->Name, "P");
  EXPECT_EQ(omf.GetPublics()->Name, "_ICE_DUMMY_");
  EXPECT_EQ(omf.GetPublics()->NameLen, 12);
  EXPECT_EQ(omf.GetModules()->Procs->Locals, nullptr);
}

TEST(OmfReader, ContentNearTheTopOfMemoryIsClippedAtFFFF) {
  struct Case {
    uint16_t offset;
    std::size_t size;
    uint32_t hi;
  } cases[] = {
      {0xFFF0, 16, 0xFFFF}, {0xFFF8, 16, 0xFFFF}, {0xFFFF, 1, 0xFFFF}, {0xFFFF, 300, 0xFFFF}, {0xFF00, 0xFFF0, 0xFFFF}};
  for (const Case& c : cases) {
    DecodeOmf omf;
    std::vector<uint8_t> data(c.size, 0x5A);
    // A second module after the content shows the reader carries on in step.
    ASSERT_TRUE(Read(omf, ModuleWithMain().Content(c.offset, data).ProcedureEnd().ModuleName("after")))
        << std::hex << c.offset << " " << c.size;
    const CodeImage& image = *omf.GetImage();
    EXPECT_EQ(image[c.offset], 0x5A);
    EXPECT_EQ(image[0xFFFF], 0x5A);
    EXPECT_EQ(image[c.offset - 1], 0xFF);  // nothing before the record
    EXPECT_EQ(image[0x0000], 0xFF);  // and no wrap to the bottom
    const OmfProcedure* p = omf.GetModules()->Procs;
    EXPECT_EQ(p->LoAddr, c.offset);
    EXPECT_EQ(p->HiAddr, c.hi);
    ASSERT_NE(omf.GetModules()->Next, nullptr);
    EXPECT_EQ(omf.GetModules()->Next->Name, "after");
  }
}

TEST(OmfReader, LengthsTooSmallForTheirFieldsFailTheRead) {
  struct Case {
    const char* what;
    uint8_t type;
    std::vector<uint8_t> body;  // the bytes after the length field; their count is the length
  } cases[] = {
      {"content, length 0", 0x06, {}},
      {"content, length 3", 0x06, {0, 0x00, 0x01}},
      {"content, length 4: no data byte", 0x06, {0, 0x00, 0x01, 0}},
      {"scope, length 0", 0x10, {}},
      {"scope, length 1", 0x10, {5}},
      {"procedure begin without name length", 0x10, {2}},
      {"procedure begin name past the record", 0x10, {2, 5, 'A', 'B', 0}},
      {"procedure begin without checksum", 0x10, {2, 2, 'A', 'B'}},
      {"debug items, length 0", 0x22, {}},
      {"debug items, length 1", 0x22, {3}},
      {"module name, length 4", 0x24, {0, 0, 0, 0}},
      {"module name past the record", 0x24, {0, 0, 0, 4, 'a', 'b', 0}},
  };
  for (const Case& c : cases) {
    OmfWriter w = ModuleWithMain().Content(0x0100, Code(4));
    w.RawRecord(c.type, static_cast<uint16_t>(c.body.size()), c.body).ProcedureEnd().ModuleName("later");
    DecodeOmf omf;
    EXPECT_FALSE(Read(omf, w)) << c.what;
    EXPECT_TRUE(omf.Validate()) << c.what << ": the failure is the length, not the content";
  }
}

TEST(OmfReader, ShortestBodiesOfEachRecordAreAccepted) {
  DecodeOmf omf;
  EXPECT_TRUE(Read(omf, OmfWriter()
                            .Header()
                            .RawRecord(0x70, 0, {})
                            .RawRecord(0x99, 0, {})
                            .RawRecord(0x20, 0, {})
                            .RawRecord(0x20, 1, {0})
                            .RawRecord(0x24, 5, {0, 0, 0, 0, 0})
                            .RawRecord(0x10, 3, {2, 0, 0})
                            .RawRecord(0x06, 5, {0, 0x34, 0x12, 0xA5, 0})
                            .RawRecord(0x22, 2, {3, 0})
                            .RawRecord(0x22, 2, {1, 0})
                            .RawRecord(0x10, 2, {5, 0})));
  const OmfModule* m = omf.GetModules();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Name, "");
  ASSERT_NE(m->Procs, nullptr);
  EXPECT_EQ(m->Procs->Name, "");
  EXPECT_EQ(m->Procs->LoAddr, 0x1234u);
  EXPECT_EQ(m->Procs->HiAddr, 0x1234u);
  ASSERT_NE(m->Procs->Lines, nullptr);  // an empty line block
  EXPECT_EQ(m->Procs->Lines->Count, 0u);
  EXPECT_TRUE(m->Procs->Lines->Entries.empty());
  EXPECT_EQ((*omf.GetImage())[0x1234], 0xA5);
}

TEST(OmfReader, AFileThatDoesNotStartWithTheHeaderIsRefusedUnread) {
  const std::vector<std::vector<uint8_t>> files{
      {},
      {0x02},
      {0x24, 0x06, 0x00, 0, 0, 0, 1, 'm', 0},
  };
  for (const auto& f : files) {
    DecodeOmf omf;
    EXPECT_FALSE(ReadBytes(omf, f)) << f.size();
    EXPECT_EQ(omf.GetModules(), nullptr);
  }
  // A good file behind one stray byte.
  std::vector<uint8_t> shifted{0x00};
  const auto good = ModuleWithMain().Content(0x10, Code(2)).ProcedureEnd().Bytes();
  shifted.insert(shifted.end(), good.begin(), good.end());
  DecodeOmf omf;
  EXPECT_FALSE(ReadBytes(omf, shifted));
  EXPECT_EQ(omf.GetModules(), nullptr);
}

TEST(OmfReader, AFileCutAnywhereInsideARecordFails) {
  // Record boundaries of the file below, found while it is written.
  OmfWriter w;
  std::vector<std::size_t> boundaries;
  auto mark = [&] { boundaries.push_back(w.Bytes().size()); };
  w.Header();
  mark();
  w.ModuleName("main.c");
  mark();
  w.ProcedureBegin("MAIN");
  mark();
  w.Content(0x0100, Code(16));
  mark();
  w.LineNumbers({{0x0100, 5}, {0x0108, 6}});
  mark();
  w.LocalSymbols({{MemorySpace::DATA, 0x30, OmfTypeIndex::tiInt, "i"}});
  mark();
  w.TypeRecord({1, 2, 3});
  mark();
  w.ProcedureEnd();
  mark();
  const std::vector<uint8_t>& all = w.Bytes();

  for (std::size_t cut = 1; cut <= all.size(); ++cut) {
    const bool atBoundary = std::find(boundaries.begin(), boundaries.end(), cut) != boundaries.end();
    // Whole records make a valid program once there is a module and, from
    // MAIN's begin on, once MAIN has its content.
    const bool valid = atBoundary && (cut == boundaries[1] || cut >= boundaries[3]);
    DecodeOmf omf;
    EXPECT_EQ(ReadBytes(omf, std::vector<uint8_t>(all.begin(), all.begin() + cut)), valid) << "cut at " << cut;
  }
}

TEST(OmfReader, GarbageNeverCrashesAndMostlyFails) {
  // Random bodies behind a valid header; the sanitizer build shows any stray access.
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> size(0, 600);
  const uint8_t types[] = {0x06, 0x10, 0x20, 0x22, 0x24, 0x70, 0x01};
  int accepted = 0;
  for (int round = 0; round < 500; ++round) {
    std::vector<uint8_t> f = OmfWriter().Header().Bytes();
    const int n = size(rng);
    for (int i = 0; i < n; ++i) {
      // Bias towards known types and small lengths so the handlers see the data.
      const int r = byte(rng);
      f.push_back(r < 128 ? types[r % 7] : static_cast<uint8_t>(byte(rng)));
      if (byte(rng) < 128) {
        f.push_back(static_cast<uint8_t>(byte(rng) % 24));
        f.push_back(0);
      }
    }
    DecodeOmf omf;
    if (ReadBytes(omf, f)) {
      ++accepted;
      EXPECT_NE(omf.GetModules(), nullptr);
    }
  }
  EXPECT_LT(accepted, 50);
}

}  // namespace
}  // namespace vx930
