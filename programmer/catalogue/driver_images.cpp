#include "programmer/catalogue/driver_images.h"

namespace zolvek {

std::string DriverResourceName(std::string_view driverName) { return "BIN" + std::string(driverName); }

const char* MonitorFileName(std::uint32_t linkKind) { return linkKind == 0 ? MonitorFileCom : MonitorFileOther; }

bool SameResourceName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace zolvek
