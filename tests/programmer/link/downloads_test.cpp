// Monitor and driver downloads: the announcement, the echo check, the
// messages, refusals of images the count cannot carry, and the driver cache.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "programmer/link/count_encoding.h"
#include "programmer/link/downloads.h"
#include "tests/programmer/link/link_fixture.h"
#include "tests/support/scratch_dir.h"

namespace zolvek::testing {
namespace {

Bytes Pattern(std::size_t n, uint8_t seed = 0) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 13 + (i >> 8));
  return b;
}

class Images final : public DriverImageSource {
public:
  std::map<std::string, Bytes> images;
  std::optional<std::vector<uint8_t>> Find(std::string_view name) const override {
    auto it = images.find(std::string(name));
    if (it == images.end()) return std::nullopt;
    return it->second;
  }
};

struct ProgressLog final : StatusSink, ProgressTarget {
  std::vector<std::string> events;
  void SetStatusText(int part, const std::string& t) override {
    if (part == 0) events.push_back("status '" + t + "'");
  }
  void SetMainProgress(int) override {}
  void ShowPercent(int p, const std::string&) override { events.push_back(std::to_string(p)); }
};

class Downloads : public LinkFixture {
protected:
  void WriteMonitor(const std::string& name, const Bytes& bytes) {
    std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  // The programmer's side of a whole download, the image echoed.
  void ExpectDownload(uint8_t letter, const Bytes& header, const Bytes& image) {
    dev_.Command(letter, header);
    if (state_.LinkKind == kLinkUsb) {
      for (std::size_t at = 0; at < image.size(); at += 256) {
        const Bytes block(image.begin() + at, image.begin() + std::min(image.size(), at + 256));
        dev_.Expect(block).Reply(block);
      }
    } else {
      dev_.Echo(image);
    }
  }
  static Bytes Count(uint32_t n) {
    const auto c = TwoLevelCount(n);
    return {c[0], c[1]};
  }

  vx930::testing::ScratchDir dir_{"zolvek_downloads"};
  Images images_;
  ProgressLog log_;
  Progress progress_{state_, &log_};
};

class DownloadsEveryLink : public Downloads, public ::testing::WithParamInterface<int32_t> {
protected:
  void SetUp() override { Use(GetParam()); }
};

TEST_P(DownloadsEveryLink, MonitorAndDriverGoOverWhole) {
  const std::string monitor = GetParam() == kLinkCom ? "MON08E.BIN" : "MON08P.BIN";
  const Bytes mon = Pattern(512, 1);
  WriteMonitor(monitor, mon);
  images_.images["57C58"] = Pattern(1672, 2);
  ExpectDownload('l', {0, 0xF0, 0x00, 0x02}, mon);
  ExpectDownload('L', {0x88, 0x07}, images_.images["57C58"]);

  EXPECT_EQ(LoadMonitor(*commands_, dir_.path()), 0);
  EXPECT_EQ(state_.NoMonitor, 0);
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"57C58", 12}, images_, progress_, &log_), 0);
  EXPECT_EQ(state_.NoDriver, 0);
  EXPECT_EQ(state_.LoadedDriverId, 12);
  EXPECT_TRUE(shown_.Shown().empty()) << shown_.LastText();
  EXPECT_EQ(log_.events, (std::vector<std::string>{"status 'Loading Driver File'", "0", "0", "15", "30", "45", "61",
                                                   "76", "91", "100", "status ''"}));
  ExpectScriptDone();
}

TEST_P(DownloadsEveryLink, AWrongEchoFailsTheDownloadAndTheLineIsPurgedBeforeTheNextCommand) {
  images_.images["X1"] = Pattern(600, 3);
  Bytes spoiled = images_.images["X1"];
  spoiled[300] ^= 0x40;  // the programmer got (or echoed) one byte wrong
  dev_.Command('L', Count(600));
  if (GetParam() == kLinkUsb) {
    dev_.Expect(Bytes(images_.images["X1"].begin(), images_.images["X1"].begin() + 256))
        .Reply(Bytes(spoiled.begin(), spoiled.begin() + 256));
    dev_.Expect(Bytes(images_.images["X1"].begin() + 256, images_.images["X1"].begin() + 512))
        .Reply(Bytes(spoiled.begin() + 256, spoiled.begin() + 512));
  } else {
    dev_.Echo(Bytes(spoiled.begin(), spoiled.begin() + 300));
    dev_.Expect({images_.images["X1"][300]}).Reply({spoiled[300]});
  }
  dev_.Reply({0x77}, 50);  // a stray byte after the failure
  dev_.Command('B').Reply({1});
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"X1", 3}, images_, progress_, nullptr), 1);
  EXPECT_EQ(state_.NoDriver, 1);
  EXPECT_EQ(state_.LoadedDriverId, 0);
  EXPECT_EQ(shown_.Texts(), std::vector<std::string>{"Load X1.BIN error!"});
  EXPECT_EQ(shown_.Shown()[0].caption, "LOAD DRIVER");
  uint16_t pack = 0;
  EXPECT_EQ(commands_->Pack(pack), kStatusOk);
  EXPECT_EQ(pack, 0x101);
  ExpectScriptDone();
}

