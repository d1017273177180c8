// Where the programmer finds its driver images and monitor files.
//
// A driver image is the resource "BIN" + `driverName` of type "BINTYPE",
// found without regard to case; the monitor is a file beside the program,
// "MON08E.BIN" for the COM link and "MON08P.BIN" for the others. This header
// is plain C++ so that the link logic and its tests need no Qt: the program
// uses the Qt resource source of zolvek_driver_images, tests may use their own.
//
// The images shipped with this project are placeholders made at build time
// (resources/programmer/gen_images.py): the programmer's real firmware is not
// part of the project.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zolvek {

inline constexpr const char* DriverResourceType = "BINTYPE";
inline constexpr const char* MonitorFileCom = "MON08E.BIN";
inline constexpr const char* MonitorFileOther = "MON08P.BIN";
// Bytes 9 to 13 of a driver image: its five-character version text.
inline constexpr std::size_t DriverVersionOffset = 9;
inline constexpr std::size_t DriverVersionLength = 5;

// "BIN" + driverName.
std::string DriverResourceName(std::string_view driverName);
// The monitor file for a link kind (0 COM, 1 LPT, 2 USB).
const char* MonitorFileName(std::uint32_t linkKind);
// ASCII comparison without regard to case, as resource names are compared.
bool SameResourceName(std::string_view a, std::string_view b);

class DriverImageSource {
public:
  virtual ~DriverImageSource() = default;
  // The bytes of resource "BIN" + driverName, or nothing when there is none.
  virtual std::optional<std::vector<std::uint8_t>> Find(std::string_view driverName) const = 0;
};

}  // namespace zolvek
