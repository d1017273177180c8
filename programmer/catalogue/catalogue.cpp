#include "programmer/catalogue/catalogue.h"

namespace zolvek {

const std::array<std::array<std::uint8_t, 6>, VerifyVoltageRows> VerifyVoltageTable = {{
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    {0x7D, 0x44, 0x00, 0x00, 0x00, 0x00},
    {0x7D, 0x7D, 0x53, 0x53, 0x92, 0x32},
    {0x7D, 0x44, 0x53, 0x2D, 0x00, 0x00},
    {0x7D, 0x4C, 0x56, 0x33, 0x00, 0x00},
}};

// The programmer maker's socket converters, one package a line. Lines 27 and
// 28 exist for devices the catalogue does not list yet.
const std::array<const char*, ConverterLineCount> ConverterList = {
    "PLCC44 --> BRN-44PL-D40\n",  // 0
    "QFP44 --> BRN-44QF-D40\n",  // 1
    "TQFP44 --> BRN-44TQ-D40\n",  // 2
    "VQFP44 --> BRN-44VQ-D40\n",  // 3
    "PLCC52 --> BRN-52PL-D40\n",  // 4
    "VQFP64 --> BRN-64VQ-D40\n",  // 5
    "SOIC20 --> BRN-20SO-D20\n",  // 6
    "SSOP20 --> BRN-20SS-D20\n",  // 7
    "PLCC44(C513) --> BRN-44PL-C5\n",  // 8
    "SDIP42 --> BRN-42SD-D40\n",  // 9
    "SOP24 --> BRN-24SO-CS\n",  // 10
    "PLCC68 --> BRN-68PL-D40\n",  // 11
    "QFP80 --> BRN-80QF-MX\n",  // 12
    "QFP100 --> BRN-100QF-MX\n",  // 13
    "SOP20 --> BRN-20SP-H87\n",  // 14
    "SOP28 --> BRN-28SP-H87\n",  // 15
    "SSOP24 --> BRN-24SS-H81\n",  // 16
    "SKDIP28 --> BRN-28SK-H81\n",  // 17
    "SOP32 --> BRN-32SP-H87\n",  // 18
    "PLCC44(PT) --> BRN-44PL-PT\n",  // 19
    "QFP64 --> BRN-64QF-AL\n",  // 20
    "PLCC84 --> BRN-84PL-MX\n",  // 21
    "LQFP48 --> BRN-48LQ-SM\n",  // 22
    "PLCC44(E) --> BRN-44PL-W78\n",  // 23
    "QFP48 --> BRN-48QF-GL\n",  // 24
    "LQFP48(X2) --> BRN-48LQ-MG\n",  // 25
    "PLCC44(GC) --> BRN-44PL-GC\n",  // 26
    "SOIC28 --> BRN-28SO-D28\n",  // 27
    "PLCC28 --> BRN-28PL-D28\n",  // 28
};

bool IsValidManufacturer(std::uint32_t mfr) { return mfr < MfrTypeTable.manufacturerCount; }

bool IsValidType(std::uint32_t mfr, std::uint32_t type) {
  return IsValidManufacturer(mfr) && type < MfrTypeTable.typeCounts[mfr];
}

const char* ManufacturerName(std::uint32_t mfr) { return IsValidManufacturer(mfr) ? MfrTypeTable.names[mfr] : nullptr; }

std::uint32_t TypeCount(std::uint32_t mfr) { return IsValidManufacturer(mfr) ? MfrTypeTable.typeCounts[mfr] : 0; }

const DeviceTypeRecord* FindDeviceType(std::uint32_t mfr, std::uint32_t type) {
  return IsValidType(mfr, type) ? &MfrTypeTable.types[mfr][type] : nullptr;
}

std::string ConverterText(std::uint32_t mask) {
  std::string text;
  for (std::size_t i = 0; i < ConverterLineCount; ++i) {
    if (mask >> i & 1u) text += ConverterList[i];
  }
  return text;
}

std::string ConverterNoticeText(std::uint32_t mask) { return mask == 0 ? NoConverterText : ConverterText(mask); }

}  // namespace zolvek
