// The OMF debug model: what a DecodeOmf answers about the records it holds.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ide/image/omf_decoder.h"
#include "tests/ide/image/omf_writer.h"

namespace vx930 {
namespace {

bool Read(DecodeOmf& omf, const OmfWriter& w) {
  const auto& b = w.Bytes();
  std::istringstream in(std::string(b.begin(), b.end()));
  return omf.ReadOmf(in);
}

std::vector<uint8_t> Code(std::size_t n, uint8_t first = 0) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
  return v;
}

TEST(OmfModel, NewObjectIsEmptyAndDoesNotValidate) {
  DecodeOmf omf;
  const CodeImage* image = omf.GetImage();
  EXPECT_TRUE(std::all_of(image->begin(), image->end(), [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(omf.GetModules(), nullptr);
  EXPECT_EQ(omf.GetPublics(), nullptr);
  for (uint32_t a : {0u, 0x100u, 0xFFFFu}) EXPECT_EQ(omf.FindProcedure(a), nullptr) << a;
  EXPECT_FALSE(omf.Validate());
}

// Two modules; M1 holds A (0x100..0x1FF) and B (0x180..0x2FF), M2 holds C
// (0x280..0x3FF), so both overlaps resolve in file order.
class OverlappingProcedures : public ::testing::Test {
protected:
  void SetUp() override {
    OmfWriter w;
    w.Header()
        .ModuleName("M1")
        .ProcedureBegin("A")
        .Content(0x100, Code(0x100))
        .ProcedureEnd()
        .ProcedureBegin("B")
        .Content(0x180, Code(0x180))
        .ProcedureEnd()
        .ModuleName("M2")
        .ProcedureBegin("C")
        .Content(0x280, Code(0x180))
        .ProcedureEnd()
        .End();
    ASSERT_TRUE(Read(omf, w));
  }
  std::string NameAt(uint32_t a) const {
    const OmfProcedure* p = omf.FindProcedure(a);
    return p ? p->Name : "-";
  }
  DecodeOmf omf;
};

TEST_F(OverlappingProcedures, FindProcedureTakesTheFirstRangeInFileOrder) {
  const struct {
    uint32_t address;
    const char* name;
  } cases[] = {
      {0x0FF, "-"}, {0x100, "A"}, {0x190, "A"}, {0x1FF, "A"}, {0x200, "B"},   {0x290, "B"},
      {0x2FF, "B"}, {0x300, "C"}, {0x3FF, "C"}, {0x400, "-"}, {0x10100, "-"},
  };
  for (const auto& c : cases) EXPECT_EQ(NameAt(c.address), c.name) << std::hex << c.address;
}

TEST_F(OverlappingProcedures, ModulesAndProceduresAreLinkedInFileOrder) {
  const OmfModule* m1 = omf.GetModules();
  ASSERT_NE(m1, nullptr);
  EXPECT_EQ(m1->Name, "M1");
  ASSERT_NE(m1->Procs, nullptr);
  EXPECT_EQ(m1->Procs->Name, "A");
  EXPECT_EQ(m1->Procs->LoAddr, 0x100u);
  EXPECT_EQ(m1->Procs->HiAddr, 0x1FFu);
  ASSERT_NE(m1->Procs->Next, nullptr);
  EXPECT_EQ(m1->Procs->Next->Name, "B");
  EXPECT_EQ(m1->Procs->Next->Next, nullptr);
  const OmfModule* m2 = m1->Next;
  ASSERT_NE(m2, nullptr);
  EXPECT_EQ(m2->Name, "M2");
  ASSERT_NE(m2->Procs, nullptr);
  EXPECT_EQ(m2->Procs->Name, "C");
  EXPECT_EQ(m2->Procs->Next, nullptr);
  EXPECT_EQ(m2->Next, nullptr);
}

TEST(OmfModel, ValidateNeedsAModuleAndContentInEveryProcedure) {
  struct Case {
    const char* what;
    OmfWriter file;
    bool valid;
  };
  std::vector<Case> cases;
  cases.push_back({"no module", OmfWriter().Header().Content(0x100, Code(4)), false});
  cases.push_back({"module without procedures", OmfWriter().Header().ModuleName("M"), true});
  cases.push_back({"procedure from 0 to 0x20",
                   OmfWriter().Header().ModuleName("M").ProcedureBegin("P").Content(0, Code(0x21)).ProcedureEnd(),
                   true});
  cases.push_back(
      {"procedure without content", OmfWriter().Header().ModuleName("M").ProcedureBegin("P").ProcedureEnd(), false});
  cases.push_back({"second procedure without content",
                   OmfWriter()
                       .Header()
                       .ModuleName("M")
                       .ProcedureBegin("P")
                       .Content(0x10, Code(2))
                       .ProcedureEnd()
                       .ModuleName("N")
                       .ProcedureBegin("Q")
                       .ProcedureEnd(),
                   false});
  for (const Case& c : cases) {
    DecodeOmf omf;
    EXPECT_EQ(Read(omf, c.file), c.valid) << c.what;
    EXPECT_EQ(omf.Validate(), c.valid) << c.what;
  }
}

TEST(OmfModel, ContentAtZeroLeavesTheLowAddressToTheNextRecord) {
  // 0 stands for "not set", so a procedure that starts at 0 takes the start of
  // its next content record.
  DecodeOmf omf;
  ASSERT_TRUE(Read(omf, OmfWriter()
                            .Header()
                            .ModuleName("M")
                            .ProcedureBegin("P")
                            .Content(0x0000, Code(4))
                            .Content(0x0040, Code(8))
                            .Content(0x0020, Code(2))
                            .ProcedureEnd()));
  const OmfProcedure* p = omf.GetModules()->Procs;
  EXPECT_EQ(p->LoAddr, 0x20u);
  EXPECT_EQ(p->HiAddr, 0x47u);
  EXPECT_EQ(omf.FindProcedure(0x02), nullptr);
  EXPECT_EQ(omf.FindProcedure(0x30), p);
}

// A small program with everything the source and watch windows ask for.
class OmfProgram : public ::testing::Test {
protected:
  void SetUp() override {
    using S = OmfWriter::Symbol;
    OmfWriter w;
    w.Header()
        .ModuleName("main.c")
        .TypeRecord({0xAA, 0xBB})
        .PublicSymbols({S{MemorySpace::DATA, 0x30, OmfTypeIndex::tiInt, "count", 1},
                        S{MemorySpace::XDATA, 0x1234, OmfTypeIndex::tiULong, "total"}})
        .ProcedureBegin("MAIN")
        .Content(0x0100, Code(0x20))
        .LineNumbers({{0x0100, 10}, {0x0104, 11}, {0x0110, 13}})
        .LineNumbers({{0x0118, 14}})
        .LocalSymbols({S{MemorySpace::DATA, 0x08, OmfTypeIndex::tiChar, "c"},
                       S{MemorySpace::BIT, 0x0B, OmfTypeIndex::tiBit, "flag"}})
        .ProcedureEnd()
        .ModuleName("util.c")
        .ProcedureBegin("delay")
        .Content(0x0200, Code(0x10))
        .LineNumbers({{0x0200, 3}, {0x0208, 4}})
        .ProcedureEnd()
        .TypeRecord({0xCC})
        .LocalSymbols({S{MemorySpace::IDATA, 0x80, OmfTypeIndex::tiUChar, "late"}})
        .PublicSymbols({S{MemorySpace::CODE, 0x0200, OmfTypeIndex::tiCodeLabel, "delay"}})
        .End();
    ASSERT_TRUE(Read(omf, w));
  }

  static std::vector<OmfLineEntry> Entries(const OmfProcedure* p) {
    std::vector<OmfLineEntry> all;
    for (const OmfLineBlock* b = p->Lines; b; b = b->Next) {
      EXPECT_EQ(b->Entries.size(), b->Count);
      all.insert(all.end(), b->Entries.begin(), b->Entries.end());
    }
    return all;
  }
  static std::vector<std::string> Names(const OmfSymbol* s) {
    std::vector<std::string> names;
    for (; s; s = s->Next) names.push_back(s->Name);
    return names;
  }

  DecodeOmf omf;
};

TEST_F(OmfProgram, LineTablesMapLinesToAddressesBothWays) {
  const OmfProcedure* main = omf.FindProcedure(0x0106);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main->Name, "MAIN");
  ASSERT_NE(main->Lines, nullptr);
  EXPECT_EQ(main->Lines->Count, 3u);
  ASSERT_NE(main->Lines->Next, nullptr);
  EXPECT_EQ(main->Lines->Next->Count, 1u);

  const std::vector<OmfLineEntry> lines = Entries(main);
  const std::vector<std::pair<uint32_t, uint32_t>> expected{{10, 0x100}, {11, 0x104}, {13, 0x110}, {14, 0x118}};
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].Line, expected[i].first);
    EXPECT_EQ(lines[i].Address, expected[i].second);
  }

