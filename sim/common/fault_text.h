// Pieces of the --fault text both simulators read: numbers, and the table that
// names each fault kind.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// A whole unsigned number: "0x" or "0X" before it means hex, else `defaultBase`.
inline std::optional<uint32_t> ParseFaultNumber(std::string_view s, int defaultBase = 10) {
  int base = defaultBase;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  if (s.empty()) return std::nullopt;
  uint32_t value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

template <typename Kind>
struct FaultKindEntry {
  Kind kind;
  std::string_view name;
};

template <typename Kind, size_t N>
std::string_view NameOfKind(const FaultKindEntry<Kind> (&table)[N], Kind kind) {
  for (const auto& k : table) {
    if (k.kind == kind) return k.name;
  }
  return "?";
}

template <typename Kind, size_t N>
std::optional<Kind> KindNamed(const FaultKindEntry<Kind> (&table)[N], std::string_view name) {
  for (const auto& k : table) {
    if (k.name == name) return k.kind;
  }
  return std::nullopt;
}

// Sets `error` (when given) and yields an empty result.
template <typename Rule>
std::optional<Rule> FaultSpecError(std::string* error, std::string message) {
  if (error) *error = std::move(message);
  return std::nullopt;
}

}  // namespace sim
