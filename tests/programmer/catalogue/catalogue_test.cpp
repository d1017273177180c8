// Validator of the device catalogue. It prints the value counts it finds and
// checks the rows against what the rest of the program reads from them:
//
//  1. 32 manufacturers, their names and type lists in index order, 385 rows.
//  2. The 26 rows given in full, field by field.
//  3. The value count of every field: family (44 codes), lockStatusReadable,
//     verifyVoltageProfile, lockKind, configKind, securityTableSize, eraseKind,
//     idByteCount, wordWide, bufferKind, idCheck, adaptorText; 130 driver
//     names with 126 ids from 1 to 0xDB; 30 converter masks using bits 0-26.
//  4. Sizes 0x400 to 0x21000; three rows 0xFFFF, one 0xFC00; only the three
//     rows larger than the 128 KB internal buffer have bufferKind 0.
//  5. Repeated makers: LG Semicon and HYUNDAI are prefixes of HYNIX, ICSI equals
//     ISSI (but idCheck 0 on IS89C51A and IS89C52A), INFINEON equals SIEMENS.
//  6. A driver name has one id; an id has one name except 0xAE, 0xB1, 0xAA;
//     names differ also without regard to case (resources are found so).
//  7. Block erase: each eraseKind from 2 up has a size its block layout covers;
//     families 0x0A and 0x17 place their second block by eraseKind 6 or 7.
//  8. Lock bits: more than three only on the family-0x26 row (HYNIX type 23);
//     family 0x17 has its single security bit, 0x1B two or three, 0x07 some.
//  9. Configuration: configKind only on families that have a configuration
//     dialog, and always on family 0x1E (its dialog is the serial fuse);
//     configKind 5 (clock-mode fuse) only on the clock-mode families, always
//     on 0x05 and 0x17; configKind 11 only on family 0x23, which has 1 or 11.
// 10. Data EEPROM (2048 bytes) only on families 0x06, 0x10, 0x1D; no table is
//     larger than the 2048-byte table buffer.
// 11. ID codes: idCheck needs at least two ID bytes; bytes past idByteCount
//     are 0xFF except where the fourth byte is a second accepted third code
//     (family 0x12, "89C58Bx" with 15 C2 FE F8).
// 12. Driver ids with their own behaviour exist where it makes sense: the
//     block-configuration ids (4, 7, 19, 25, 26, 27, 34, 39, 42, 52, 125, 139,
//     219) on rows with configKind (19 on family 5); the pass-programming ids
//     36, 63, 68; 0x43; 0x37 and 0x51 on WINBOND rows with configKind; 0x4C;
//     0x3B on a clock-mode row; 0x50 and 0x52 in family 0x24; 0x55 on
//     "W77E516"; the buffer-fill ids 0x07, 0x13, 0x19, 0x1A, 0x1B, 0x22, 0x27,
//     0x58, 0x59, 0x5D.
// 13. Named devices: DALLAS types 1 and 2 are the family-0x04 rows; MYSON types
//     0 and 1 are "MTV012" and "MTV112"; "T89C51IC2" is in family 0x10 or 0x1D;
//     "8755A" is three rows (INTEL, NEC, TOSHIBA).
// 14. Address layout: families 0x24 and 0x25 fit the top of 64 KB; families
//     0x16, 0x21, 0x2D keep their loader block above a 64 KB program memory
//     (family 0x16 with 48 KB of program memory);
//     family 0x2E is larger than 64 KB.
// 15. ConverterList: 29 lines "package --> model\n" within their 50-byte
//     slots; every adaptorText other than "None" is a model of the list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <iomanip>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "programmer/catalogue/catalogue.h"
#include "tests/programmer/catalogue/catalogue_expected.h"