  const OmfProcedure* delay = omf.FindProcedure(0x0208);
  ASSERT_NE(delay, nullptr);
  EXPECT_EQ(delay->Name, "delay");
  const std::vector<OmfLineEntry> dl = Entries(delay);
  ASSERT_EQ(dl.size(), 2u);
  EXPECT_EQ(dl[1].Line, 4u);
  EXPECT_EQ(dl[1].Address, 0x208u);
}

TEST_F(OmfProgram, PublicsKeepFileOrderAndEveryField) {
  EXPECT_EQ(Names(omf.GetPublics()), (std::vector<std::string>{"count", "total", "delay"}));
  const OmfSymbol* count = omf.GetPublics();
  EXPECT_EQ(count->SegId, 1);
  EXPECT_EQ(count->Space, MemorySpace::DATA);
  EXPECT_EQ(count->Address, 0x30);
  EXPECT_EQ(count->TypeIndex, OmfTypeIndex::tiInt);
  EXPECT_EQ(count->NameLen, 5);
  const OmfSymbol* total = count->Next;
  EXPECT_EQ(total->Space, MemorySpace::XDATA);
  EXPECT_EQ(total->Address, 0x1234);
  EXPECT_EQ(total->TypeIndex, OmfTypeIndex::tiULong);
  EXPECT_EQ(total->Next->Space, MemorySpace::CODE);
}

