// The placeholder driver images and monitor files: one image per driver name,
// found without regard to case, with the layout the downloads rely on.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "programmer/catalogue/catalogue.h"
#include "resources/programmer/qt_driver_images.h"

namespace zolvek {
namespace {

std::set<std::string> DriverNames() {
  std::set<std::string> names;
  for (std::uint32_t m = 0; m < ManufacturerCount; ++m)
    for (std::uint32_t t = 0; t < TypeCount(m); ++t) names.insert(FindDeviceType(m, t)->driverName);
  return names;
}

void ExpectPlaceholderLayout(const std::vector<std::uint8_t>& bytes, const std::string& what) {
  ASSERT_GE(bytes.size(), 14u) << what;
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 9), "PLACEHLDR") << what;
  const std::string version(bytes.begin() + DriverVersionOffset,
                            bytes.begin() + DriverVersionOffset + DriverVersionLength);
  EXPECT_EQ(version, "0.00P") << what;
  const std::string all(bytes.begin(), bytes.end());
  EXPECT_NE(all.find("PLACEHOLDER"), std::string::npos) << what;
  EXPECT_NE(all.find("not programmer firmware"), std::string::npos) << what;
}

TEST(DriverImages, EveryDriverNameHasAnImage) {
  const QtDriverImageSource images;
  for (const std::string& name : DriverNames()) {
    const auto image = images.Find(name);
    ASSERT_TRUE(image.has_value()) << name;
    // Sizes of the delivered set; the two-level count carries them.
    EXPECT_GE(image->size(), 1140u) << name;
    EXPECT_LE(image->size(), 5740u) << name;
    ExpectPlaceholderLayout(*image, name);
  }
}

TEST(DriverImages, FoundWithoutRegardToCase) {
  const QtDriverImageSource images;
  const auto exact = images.Find("89C51D2x");
  ASSERT_TRUE(exact.has_value());
  EXPECT_EQ(images.Find("89c51d2X"), exact);
  EXPECT_EQ(images.Find("89C51D2X"), exact);
  EXPECT_NE(images.Find("MSU79XX"), std::nullopt);
  EXPECT_EQ(images.Find("57C58"), images.Find("57c58"));
}

TEST(DriverImages, UnknownNamesAreNotFound) {
  const QtDriverImageSource images;
  EXPECT_EQ(images.Find("NOSUCHDRV"), std::nullopt);
  EXPECT_EQ(images.Find(""), std::nullopt);
  EXPECT_EQ(images.Find("8751_"), std::nullopt);  // a prefix is not a name
  EXPECT_EQ(images.Find("BIN8751_H"), std::nullopt);
}

TEST(DriverImages, NamesAndMonitorFiles) {
  EXPECT_EQ(DriverResourceName("57C58"), "BIN57C58");
  EXPECT_TRUE(SameResourceName("BIN89C51D2x", "bin89c51d2X"));
  EXPECT_FALSE(SameResourceName("BIN8751_H", "BIN8751_"));
  EXPECT_STREQ(MonitorFileName(0), "MON08E.BIN");
  EXPECT_STREQ(MonitorFileName(1), "MON08P.BIN");
  EXPECT_STREQ(MonitorFileName(2), "MON08P.BIN");
}

TEST(DriverImages, PlaceholderMonitorFiles) {
  for (const char* name : {MonitorFileCom, MonitorFileOther}) {
    std::ifstream file(std::string(ZOLVEK_MONITOR_DIR) + "/" + name, std::ios::binary);
    ASSERT_TRUE(file) << name;
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_GT(bytes.size(), 0u) << name;
    EXPECT_LE(bytes.size(), 0xFFFFu) << name;  // the download announces a two-level count
    ExpectPlaceholderLayout(bytes, name);
  }
}

}  // namespace
}  // namespace zolvek
