#include "ide/image/file_bytes.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace vx930 {

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out) {
  out.clear();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  uint8_t buffer[16384];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    out.insert(out.end(), buffer, buffer + got);
    if (got < sizeof buffer) break;
  }
  return std::ferror(file.get()) == 0;
}

}  // namespace vx930
