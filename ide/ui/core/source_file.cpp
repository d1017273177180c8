#include "ide/ui/core/source_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace vx930 {
namespace {

namespace fs = std::filesystem;

bool IsRegularFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

bool HasExtension(const std::string& name) {
  const auto slash = name.find_last_of("/\\");
  const auto dot = name.rfind('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

}  // namespace

std::optional<std::string> FindModuleSource(const std::string& dir, const std::string& moduleName) {
  if (moduleName.empty()) return std::nullopt;
  std::vector<std::string> names{moduleName};
  if (!HasExtension(moduleName)) names.push_back(moduleName + ".c");
  for (const std::string& name : names)
    if (IsRegularFile(dir + name)) return dir + name;

  // A name with a directory part is taken as given: the case-blind match
  // looks at the entries of the source directory only.
  if (moduleName.find_first_of("/\\") != std::string::npos) return std::nullopt;
  std::vector<std::string> entries;
  std::error_code ec;
  for (fs::directory_iterator it(dir.empty() ? fs::path(".") : fs::path(dir), ec), end; !ec && it != end;
       it.increment(ec))
    entries.push_back(it->path().filename().string());
  std::sort(entries.begin(), entries.end());
  for (const std::string& name : names)
    for (const std::string& entry : entries)
      if (SameIgnoringCase(entry, name) && IsRegularFile(dir + entry)) return dir + entry;
  return std::nullopt;
}

std::optional<std::string> ReadSourceFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return text;
}

}  // namespace vx930
