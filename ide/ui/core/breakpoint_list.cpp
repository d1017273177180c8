#include "ide/ui/core/breakpoint_list.h"

#include <cstdio>

#include "ide/ui/core/debugger.h"

namespace vx930 {

bool DebuggerBreakPointHost::TargetRunning() const { return d_.TargetRunning(); }

BreakPointRec DebuggerBreakPointHost::Entry(int index) const {
  if (index < 0 || index >= BreakPointCount) return {};
  return d_.State().BreakPointTable[static_cast<std::size_t>(index)];
}

void DebuggerBreakPointHost::EnableBreakPoint(int index) { d_.EnableBreakPoint(index); }

void DebuggerBreakPointHost::DisableBreakPoint(int index) { d_.DisableBreakPoint(index); }

void DebuggerBreakPointHost::SetBreakPoint(int index, uint32_t address, uint8_t passCount) {
  d_.SetBreakPoint(index, address, passCount);
}

std::string BreakPointItemText(const BreakPointRec& entry) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(entry.address & 0xFFFF));
  return text;
}

std::string BreakPointPropertyCaption(int index) { return "Break Point " + std::to_string(index) + " Property"; }

std::optional<uint32_t> ParseHexNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (const char c : text) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else
      return std::nullopt;
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

std::optional<int32_t> ParseDecimalNumber(const std::string& text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::string BrkPropertyCheck::Message() const {
  switch (result) {
    case Result::BadAddress: return "Address input invalid";
    case Result::BadPassCount: return "Pass count input invalid";
    case Result::Ok: break;
  }
  return {};
}

BrkPropertyCheck CheckBrkProperty(const std::string& addressText, const std::string& passCountText) {
  BrkPropertyCheck check;
  const std::optional<uint32_t> address = ParseHexNumber(addressText);
  if (!address || *address > 0xFFFF) {
    check.result = BrkPropertyCheck::Result::BadAddress;
    return check;
  }
  const std::optional<int32_t> passCount = ParseDecimalNumber(passCountText);
  if (!passCount || *passCount < 0 || *passCount > 254) {
    check.result = BrkPropertyCheck::Result::BadPassCount;
    return check;
  }
  check.address = *address;
  check.passCount = static_cast<uint8_t>(*passCount);
  return check;
}

}  // namespace vx930