TEST_P(DownloadsEveryLink, ADroppedEchoFailsWithinItsBound) {
  const Bytes mon = Pattern(40, 4);
  WriteMonitor(GetParam() == kLinkCom ? "MON08E.BIN" : "MON08P.BIN", mon);
  dev_.Command('l', {0, 0xF0, 40, 1});
  if (GetParam() == kLinkUsb) {
    dev_.Expect(mon).Reply(Bytes(mon.begin(), mon.end() - 1));
  } else {
    dev_.Echo(Bytes(mon.begin(), mon.begin() + 10)).Expect({mon[10]});
  }
  const uint32_t start = Now();
  EXPECT_EQ(LoadMonitor(*commands_, dir_.path()), 1);
  EXPECT_LT(Now() - start, 3000u);
  EXPECT_EQ(state_.NoMonitor, 1);
  const std::string name = GetParam() == kLinkCom ? "MON08E.BIN" : "MON08P.BIN";
  EXPECT_EQ(shown_.LastText(), "Load " + name + " error!");
  ExpectScriptDone();
}

INSTANTIATE_TEST_SUITE_P(Links, DownloadsEveryLink, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), LinkName);

TEST_F(Downloads, MonitorMessagesAndRefusals) {
  Use(kLinkCom);
  // Missing file.
  EXPECT_EQ(LoadMonitor(*commands_, dir_.path()), 1);
  EXPECT_EQ(shown_.LastText(), (dir_.path() / "MON08E.BIN").string() + " not found!");
  EXPECT_EQ(shown_.Shown().back().caption, "Load Monitor");
  // Empty, and more than the count can carry: refused before anything is sent.
  for (std::size_t size : {std::size_t{0}, std::size_t{kTwoLevelMax + 1}, std::size_t{0x10000 + 5}}) {
    WriteMonitor("MON08E.BIN", Pattern(size));
    state_.NoMonitor = 0;
    EXPECT_EQ(LoadMonitor(*commands_, dir_.path()), 1) << size;
    EXPECT_EQ(state_.NoMonitor, 1);
    EXPECT_EQ(shown_.LastText(), "Load MON08E.BIN error!");
    EXPECT_EQ(shown_.Shown().back().caption, "LOAD MONITOR");
  }
  EXPECT_TRUE(dev_.Heard().empty());
  // 'l' refused.
  WriteMonitor("MON08E.BIN", Pattern(3));
  dev_.BadPrompt(-1);
  EXPECT_EQ(LoadMonitor(*commands_, dir_.path()), 1);
  EXPECT_EQ(shown_.LastText(), "Load MON08E.BIN command error !");
  // A wrong echo says "Error!" first on COM.
  shown_.Clear();
  dev_.Command('l', {0, 0xF0, 3, 1}).Expect({Pattern(3)[0]}).Reply({0x55});
  EXPECT_EQ(LoadMonitor(*commands_, dir_.path()), 1);
  EXPECT_EQ(shown_.Texts(), (std::vector<std::string>{"Error!", "Load MON08E.BIN error!"}));
  EXPECT_EQ(shown_.Shown()[0].caption, "Load Monitor");
  ExpectScriptDone();
}

TEST_F(Downloads, MonitorAtTheLargestCount) {
  Use(kLinkCom);
  const Bytes mon = Pattern(kTwoLevelMax, 9);
  WriteMonitor("MON08E.BIN", mon);
  ExpectDownload('l', {0, 0xF0, 0x00, 0xFF}, mon);
  EXPECT_EQ(LoadMonitor(*commands_, dir_.path()), 0);
  ExpectScriptDone();
}

