#include "ide/ui/core/ini_file.h"

#include <strings.h>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <fstream>

namespace vx930 {

namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

// The section a line opens, if it is a "[name]" line.
std::optional<std::string> SectionOf(const std::string& line) {
  const std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  const auto close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

// The key of a "key=value" line, or nothing for comments and other lines.
std::optional<std::string> KeyOf(const std::string& line) {
  const std::string t = Trim(line);
  if (t.empty() || t.front() == ';') return std::nullopt;
  const auto eq = t.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return Trim(t.substr(0, eq));
}

std::string ValueOf(const std::string& line) {
  const auto eq = line.find('=');
  return Trim(line.substr(eq + 1));
}

}  // namespace

std::vector<std::string> IniFile::ReadLines() const {
  std::vector<std::string> lines;
  std::ifstream in(path_, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::optional<std::string> IniFile::Find(const std::string& section, const std::string& key) const {
  bool inSection = false;
  for (const auto& line : ReadLines()) {
    if (auto s = SectionOf(line)) {
      inSection = SameName(*s, section);
      continue;
    }
    if (!inSection) continue;
    if (auto k = KeyOf(line); k && SameName(*k, key)) return ValueOf(line);
  }
  return std::nullopt;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  return Find(section, key).value_or(defaultValue);
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int defaultValue) const {
  const auto text = Find(section, key);
  if (!text || text->empty()) return defaultValue;
  const char* first = text->data();
  const char* last = first + text->size();
  if (*first == '+') ++first;
  long value = 0;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last || value < INT_MIN || value > INT_MAX) return defaultValue;
  return static_cast<int>(value);
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  std::vector<std::string> lines = ReadLines();
  const std::string entry = key + "=" + value;

  // Replace the key in place, or append it after the last line of its section.
  bool inSection = false, written = false;
  std::size_t sectionEnd = std::string::npos;
  for (std::size_t i = 0; i < lines.size() && !written; ++i) {
    if (auto s = SectionOf(lines[i])) {
      if (inSection) break;
      inSection = SameName(*s, section);
      if (inSection) sectionEnd = i + 1;
      continue;
    }
    if (!inSection) continue;
    if (auto k = KeyOf(lines[i]); k && SameName(*k, key)) {
      lines[i] = entry;
      written = true;
    } else if (!Trim(lines[i]).empty()) {
      sectionEnd = i + 1;
    }
  }
  if (!written) {
    if (sectionEnd == std::string::npos) {
      if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
      lines.push_back("[" + section + "]");
      lines.push_back(entry);
    } else {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), entry);
    }
  }

  // Write beside the file and rename, so a failed write never truncates it.
  const std::string temp = path_ + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const auto& l : lines) out << l << "\n";
    out.flush();
    if (!out) {
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path_.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

bool IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

}  // namespace vx930
