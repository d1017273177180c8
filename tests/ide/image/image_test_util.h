// Shared helpers for the image tests: a scratch folder and file writers.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace vx930::test {

// A fresh folder under the system temp folder, removed with its contents.
class TempDir {
public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vx930-image-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

private:
  std::filesystem::path path_;
};

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// One ".SYM" block body: the address width, then (name, address) records.
struct SymRecord {
  std::string name;
  uint32_t address;
};
inline std::vector<uint8_t> SymBody(uint8_t width, std::initializer_list<SymRecord> records) {
  std::vector<uint8_t> body{width};
  for (const SymRecord& r : records) {
    body.push_back(static_cast<uint8_t>(r.name.size()));
    for (char c : r.name) body.push_back(static_cast<uint8_t>(c));
    for (int k = 0; k < width; ++k) body.push_back(static_cast<uint8_t>(r.address >> (8 * k)));
  }
  return body;
}

// A whole ".SYM" file: magic, one block per body (empty header), terminator.
inline std::vector<uint8_t> SymFile(std::initializer_list<std::vector<uint8_t>> bodies) {
  std::vector<uint8_t> file{0xFE};
  for (const auto& body : bodies) {
    file.push_back(0);  // header length
    const auto n = static_cast<uint32_t>(body.size());
    file.push_back(static_cast<uint8_t>(n >> 16));
    file.push_back(static_cast<uint8_t>(n >> 8));
    file.push_back(static_cast<uint8_t>(n));
    for (uint8_t b : body) file.push_back(b);
  }
  file.push_back(0xFF);
  return file;
}

}  // namespace vx930::test