TEST_F(Downloads, DriverMessagesAndRefusals) {
  Use(kLinkCom);
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"NONE", 5}, images_, progress_, nullptr), 1);
  EXPECT_EQ(shown_.LastText(), "NONE.BIN not found!");
  EXPECT_EQ(shown_.Shown().back().caption, "Programmer Status");
  images_.images["BIG"] = Pattern(kDriverMaxBytes + 1);
  images_.images["EMPTY"] = {};
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"BIG", 5}, images_, progress_, nullptr), 1);
  EXPECT_EQ(shown_.LastText(), "Load BIG.BIN error!");
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"EMPTY", 5}, images_, progress_, nullptr), 1);
  EXPECT_EQ(shown_.LastText(), "Load EMPTY.BIN error!");
  EXPECT_TRUE(dev_.Heard().empty());
  images_.images["OK"] = Pattern(10);
  dev_.BadPrompt('?');
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"OK", 5}, images_, progress_, nullptr), 1);
  EXPECT_EQ(shown_.LastText(), "Upload driver file error!\nPlease check H/W setup");
  EXPECT_EQ(state_.NoDriver, 1);
  ExpectScriptDone();
}

TEST_F(Downloads, TheCacheKnowsADriverByIdAndName) {
  Use(kLinkCom);
  images_.images["57C58"] = Pattern(20, 1);
  images_.images["27C64"] = Pattern(30, 2);
  ExpectDownload('L', Count(20), images_.images["57C58"]);
  ExpectDownload('L', Count(30), images_.images["27C64"]);  // same id, another image
  ExpectDownload('L', Count(20), images_.images["57C58"]);  // after the cache was cleared
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"57C58", 7}, images_, progress_, nullptr), 0);
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"57c58", 7}, images_, progress_, nullptr), 0);  // nothing sent
  EXPECT_EQ(state_.NoDriver, 0);
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"27C64", 7}, images_, progress_, nullptr), 0);
  EXPECT_EQ(state_.LoadedDriverName, "27C64");
  ClearDriverCache(state_);
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"57C58", 7}, images_, progress_, nullptr), 0);
  ExpectScriptDone();
}

TEST_F(Downloads, CatalogueDevicesWhoseDriversShareAnIdEachGetTheirOwn) {
  Use(kLinkCom);
  const DeviceTypeRecord* first = nullptr;
  const DeviceTypeRecord* second = nullptr;
  for (uint32_t m = 0; m < MfrTypeTable.manufacturerCount && !second; ++m)
    for (uint32_t t = 0; t < MfrTypeTable.typeCounts[m] && !second; ++t) {
      const DeviceTypeRecord& r = MfrTypeTable.types[m][t];
      if (!first) {
        first = &r;
        continue;
      }
      for (uint32_t m2 = 0; m2 < MfrTypeTable.manufacturerCount && !second; ++m2)
        for (uint32_t t2 = 0; t2 < MfrTypeTable.typeCounts[m2] && !second; ++t2) {
          const DeviceTypeRecord& o = MfrTypeTable.types[m2][t2];
          if (o.driverId == r.driverId && !SameResourceName(o.driverName, r.driverName)) {
            first = &r;
            second = &o;
          }
        }
    }
  ASSERT_NE(second, nullptr) << "the catalogue has drivers sharing an id";
  images_.images[first->driverName] = Pattern(8, 1);
  images_.images[second->driverName] = Pattern(9, 2);
  ExpectDownload('L', Count(8), images_.images[first->driverName]);
  ExpectDownload('L', Count(9), images_.images[second->driverName]);
  EXPECT_EQ(LoadDeviceDriver(*commands_, DriverOf(*first), images_, progress_, nullptr), 0);
  EXPECT_EQ(LoadDeviceDriver(*commands_, DriverOf(*second), images_, progress_, nullptr), 0);
  ExpectScriptDone();
}

TEST_F(Downloads, AFreshStateHasNoDriverEvenForIdZero) {
  Use(kLinkCom);
  images_.images["Z"] = Pattern(5);
  ExpectDownload('L', Count(5), images_.images["Z"]);
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"Z", 0}, images_, progress_, nullptr), 0);
  ExpectScriptDone();
}

TEST_F(Downloads, APulledCableMidDriverFailsAtOnce) {
  Use(kLinkUsb);
  images_.images["D"] = Pattern(700);
  dev_.Command('L', Count(700));
  const Bytes& img = images_.images["D"];
  dev_.Expect(Bytes(img.begin(), img.begin() + 256)).Reply(Bytes(img.begin(), img.begin() + 256)).PullCable();
  const uint32_t start = Now();
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"D", 1}, images_, progress_, nullptr), 1);
  EXPECT_LT(Now() - start, 100u);
  EXPECT_EQ(shown_.LastText(), "Load D.BIN error!");
}

}  // namespace
}  // namespace zolvek::testing