TEST_F(OmfProgram, LocalsFollowTheLastProcedureEvenAfterItsEnd) {
  const OmfProcedure* main = omf.GetModules()->Procs;
  EXPECT_EQ(Names(main->Locals), (std::vector<std::string>{"c", "flag"}));
  EXPECT_EQ(main->Locals->Next->Space, MemorySpace::BIT);
  EXPECT_EQ(main->Locals->Next->Address, 0x0B);
  // "late" comes after delay's procedure end and still belongs to delay.
  const OmfProcedure* delay = omf.GetModules()->Next->Procs;
  EXPECT_EQ(Names(delay->Locals), (std::vector<std::string>{"late"}));
}

TEST_F(OmfProgram, SymbolsPointAtTheLastTypeRecordReadBeforeThem) {
  const OmfSymbol* count = omf.GetPublics();
  ASSERT_NE(count->Types, nullptr);
  EXPECT_EQ(count->Types->Len, 2);
  EXPECT_EQ(count->Types->Data, (std::vector<uint8_t>{0xAA, 0xBB}));
  const OmfSymbol* late = omf.GetModules()->Next->Procs->Locals;
  ASSERT_NE(late->Types, nullptr);
  EXPECT_EQ(late->Types->Data, (std::vector<uint8_t>{0xCC}));
  // The type records are chained in file order.
  EXPECT_EQ(count->Types->Next, late->Types);
  EXPECT_EQ(late->Types->Next, nullptr);
}

TEST_F(OmfProgram, ContentLandsInTheImageAndNowhereElse) {
  const CodeImage& image = *omf.GetImage();
  EXPECT_EQ(image[0x0FF], 0xFF);
  EXPECT_EQ(image[0x100], 0x00);
  EXPECT_EQ(image[0x11F], 0x1F);
  EXPECT_EQ(image[0x120], 0xFF);
  EXPECT_EQ(image[0x200], 0x00);
  EXPECT_EQ(image[0x20F], 0x0F);
  EXPECT_EQ(image[0x210], 0xFF);
}

}  // namespace
}  // namespace vx930
