// The monitor and driver downloads, and the driver cache.
//
// The monitor comes from a file beside the program ("MON08E.BIN" on COM,
// "MON08P.BIN" on LPT and USB), the driver of the selected device from the
// driver images by its name. Both are announced with a two-level count and
// every byte is echoed and compared. An image of 0 bytes, or larger than the
// count can carry (0xFF00 bytes for the monitor; 32767 for a driver, the
// programmer's driver space), is refused with the download-failed message
// before anything is sent: a truncated or mis-announced image must never
// reach the programmer as if it were whole.
//
// The driver cache skips a download when the driver in the programmer is
// the one wanted: same id and same name (case ignored), so devices whose
// drivers share an id still each get their own image.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "programmer/catalogue/catalogue.h"
#include "programmer/catalogue/driver_images.h"
#include "programmer/link/commands.h"
#include "programmer/link/progress.h"

namespace zolvek {

// The fields of the device record that the driver download reads.
struct DriverRef {
  std::string driverName;
  uint32_t driverId = 0;
};
inline DriverRef DriverOf(const DeviceTypeRecord& record) { return {record.driverName, record.driverId}; }

inline constexpr uint32_t kMonitorMaxBytes = 0xFF00;
inline constexpr uint32_t kDriverMaxBytes = 32767;

// LoadMonitor: 0 loaded / 1 not; NoMonitor follows the result.
int LoadMonitor(Commands& commands, const std::filesystem::path& programDir);

// LoadDeviceDriver: 0 loaded or already there / 1 not. window (may be null)
// receives the progress display.
int LoadDeviceDriver(Commands& commands, const DriverRef& driver, const DriverImageSource& images, Progress& progress,
                     ProgressTarget* window);

// Forgets the driver in the programmer (after a relink).
void ClearDriverCache(LinkState& state);

}  // namespace zolvek
