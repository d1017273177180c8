// The files a fuzz target hands a reader: written into a scratch folder of
// its own, removed when the process ends.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "tests/fuzz/image_oracles.h"

namespace vx930::fuzz {

// The process's scratch folder, made on first use under `prefix` (e.g.
// "vx930-hex-fuzz"): in memory where the system has it, as every input
// writes its files.
inline const std::string& ScratchFolder(const char* prefix) {
  static std::string folder;
  if (folder.empty()) {
    std::error_code ec;
    std::string dir = std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "/tmp";
    dir += std::string("/") + prefix + "-XXXXXX";
    if (!mkdtemp(dir.data())) std::abort();
    folder = dir;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    });
  }
  return folder;
}

// Unbuffered: a stdio buffer per file is most of what an input allocates.
inline void WriteFile(const std::string& path, const uint8_t* data, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  Check(fd >= 0, "cannot write the scratch file");
  const bool written = size == 0 || ::write(fd, data, size) == static_cast<ssize_t>(size);
  ::close(fd);
  Check(written, "cannot write the scratch file");
}

}  // namespace vx930::fuzz
