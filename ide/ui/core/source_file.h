// Finding and reading the C source file of an OMF module. The OMF file names
// a module the way its compiler did ("blink.c", "BLINK", "Blink.C"), and the
// source may lie beside it in any case, so the lookup tries the exact name
// first and only then a case-blind match in the source directory.
#pragma once

#include <optional>
#include <string>

namespace vx930 {

// The path of the module's source file in dir (which ends with '/', or is
// empty for the working directory), in this order: dir + name as given;
// dir + name + ".c" when the name has no extension; then the first directory
// entry, in name order, that equals the name without regard to case, or the
// name + ".c" likewise. Only regular files count; nothing when none exists.
std::optional<std::string> FindModuleSource(const std::string& dir, const std::string& moduleName);

// The whole file as bytes; nothing when it cannot be opened or read.
std::optional<std::string> ReadSourceFile(const std::string& path);

}  // namespace vx930
