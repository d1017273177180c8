// The Intel HEX reader: 16-bit addresses into the 64 KB code image.
#include <span>

#include "ide/image/file_bytes.h"
#include "ide/image/hex_decoder.h"
#include "ide/image/ide_message.h"

namespace vx930 {

namespace {

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool CDecodeHex::ReadHexRecords(std::span<const uint8_t> text) {
  CodeImage& image = *image_;
  const std::size_t size = text.size();
  std::size_t pos = 0;
  auto readNumber = [&](int digits, uint32_t& value) {
    if (size - pos < static_cast<std::size_t>(digits)) return false;
    value = 0;
    for (int i = 0; i < digits; ++i) {
      const int d = HexDigit(text[pos + static_cast<std::size_t>(i)]);
      if (d < 0) return false;
      value = value * 16 + static_cast<uint32_t>(d);
    }
    pos += static_cast<std::size_t>(digits);
    return true;
  };

  bool ok = true;
  int32_t spanStart = 0;
  int32_t spanEnd = 0;
  while (pos < size) {
    if (text[pos++] != ':') return false;
    uint32_t count = 0;
    uint32_t address = 0;
    if (!readNumber(2, count) || !readNumber(4, address)) return false;
    if (size - pos < 2) return false;
    const uint8_t type0 = text[pos];
    const uint8_t type1 = text[pos + 1];
    pos += 2;
    // Only the type's second character is examined for the end record.
    if (type1 == '1') return true;
    if (2 * count > 255) {
      ShowIdeMessage("Hex Length Column Error!!");
      return false;
    }
    if (count == 0) return false;
    if (size - pos < 2 * count) return false;

    // Types 02 to 05 carry addresses, not code bytes.
    const bool addressRecord = type0 == '0' && type1 >= '2' && type1 <= '5';
    const bool extendedAddress = type0 == '0' && (type1 == '2' || type1 == '4');
    uint32_t payload = 0;
    for (uint32_t k = 0; k < count; ++k) {
      // A bad digit ends the byte with the value of the digits before it;
      // the rest of the record is still taken and the load fails after it.
      uint8_t value = 0;
      for (int half = 0; half < 2; ++half) {
        const int d = HexDigit(text[pos + 2 * k + static_cast<std::size_t>(half)]);
        if (d < 0) {
          ok = false;
          break;
        }
        value = static_cast<uint8_t>(value * 16 + d);
      }
      if (addressRecord) {
        payload = (payload << 8) | value;
        continue;
      }
      if (address < kCodeSize) {
        image[address] = value;
        const auto a = static_cast<int32_t>(address);
        if (a >= spanEnd || a < spanStart) {
          spanEnd = MarkInstruction(a, value);
          spanStart = a;
        }
      } else {
        ok = false;  // past 0xFFFF: not in the code space, dropped
      }
      ++address;
    }
    pos += 2 * count;
    // A non-zero segment or upper linear address puts what follows outside
    // the 64 KB code space.
    if (extendedAddress && (count != 2 || payload != 0)) return false;

    if (!ok) return false;
    // The checksum's value is not checked, but its two digits and the line
    // end must be where the count says: a line a character short or long
    // would otherwise load with a checksum digit taken for data.
    uint32_t checksum = 0;
    if (!readNumber(2, checksum)) return false;
    if (pos < size) {
      if (text[pos] == '\r') ++pos;  // CR alone is no line end
      if (pos >= size || text[pos] != '\n') return false;
      ++pos;
    }
  }
  return ok;
}

CDecodeHex::HexRead CDecodeHex::ReadHexFile(const std::string& path) {
  if (!image_ || !listing_) return HexRead::NotOpened;  // a line decoder reads no files
  ClearSymbols();
  ClearImage();
  std::vector<uint8_t> text;
  if (!ReadFileBytes(path, text)) return HexRead::NotOpened;

  const bool ok = ReadHexRecords(text);
  LoadSymbolFile(path);
  MarkAllStarts();
  return ok ? HexRead::Good : HexRead::Bad;
}

bool CDecodeHex::LoadHexFile(const std::string& path) {
  const HexRead read = ReadHexFile(path);
  if (read == HexRead::NotOpened) return false;
  BuildListing();
  return read == HexRead::Good;
}

}  // namespace vx930
