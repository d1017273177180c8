#include "programmer/link/downloads.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/messages.h"

namespace zolvek {

namespace {

void Show(const std::string& text, const std::string& caption, platform::Icon icon) {
  platform::Messages().Show({text, caption, platform::Buttons::Ok, icon});
}

// The whole file, or nothing when it cannot be opened or read. One byte
// beyond the largest image is enough to tell that a file is too large.
std::optional<std::vector<uint8_t>> ReadImage(const std::filesystem::path& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes;
  char buf[4096];
  while (bytes.size() <= limit) {
    in.read(buf, sizeof buf);
    if (in.gcount() <= 0) break;
    bytes.insert(bytes.end(), buf, buf + in.gcount());
  }
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace

int LoadMonitor(Commands& commands, const std::filesystem::path& programDir) {
  LinkState& state = commands.State();
  state.NoMonitor = 1;
  const std::string name = MonitorFileName(static_cast<uint32_t>(state.LinkKind));
  const std::filesystem::path path = programDir / name;
  const std::string failed = "Load " + name + " error!";

  const auto image = ReadImage(path, kMonitorMaxBytes);
  if (!image) {
    Show(path.string() + " not found!", "Load Monitor", platform::Icon::Error);
    return 1;
  }
  if (image->empty() || image->size() > kMonitorMaxBytes) {
    Show(failed, "LOAD MONITOR", platform::Icon::Error);
    return 1;
  }
  if (commands.LoadMonitorHeader(static_cast<uint32_t>(image->size())) != kStatusOk) {
    Show("Load " + name + " command error !", "LOAD MONITOR", platform::Icon::Error);
    return 1;
  }
  const EchoResult r = commands.EchoedDownload(*image);
  if (r != EchoResult::Ok) {
    if (r == EchoResult::WrongEcho && !commands.Link().IsUsb()) Show("Error!", "Load Monitor", platform::Icon::None);
    Show(failed, "LOAD MONITOR", platform::Icon::Error);
    return 1;
  }
  state.NoMonitor = 0;
  return 0;
}

int LoadDeviceDriver(Commands& commands, const DriverRef& driver, const DriverImageSource& images, Progress& progress,
                     ProgressTarget* window) {
  LinkState& state = commands.State();
  state.NoDriver = 1;
  if (state.LoadedDriverId == driver.driverId && !state.LoadedDriverName.empty() &&
      SameResourceName(state.LoadedDriverName, driver.driverName)) {
    state.NoDriver = 0;
    return 0;
  }
  const auto image = images.Find(driver.driverName);
  if (!image) {
    Show(driver.driverName + ".BIN not found!", "Programmer Status", platform::Icon::Error);
    return 1;
  }
  const std::string failed = "Load " + driver.driverName + ".BIN error!";
  auto fail = [&] {
    state.NoDriver = 1;
    Show(failed, "LOAD DRIVER", platform::Icon::Error);
    progress.ResetProgress();
    return 1;
  };
  if (image->empty() || image->size() > kDriverMaxBytes) return fail();

  const auto n = static_cast<int32_t>(image->size());
  if (commands.LoadDriverHeader(static_cast<uint32_t>(n)) != kStatusOk) {
    Show("Upload driver file error!\nPlease check H/W setup", "LOAD DRIVER", platform::Icon::Error);
    return 1;
  }
  progress.SetStatusText("Loading Driver File");
  state.ProgressTotal = n;
  state.ProgressCount = 0;
  progress.ShowProgress(window);
  const EchoResult r = commands.EchoedDownload(*image, [&](std::size_t i) {
    state.ProgressCount = static_cast<int32_t>(i);
    progress.ShowProgress(window);
  });
  if (r != EchoResult::Ok) return fail();
  state.ProgressCount = n;
  progress.ShowProgress(window);
  state.LoadedDriverId = driver.driverId;
  state.LoadedDriverName = driver.driverName;
  state.NoDriver = 0;
  progress.ResetProgress();
  return 0;
}

void ClearDriverCache(LinkState& state) {
  state.LoadedDriverId = 0;
  state.LoadedDriverName.clear();
}

}  // namespace zolvek
