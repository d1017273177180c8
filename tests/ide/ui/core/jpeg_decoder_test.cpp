// The logo decoder: good pictures in colour and grey, and every kind of
// damaged data refused with a reason instead of ending the program or
// showing half a picture.
#include "ide/ui/core/jpeg_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include <jpeglib.h>

namespace vx930::testing {
namespace {

// A picture encoded with libjpeg: components 3 (a colour gradient) or 1 (grey).
std::vector<uint8_t> Encode(int width, int height, int components, int quality = 95) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<std::size_t>(width * components));
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < width; ++x) {
      if (components == 3) {
        row[3 * x] = static_cast<uint8_t>(x * 255 / std::max(width - 1, 1));
        row[3 * x + 1] = static_cast<uint8_t>(y * 255 / std::max(height - 1, 1));
        row[3 * x + 2] = 0x80;
      } else {
        row[x] = static_cast<uint8_t>(x < width / 2 ? 0x20 : 0xD0);
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> bytes(out, out + size);
  std::free(out);
  return bytes;
}

int Channel(const JpegImage& image, int x, int y, int c) {
  return image.rgb[static_cast<std::size_t>((y * image.width + x) * 3 + c)];
}

TEST(JpegDecoder, DecodesColourPicturesToRgbRowsTopFirst) {
  const JpegResult r = DecodeJpeg(Encode(64, 32, 3));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.image.width, 64);
  EXPECT_EQ(r.image.height, 32);
  ASSERT_EQ(r.image.rgb.size(), 64u * 32u * 3u);
  EXPECT_NEAR(Channel(r.image, 0, 0, 0), 0, 12);  // red grows to the right
  EXPECT_NEAR(Channel(r.image, 63, 0, 0), 255, 12);
  EXPECT_NEAR(Channel(r.image, 0, 0, 1), 0, 12);  // green grows downwards
  EXPECT_NEAR(Channel(r.image, 0, 31, 1), 255, 12);
  EXPECT_NEAR(Channel(r.image, 30, 15, 2), 0x80, 12);
}

TEST(JpegDecoder, SpreadsGreyPicturesToEqualChannels) {
  const JpegResult r = DecodeJpeg(Encode(40, 9, 1));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.image.width, 40);
  EXPECT_EQ(r.image.height, 9);
  for (int y = 0; y < 9; ++y)
    for (int x : {0, 5, 15, 25, 39}) {
      const int v = Channel(r.image, x, y, 0);
      EXPECT_EQ(Channel(r.image, x, y, 1), v);
      EXPECT_EQ(Channel(r.image, x, y, 2), v);
      EXPECT_NEAR(v, x < 20 ? 0x20 : 0xD0, 16) << x << "," << y;
    }
}

TEST(JpegDecoder, RefusesDamagedDataWithAReason) {
  const std::vector<uint8_t> good = Encode(48, 48, 3, 90);
  std::vector<uint8_t> noise(600);
  std::mt19937 random(7);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  std::vector<uint8_t> noisyScan = good;
  for (std::size_t i = good.size() / 2; i < good.size() - 2; ++i) noisyScan[i] = static_cast<uint8_t>(random());
  std::vector<uint8_t> headerThenNoise(good.begin(), good.begin() + 2);
  headerThenNoise.insert(headerThenNoise.end(), noise.begin(), noise.end());
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"empty", {}},
      {"two bytes", {0xFF, 0xD8}},
      {"noise", noise},
      {"start marker then noise", headerThenNoise},
      {"cut after the header", std::vector<uint8_t>(good.begin(), good.begin() + 200)},
      {"cut in the middle of the scan", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2)},
      {"cut before the end marker", std::vector<uint8_t>(good.begin(), good.end() - 2)},
      {"scan overwritten with noise", noisyScan},
      {"a PNG signature", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const JpegResult r = DecodeJpeg(c.bytes);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_TRUE(r.image.rgb.empty());
    EXPECT_EQ(r.image.width, 0);
  }
  EXPECT_FALSE(DecodeJpeg(nullptr, 10).ok);
  EXPECT_TRUE(DecodeJpeg(good).ok);  // the same data whole is fine
}

TEST(JpegDecoder, RefusesPicturesTooLargeBeforeTakingTheirMemory) {
  std::vector<uint8_t> bytes = Encode(16, 16, 3);
  // Rewrite the frame header's height and width (SOF0: FF C0, length, precision, height, width).
  for (std::size_t i = 0; i + 8 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
      bytes[i + 5] = 0x40;  // 16384 by 16384: 768 MB of pixels
      bytes[i + 6] = 0x00;
      bytes[i + 7] = 0x40;
      bytes[i + 8] = 0x00;
      break;
    }
  }
  const JpegResult r = DecodeJpeg(bytes);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "picture size out of range");
}

}  // namespace
}  // namespace vx930::testing
