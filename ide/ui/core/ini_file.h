// A plain INI file with the semantics of the classic private-profile calls:
// "[Section]" lines and "key=value" lines; section and key names match without
// regard to case; a missing file, section or key, or a number that does not
// parse, reads as the caller's default; every write goes straight to the file,
// keeping every other line as it stood, and the first write creates it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vx930 {

class IniFile {
public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
  // Decimal text, optionally signed; anything else gives the default.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
  // Stored as 1 or 0; any non-zero integer reads as true.
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

  // Each returns false when the file could not be written.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, int value);
  bool WriteBool(const std::string& section, const std::string& key, bool value);

private:
  std::optional<std::string> Find(const std::string& section, const std::string& key) const;
  std::vector<std::string> ReadLines() const;

  std::string path_;
};

}  // namespace vx930
