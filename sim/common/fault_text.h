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

// The fields of a fault text SEL:KIND[:ARG].
struct FaultSpecFields {
  std::string_view selector, kind, arg;
  bool hasArg = false;  // a second ':' came, even before nothing
};

// Splits at the first ':' found from `from` (a selector that is itself ':'
// starts the search after it) and the next ':' after it; none without a first.
inline std::optional<FaultSpecFields> SplitFaultSpec(std::string_view spec, size_t from = 0) {
  const size_t colon = spec.find(':', from);
  if (colon == std::string_view::npos) return std::nullopt;
  FaultSpecFields f;
  f.selector = spec.substr(0, colon);
  f.kind = spec.substr(colon + 1);
  if (const size_t c2 = f.kind.find(':'); c2 != std::string_view::npos) {
    f.arg = f.kind.substr(c2 + 1);
    f.kind = f.kind.substr(0, c2);
    f.hasArg = true;
  }
  return f;
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
