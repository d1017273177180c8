// Whole-file reads for the readers of this folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vx930 {

// Reads the regular file at path into out. False when it is missing, not a
// regular file (a directory opens but reads nothing) or cannot be read.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out);

}  // namespace vx930