namespace zolvek {
namespace {

struct Row {
  std::uint32_t mfr;
  std::uint32_t type;
  const DeviceTypeRecord* r;
};

std::vector<Row> AllRows() {
  std::vector<Row> rows;
  for (std::uint32_t m = 0; m < MfrTypeTable.manufacturerCount; ++m)
    for (std::uint32_t t = 0; t < MfrTypeTable.typeCounts[m]; ++t) rows.push_back({m, t, &MfrTypeTable.types[m][t]});
  return rows;
}

std::string Where(const Row& row) {
  return std::string(MfrTypeTable.names[row.mfr]) + " " + std::to_string(row.type) + " \"" + row.r->name + "\"";
}

std::string Hex(std::uint32_t v, int digits = 1) {
  std::ostringstream s;
  s << "0x" << std::uppercase << std::hex << std::setw(digits) << std::setfill('0') << v;
  return s.str();
}

using Histogram = std::map<std::uint32_t, std::uint32_t>;

Histogram Count(const std::function<std::uint32_t(const DeviceTypeRecord&)>& field) {
  Histogram h;
  for (const Row& row : AllRows()) ++h[field(*row.r)];
  return h;
}

void Print(const char* name, const Histogram& h, bool hex) {
  std::cout << name << ":";
  for (const auto& [value, count] : h)
    std::cout << " " << (hex ? Hex(value, 2) : std::to_string(value)) << " (" << count << ")";
  std::cout << "\n";
}

std::uint32_t MfrIndex(const char* name) {
  for (std::uint32_t m = 0; m < ManufacturerCount; ++m)
    if (std::string(MfrTypeTable.names[m]) == name) return m;
  ADD_FAILURE() << "no manufacturer " << name;
  return 0;
}

bool SameFields(const DeviceTypeRecord& a, const DeviceTypeRecord& b, bool ignoreIdCheck) {
  return std::string(a.name) == b.name && a.size == b.size && a.family == b.family &&
         a.lockStatusReadable == b.lockStatusReadable && a.verifyVoltageProfile == b.verifyVoltageProfile &&
         a.lockKind == b.lockKind && a.configKind == b.configKind && a.securityTableSize == b.securityTableSize &&
         a.eraseKind == b.eraseKind && std::string(a.driverName) == b.driverName &&
         std::string(a.adaptorText) == b.adaptorText && a.driverId == b.driverId && a.idByteCount == b.idByteCount &&
         a.wordWide == b.wordWide && a.bufferKind == b.bufferKind && (ignoreIdCheck || a.idCheck == b.idCheck) &&
         a.idBytes == b.idBytes && a.converterMask == b.converterMask;
}

TEST(Catalogue, ManufacturersAndTypesInTheirFixedOrder) {
  ASSERT_EQ(ManufacturerCount, 32u);
  ASSERT_EQ(MfrTypeTable.manufacturerCount, 32u);
  ASSERT_EQ(test::kExpectedTypes.size(), 32u);
  std::uint32_t total = 0;
  for (std::uint32_t m = 0; m < ManufacturerCount; ++m) {
    const auto& [name, types] = test::kExpectedTypes[m];
    EXPECT_EQ(MfrTypeTable.names[m], name) << "manufacturer " << m;
    ASSERT_EQ(MfrTypeTable.typeCounts[m], types.size()) << name;
    for (std::uint32_t t = 0; t < types.size(); ++t)
      EXPECT_EQ(MfrTypeTable.types[m][t].name, types[t]) << name << " " << t;
    total += MfrTypeTable.typeCounts[m];
  }
  EXPECT_EQ(total, 385u);
}

TEST(Catalogue, RowsGivenInFullAreExact) {
  for (const test::GivenRow& g : test::kGivenRows) {
    const DeviceTypeRecord* r = FindDeviceType(g.mfr, g.type);
    ASSERT_NE(r, nullptr) << g.name;
    SCOPED_TRACE(std::string(MfrTypeTable.names[g.mfr]) + " " + g.name);
    EXPECT_STREQ(r->name, g.name);
    EXPECT_EQ(r->size, g.size);
    EXPECT_EQ(r->family, g.family);
    EXPECT_EQ(r->lockStatusReadable, g.lockStatusReadable);
    EXPECT_EQ(r->verifyVoltageProfile, g.verifyVoltageProfile);
    EXPECT_EQ(r->lockKind, g.lockKind);
    EXPECT_EQ(r->configKind, g.configKind);
    EXPECT_EQ(r->securityTableSize, g.securityTableSize);
    EXPECT_EQ(r->eraseKind, g.eraseKind);
    EXPECT_STREQ(r->driverName, g.driverName);
    EXPECT_STREQ(r->adaptorText, "None");
    EXPECT_EQ(r->driverId, g.driverId);
    EXPECT_EQ(r->idByteCount, g.idByteCount);
    EXPECT_EQ(r->wordWide, 0u);
    EXPECT_EQ(r->bufferKind, g.bufferKind);
    EXPECT_EQ(r->idCheck, g.idCheck);
    EXPECT_EQ(r->idBytes, g.idBytes);
    EXPECT_EQ(r->converterMask, g.converterMask);
  }
}

TEST(Catalogue, ValueCountsOfEveryField) {
  struct Expected {
    const char* name;
    std::function<std::uint32_t(const DeviceTypeRecord&)> field;
    Histogram counts;
    bool hex;
  };
  const std::vector<Expected> fields = {
      {"family",
       [](const DeviceTypeRecord& r) { return r.family; },
       {{0x00, 213}, {0x01, 4}, {0x02, 8}, {0x03, 6}, {0x04, 2},  {0x05, 17}, {0x06, 2}, {0x07, 1}, {0x08, 3},
        {0x09, 2},   {0x0A, 4}, {0x0B, 4}, {0x0C, 2}, {0x0D, 5},  {0x0E, 4},  {0x0F, 1}, {0x10, 6}, {0x11, 4},
        {0x12, 2},   {0x13, 1}, {0x14, 2}, {0x15, 1}, {0x16, 2},  {0x17, 2},  {0x18, 1}, {0x19, 4}, {0x1A, 2},
        {0x1B, 2},   {0x1D, 3}, {0x1E, 4}, {0x21, 9}, {0x23, 18}, {0x24, 8},  {0x25, 4}, {0x26, 1}, {0x28, 2},
        {0x29, 7},   {0x2A, 1}, {0x2B, 9}, {0x2C, 1}, {0x2D, 1},  {0x2E, 5},  {0x3C, 4}, {0x75, 1}},
       true},
      {"lockStatusReadable",
       [](const DeviceTypeRecord& r) { return r.lockStatusReadable; },
       {{0, 268}, {1, 117}},
       false},
      {"verifyVoltageProfile",
       [](const DeviceTypeRecord& r) { return r.verifyVoltageProfile; },
       {{0, 346}, {1, 15}, {2, 4}, {3, 19}, {4, 1}},
       false},
      {"lockKind",
       [](const DeviceTypeRecord& r) { return r.lockKind; },
       {{0, 80}, {1, 68}, {2, 79}, {3, 157}, {6, 1}},
       false},
      {"configKind",
       [](const DeviceTypeRecord& r) { return r.configKind; },
       {{0, 240}, {1, 60}, {2, 18}, {3, 3}, {4, 6}, {5, 29}, {7, 11}, {9, 4}, {10, 8}, {11, 6}},
       false},
      {"securityTableSize",
       [](const DeviceTypeRecord& r) { return r.securityTableSize; },
       {{0, 242}, {0x20, 46}, {0x40, 82}, {0x80, 13}, {0x800, 2}},
       true},
      {"eraseKind",
       [](const DeviceTypeRecord& r) { return r.eraseKind; },
       {{0, 188}, {1, 163}, {2, 1}, {3, 13}, {4, 2}, {5, 2}, {6, 4}, {7, 2}, {8, 1}, {9, 6}, {10, 1}, {11, 2}},
       false},
      {"idByteCount",
       [](const DeviceTypeRecord& r) { return r.idByteCount; },
       {{0, 91}, {1, 3}, {2, 178}, {3, 92}, {4, 21}},
       false},
      {"wordWide", [](const DeviceTypeRecord& r) { return r.wordWide; }, {{0, 385}}, false},
      {"bufferKind", [](const DeviceTypeRecord& r) { return r.bufferKind; }, {{0, 3}, {1, 382}}, false},
      {"idCheck", [](const DeviceTypeRecord& r) { return r.idCheck; }, {{0, 166}, {1, 219}}, false},
  };
  std::cout << "Catalogue value counts (value (rows)):\n";
  for (const Expected& e : fields) {
    const Histogram found = Count(e.field);
    Print(e.name, found, e.hex);
    EXPECT_EQ(found, e.counts) << e.name;
  }

  std::map<std::string, int> adaptors;
  std::set<std::string> driverNames;
  std::set<std::uint32_t> driverIds, masks;
  std::uint32_t maskBits = 0;
  for (const Row& row : AllRows()) {
    ++adaptors[row.r->adaptorText];
    driverNames.insert(row.r->driverName);
    driverIds.insert(row.r->driverId);
    masks.insert(row.r->converterMask);
    maskBits |= row.r->converterMask;
  }
  std::cout << "adaptorText:";
  for (const auto& [text, n] : adaptors) std::cout << " \"" << text << "\" (" << n << ")";
  std::cout << "\ndriverName: " << driverNames.size() << " distinct; driverId: " << driverIds.size() << " distinct, "
            << Hex(*driverIds.begin()) << " to " << Hex(*driverIds.rbegin()) << "\nconverterMask: " << masks.size()
            << " distinct, bits in use " << Hex(maskBits) << "\n";
  std::cout << "size:";
  for (const auto& [size, n] : Count([](const DeviceTypeRecord& r) { return r.size; }))
    std::cout << " " << Hex(size) << " (" << n << ")";
  std::cout << "\nconverterMask values:";
  for (const auto& [mask, n] : Count([](const DeviceTypeRecord& r) { return r.converterMask; }))
    std::cout << " " << Hex(mask) << " (" << n << ")";
  std::cout << "\n";

  EXPECT_EQ(adaptors["None"], 375);
  EXPECT_EQ(adaptors.size(), 11u) << "ten rows name ten converter models";
  for (const auto& [text, n] : adaptors)
    if (text != "None") {
      EXPECT_EQ(n, 1) << text;
    }
  EXPECT_EQ(driverNames.size(), 130u);
  EXPECT_EQ(driverIds.size(), 126u);
  EXPECT_EQ(*driverIds.begin(), 0x01u);
  EXPECT_EQ(*driverIds.rbegin(), 0xDBu);
  EXPECT_EQ(masks.size(), 30u);
  EXPECT_EQ(maskBits, (1u << 27) - 1) << "bits 0 to 26 in use, no other";
}

TEST(Catalogue, SizesAndBufferKinds) {
  std::uint32_t ffff = 0, fc00 = 0;
  for (const Row& row : AllRows()) {
    const DeviceTypeRecord& r = *row.r;
    EXPECT_GE(r.size, 0x400u) << Where(row);
    EXPECT_LE(r.size, 0x21000u) << Where(row);
    ffff += r.size == 0xFFFF;
    fc00 += r.size == 0xFC00;
    // The internal buffer holds 128 KB; only larger devices live elsewhere.
    EXPECT_EQ(r.bufferKind, r.size > 0x20000 ? 0u : 1u) << Where(row);
  }
  EXPECT_EQ(ffff, 3u);
  EXPECT_EQ(fc00, 1u);
  const std::uint32_t winbond = MfrIndex("WINBOND");
  for (const char* name : {"W77E532", "W77LE532", "W79E532"}) {
    bool found = false;
    for (std::uint32_t t = 0; t < TypeCount(winbond); ++t)
      if (std::string(FindDeviceType(winbond, t)->name) == name) found = FindDeviceType(winbond, t)->bufferKind == 0;
    EXPECT_TRUE(found) << name;
  }
}

TEST(Catalogue, RepeatedMakersCarryTheSameRows) {
  const std::uint32_t hynix = MfrIndex("HYNIX");
  const std::vector<std::pair<const char*, const char*>> copies = {
      {"LG Semicon", "HYNIX"}, {"HYUNDAI", "HYNIX"}, {"ICSI", "ISSI"}, {"INFINEON", "SIEMENS"}};
  for (const auto& [copy, original] : copies) {
    const std::uint32_t c = MfrIndex(copy), o = MfrIndex(original);
    ASSERT_LE(TypeCount(c), TypeCount(o)) << copy;
    if (o != hynix) {
      EXPECT_EQ(TypeCount(c), TypeCount(o)) << copy;
    }
    for (std::uint32_t t = 0; t < TypeCount(c); ++t) {
      const DeviceTypeRecord& a = *FindDeviceType(c, t);
      const DeviceTypeRecord& b = *FindDeviceType(o, t);
      const bool icsiException =
          std::string(copy) == "ICSI" && (std::string(a.name) == "IS89C51A" || std::string(a.name) == "IS89C52A");
      EXPECT_TRUE(SameFields(a, b, icsiException)) << copy << " " << t << " " << a.name;
      if (icsiException) {
        EXPECT_EQ(a.idCheck, 0u) << a.name;
        EXPECT_EQ(b.idCheck, 1u) << a.name;
      }
    }
  }
}

TEST(Catalogue, DriverNamesAndIds) {
  std::map<std::string, std::set<std::uint32_t>> idsOfName;
  std::map<std::uint32_t, std::set<std::string>> namesOfId;
  std::map<std::string, std::string> byFoldedName;
  for (const Row& row : AllRows()) {
    idsOfName[row.r->driverName].insert(row.r->driverId);
    namesOfId[row.r->driverId].insert(row.r->driverName);
    std::string folded = row.r->driverName;
    for (char& ch : folded) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    auto [it, added] = byFoldedName.emplace(folded, row.r->driverName);
    EXPECT_EQ(it->second, row.r->driverName) << "two driver names differ only in case";
  }
  for (const auto& [name, ids] : idsOfName) EXPECT_EQ(ids.size(), 1u) << name;
  const std::map<std::uint32_t, std::set<std::string>> shared = {
      {0xAE, {"P89C54X2", "S89V554", "SM5964"}}, {0xB1, {"87C51RA2", "SM8954"}}, {0xAA, {"MSU79164", "MSU79xx"}}};
  for (const auto& [id, names] : namesOfId) {
    if (shared.count(id)) {
      EXPECT_EQ(names, shared.at(id)) << Hex(id);
    } else {
      EXPECT_EQ(names.size(), 1u) << Hex(id);
    }
  }
  for (const auto& [id, names] : shared) EXPECT_TRUE(namesOfId.count(id)) << Hex(id);
}

TEST(Catalogue, BlockEraseLayoutsFitTheDevice) {
  for (const Row& row : AllRows()) {
    const DeviceTypeRecord& r = *row.r;
    const std::uint32_t s = r.size;
    switch (r.eraseKind) {
      case 0:
      case 1: break;
      case 2: EXPECT_EQ(s, 0xFC00u) << Where(row); break;  // blocks end at FBFF
      case 3:
        EXPECT_TRUE(s == 0x1000 || s == 0x2000 || s == 0x4000 || s == 0x8000 || s == 0x10000) << Where(row);
        break;
      case 4: EXPECT_EQ(s, 0x4000u) << Where(row); break;  // 0000-3FFF and F000-FFFF
      case 5: EXPECT_EQ(s, 0x8000u) << Where(row); break;  // 0000-7FFF and F000-FFFF
      case 6: EXPECT_EQ(s, 0x10000u) << Where(row); break;  // 0000-FFFF and 10000-11FFF
      case 7: EXPECT_EQ(s, 0x8000u) << Where(row); break;  // 0000-7FFF and E000-FFFF
      case 8: EXPECT_EQ(s, 0x18000u) << Where(row); break;  // twelve 8 KB blocks
      case 9: EXPECT_TRUE(s == 0x2000 || s == 0x4000 || s == 0x8000 || s == 0x10000) << Where(row); break;
      case 10: EXPECT_EQ(s, 0x10000u) << Where(row); break;  // four 16 KB blocks
      case 11: EXPECT_EQ(r.securityTableSize, 0x800u) << Where(row); break;  // code and EEPROM blocks
      default: ADD_FAILURE() << Where(row) << " eraseKind " << r.eraseKind;
    }
    if (r.family == 0x0A) {
      EXPECT_TRUE(r.eraseKind == 6 || r.eraseKind == 7) << Where(row);
    }
    if (r.family == 0x17) {
      EXPECT_EQ(r.eraseKind, 6u) << Where(row);
    }
  }
}

TEST(Catalogue, LockBitsByFamily) {
  for (const Row& row : AllRows()) {
    const DeviceTypeRecord& r = *row.r;
    if (r.lockKind > 3) {
      EXPECT_EQ(r.family, 0x26u) << Where(row);
      EXPECT_EQ(r.lockKind, 6u) << Where(row);
    }
    if (r.family == 0x26) {
      EXPECT_EQ(r.lockKind, 6u) << Where(row);
    }
    if (r.family == 0x17) {
      EXPECT_EQ(r.lockKind, 1u) << Where(row);
    }
    if (r.family == 0x1B) {
      EXPECT_TRUE(r.lockKind == 2 || r.lockKind == 3) << Where(row);
    }
    if (r.family == 0x07) {
      EXPECT_GE(r.lockKind, 1u) << Where(row);
    }
  }
  const DeviceTypeRecord* hms99c52 = FindDeviceType(MfrIndex("HYNIX"), 23);
  ASSERT_NE(hms99c52, nullptr);
  EXPECT_STREQ(hms99c52->name, "HMS99C52");
  EXPECT_EQ(hms99c52->family, 0x26u);
}

TEST(Catalogue, ConfigurationKindsMatchTheDialogs) {
  const std::set<std::uint32_t> withDialog = {0x00, 0x04, 0x0D, 0x29, 0x09, 0x0A, 0x15, 0x19, 0x1A, 0x75, 0x02,
                                              0x03, 0x05, 0x11, 0x12, 0x13, 0x18, 0x17, 0x06, 0x10, 0x1D, 0x0F,
                                              0x1E, 0x21, 0x2B, 0x2D, 0x28, 0x2C, 0x2A, 0x2E, 0x23, 0x24, 0x25};
  const std::set<std::uint32_t> clockMode = {0x02, 0x03, 0x05, 0x11, 0x12, 0x13, 0x18, 0x17};
  for (const Row& row : AllRows()) {
    const DeviceTypeRecord& r = *row.r;
    if (r.configKind != 0) {
      EXPECT_TRUE(withDialog.count(r.family)) << Where(row);
    }
    if (r.family == 0x1E) {
      EXPECT_NE(r.configKind, 0u) << Where(row);
    }
    if (r.configKind == 5) {
      EXPECT_TRUE(clockMode.count(r.family)) << Where(row);
    }
    if (r.family == 0x05 || r.family == 0x17) {
      EXPECT_EQ(r.configKind, 5u) << Where(row);
    }
    if (r.configKind == 11) {
      EXPECT_EQ(r.family, 0x23u) << Where(row);
    }
    if (r.family == 0x23) {
      EXPECT_TRUE(r.configKind == 1 || r.configKind == 11) << Where(row);
    }
  }
}

TEST(Catalogue, EncryptionTablesAndDataEeprom) {
  for (const Row& row : AllRows()) {
    const DeviceTypeRecord& r = *row.r;
    EXPECT_LE(r.securityTableSize, 0x800u) << Where(row);
    if (r.securityTableSize == 0x800) {
      EXPECT_TRUE(r.family == 0x06 || r.family == 0x10 || r.family == 0x1D) << Where(row);
    }
  }
}

TEST(Catalogue, IdCodes) {
  for (const Row& row : AllRows()) {
    const DeviceTypeRecord& r = *row.r;
    if (r.idCheck) {
      EXPECT_GE(r.idByteCount, 2u) << Where(row);
    }
    const bool fourthIsAlternative = r.family == 0x12 || std::string(r.name) == "89C58Bx";
    for (std::uint32_t i = r.idByteCount; i < 4; ++i) {
      if (fourthIsAlternative && i == 3) continue;
      EXPECT_EQ(r.idBytes[i], 0xFF) << Where(row) << " byte " << i;
    }
    if (fourthIsAlternative) {
      EXPECT_EQ(r.idByteCount, 3u) << Where(row);
      EXPECT_NE(r.idBytes[3], 0xFF) << Where(row);
    }
  }
  const std::uint32_t philips = MfrIndex("PHILIPS");
  bool found = false;
  for (std::uint32_t t = 0; t < TypeCount(philips); ++t) {
    const DeviceTypeRecord& r = *FindDeviceType(philips, t);
    if (std::string(r.name) != "89C58Bx") continue;
    found = true;
    EXPECT_EQ(r.family, 0x05u);
    EXPECT_EQ(r.idBytes, (std::array<std::uint8_t, 4>{0x15, 0xC2, 0xFE, 0xF8}));
  }
  EXPECT_TRUE(found);
}

TEST(Catalogue, DriverIdsWithTheirOwnBehaviour) {
  std::map<std::uint32_t, std::vector<Row>> byId;
  for (const Row& row : AllRows()) byId[row.r->driverId].push_back(row);
  auto any = [&](std::uint32_t id, const std::function<bool(const Row&)>& test) {
    const auto it = byId.find(id);
    return it != byId.end() && std::any_of(it->second.begin(), it->second.end(), test);
  };
  auto every = [&](std::uint32_t id, const std::function<bool(const Row&)>& test) {
    const auto it = byId.find(id);
    return it != byId.end() && std::all_of(it->second.begin(), it->second.end(), test);
  };
  for (std::uint32_t id : {4u, 7u, 19u, 25u, 26u, 27u, 34u, 39u, 42u, 52u, 125u, 139u, 219u})
    EXPECT_TRUE(any(id, [](const Row& row) { return row.r->configKind != 0; })) << "block configuration id " << id;
  EXPECT_TRUE(every(19, [](const Row& row) { return row.r->family == 5; }));
  for (std::uint32_t id : {36u, 63u, 68u, 0x43u, 0x4Cu}) EXPECT_TRUE(byId.count(id)) << Hex(id);
  const std::uint32_t winbond = MfrIndex("WINBOND");
  for (std::uint32_t id : {0x37u, 0x51u})
    EXPECT_TRUE(every(id, [&](const Row& row) { return row.mfr == winbond && row.r->configKind != 0; })) << Hex(id);
  EXPECT_TRUE(every(0x3B, [](const Row& row) { return row.r->configKind == 5; }));
  for (std::uint32_t id : {0x50u, 0x52u})
    EXPECT_TRUE(every(id, [](const Row& row) { return row.r->family == 0x24; })) << Hex(id);
  EXPECT_TRUE(any(0x55, [](const Row& row) { return std::string(row.r->name) == "W77E516"; }));
  for (std::uint32_t id : {0x07u, 0x13u, 0x19u, 0x1Au, 0x1Bu, 0x22u, 0x27u, 0x58u, 0x59u, 0x5Du})
    EXPECT_TRUE(byId.count(id)) << "buffer-fill id " << Hex(id);
}

TEST(Catalogue, DevicesTheProgramNames) {
  const std::uint32_t dallas = MfrIndex("DALLAS"), myson = MfrIndex("MYSON");
  EXPECT_STREQ(FindDeviceType(dallas, 1)->name, "DS5000 8");
  EXPECT_STREQ(FindDeviceType(dallas, 2)->name, "DS5000 32");
  EXPECT_STREQ(FindDeviceType(myson, 0)->name, "MTV012");
  EXPECT_STREQ(FindDeviceType(myson, 1)->name, "MTV112");
  std::uint32_t eightySevenFiftyFive = 0;
  for (const Row& row : AllRows()) {
    const DeviceTypeRecord& r = *row.r;
    if (r.family == 0x04) {
      EXPECT_TRUE(row.mfr == dallas && (row.type == 1 || row.type == 2)) << Where(row);
    }
    if (std::string(r.name) == "T89C51IC2") {
      EXPECT_TRUE(r.family == 0x10 || r.family == 0x1D) << Where(row);
    }
    if (std::string(r.name) == "8755A") ++eightySevenFiftyFive;
    if (r.family == 0x24 || r.family == 0x25) {
      EXPECT_LE(r.size, 0x10000u) << Where(row);
    }
    if (r.family == 0x16 || r.family == 0x21 || r.family == 0x2D) {
      EXPECT_LE(r.size, 0x10000u) << Where(row);
    }
    if (r.family == 0x16) {
      EXPECT_EQ(r.size, 0xC000u) << Where(row);  // APROM 0-BFFF, loader at 10000
    }
    if (r.family == 0x2E) {
      EXPECT_GT(r.size, 0x10000u) << Where(row);
    }
  }
  EXPECT_EQ(eightySevenFiftyFive, 3u);
}

TEST(Catalogue, VerifyVoltageTable) {
  EXPECT_EQ(VerifyVoltageTable[1], (std::array<std::uint8_t, 6>{0x7D, 0x44, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(VerifyVoltageTable[2], (std::array<std::uint8_t, 6>{0x7D, 0x7D, 0x53, 0x53, 0x92, 0x32}));
  EXPECT_EQ(VerifyVoltageTable[3], (std::array<std::uint8_t, 6>{0x7D, 0x44, 0x53, 0x2D, 0x00, 0x00}));
  EXPECT_EQ(VerifyVoltageTable[4], (std::array<std::uint8_t, 6>{0x7D, 0x4C, 0x56, 0x33, 0x00, 0x00}));
  for (const Row& row : AllRows()) EXPECT_LT(row.r->verifyVoltageProfile, VerifyVoltageRows) << Where(row);
}

TEST(Catalogue, ConverterListAndAdaptors) {
  std::set<std::string> models;
  for (std::size_t i = 0; i < ConverterLineCount; ++i) {
    const std::string line = ConverterList[i];
    EXPECT_LT(line.size(), ConverterSlotSize) << i;  // the terminating zero fits the slot
    const std::size_t arrow = line.find(" --> ");
    ASSERT_NE(arrow, std::string::npos) << i;
    EXPECT_GT(arrow, 0u) << i;
    ASSERT_EQ(line.back(), '\n') << i;
    models.insert(line.substr(arrow + 5, line.size() - arrow - 6));
  }
  for (const Row& row : AllRows()) {
    if (std::string(row.r->adaptorText) != "None") {
      EXPECT_TRUE(models.count(row.r->adaptorText)) << Where(row);
    }
    EXPECT_EQ(row.r->converterMask >> ConverterLineCount, 0u) << Where(row);
  }
}

TEST(CatalogueLookups, IndexBounds) {
  EXPECT_TRUE(IsValidManufacturer(0));
  EXPECT_TRUE(IsValidManufacturer(31));
  EXPECT_FALSE(IsValidManufacturer(32));
  EXPECT_FALSE(IsValidManufacturer(0xFFFFFFFF));
  EXPECT_EQ(ManufacturerName(32), nullptr);
  EXPECT_STREQ(ManufacturerName(31), "MEGAWIN");
  EXPECT_EQ(TypeCount(32), 0u);
  EXPECT_EQ(TypeCount(2), 76u);
  EXPECT_TRUE(IsValidType(2, 75));
  EXPECT_FALSE(IsValidType(2, 76));
  EXPECT_FALSE(IsValidType(32, 0));
  EXPECT_EQ(FindDeviceType(2, 76), nullptr);
  EXPECT_EQ(FindDeviceType(32, 0), nullptr);
  EXPECT_STREQ(FindDeviceType(2, 75)->name, "89V51RD2");
  // One name, three rows with their own index pairs.
  EXPECT_STREQ(FindDeviceType(1, 13)->name, "8755A");
  EXPECT_STREQ(FindDeviceType(3, 0)->name, "8755A");
  EXPECT_STREQ(FindDeviceType(4, 0)->name, "8755A");
  EXPECT_FALSE(IsValidType(3, 1));
}

TEST(CatalogueLookups, ConverterText) {
  EXPECT_EQ(ConverterNoticeText(0), "No converter is needed.");
  EXPECT_EQ(ConverterText(0), "");
  EXPECT_EQ(ConverterNoticeText(0xA), std::string(ConverterList[1]) + ConverterList[3]);
  EXPECT_EQ(ConverterNoticeText(0x9), std::string(ConverterList[0]) + ConverterList[3]);
  EXPECT_EQ(ConverterText(1u << 28), ConverterList[28]);
  // Bits without a line add nothing.
  EXPECT_EQ(ConverterText(0xE0000000u | 0x4), ConverterList[2]);
  EXPECT_EQ(ConverterNoticeText(0xE0000000u), "");
  // A device's notice, by its mask.
  const DeviceTypeRecord* ds5000 = FindDeviceType(6, 1);
  EXPECT_EQ(ConverterNoticeText(ds5000->converterMask), "No converter is needed.");
}

}  // namespace
}  // namespace zolvek
