// Decodes a JPEG held in memory into 8-bit RGB pixels with libjpeg. Any
// damage libjpeg notices, even one it would only warn about and paint over
// (a truncated scan), makes the decode fail: a picture is shown whole or not
// at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vx930 {

struct JpegImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // width * height * 3 bytes, rows top first
};

struct JpegResult {
  bool ok = false;
  JpegImage image;  // valid when ok
  std::string error;  // libjpeg's reason when not ok
};

// Pictures larger than this on either side are refused before any pixel
// memory is taken.
inline constexpr int kJpegMaxSide = 4096;

JpegResult DecodeJpeg(const uint8_t* data, std::size_t size);
inline JpegResult DecodeJpeg(const std::vector<uint8_t>& bytes) { return DecodeJpeg(bytes.data(), bytes.size()); }

}  // namespace vx930
