// A list of text lines kept end to end in one string: the listing is handed
// to the editor whole, and building 64 K lines costs no allocation per line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vx930 {

class StringList {
public:
  std::size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }

  // The line without its line end; the caller keeps line below size().
  std::string_view operator[](std::size_t line) const {
    const std::size_t begin = starts_[line];
    const std::size_t end = line + 1 < starts_.size() ? starts_[line + 1] - 1 : text_.size();
    return std::string_view(text_).substr(begin, end - begin);
  }

  // Every line, joined by "\n" (no line end after the last).
  const std::string& Text() const { return text_; }

  void clear() {
    text_.clear();
    starts_.clear();
  }
  void reserve(std::size_t lines, std::size_t characters) {
    starts_.reserve(lines);
    text_.reserve(characters);
  }
  // Adds a line; it must not contain "\n".
  void push_back(std::string_view line) {
    if (!starts_.empty()) text_.push_back('\n');
    starts_.push_back(static_cast<uint32_t>(text_.size()));
    text_.append(line);
  }

  bool operator==(const StringList&) const = default;

private:
  std::string text_;
  std::vector<uint32_t> starts_;
};

}  // namespace vx930
