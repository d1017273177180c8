#include "sim/programmer/faults.h"

#include <charconv>

#include "sim/common/fault_text.h"
#include "sim/programmer/hex_text.h"

namespace sim::programmer {

namespace {

constexpr FaultKindEntry<FaultKind> kKindNames[] = {
    {FaultKind::Silent, "silent"},           {FaultKind::Drop, "drop"},     {FaultKind::Late, "late"},
    {FaultKind::BadEcho, "badecho"},         {FaultKind::Pack, "pack"},     {FaultKind::NoPack, "nopack"},
    {FaultKind::PageTimeout, "pagetimeout"}, {FaultKind::Key, "key"},       {FaultKind::Cable, "cable"},
    {FaultKind::FailAt, "failat"},           {FaultKind::ChipId, "chipid"},
};

std::optional<FaultRule> Fail(std::string* error, std::string message) {
  return FaultSpecError<FaultRule>(error, std::move(message));
}

bool IsChipKind(FaultKind k) { return k == FaultKind::FailAt || k == FaultKind::ChipId; }

}  // namespace

std::string_view FaultKindName(FaultKind kind) { return NameOfKind(kKindNames, kind); }

std::optional<FaultRule> ParseFaultSpec(std::string_view spec, std::string* error) {
  const auto fields = SplitFaultSpec(spec, spec.size() > 1 && spec[0] == ':' ? 1 : 0);
  if (!fields) return Fail(error, "expected SEL:KIND[:ARG]");
  const std::string_view sel = fields->selector;
  const std::string_view kindText = fields->kind;
  const std::string_view argText = fields->arg;

  FaultRule rule;
  const auto kind = KindNamed(kKindNames, kindText);
  if (!kind) return Fail(error, "unknown fault kind \"" + std::string(kindText) + "\"");
  rule.kind = *kind;

  // Selector: letter or '*', then @N and #I in either order.
  std::string_view head = sel;
  const size_t mark = sel.find_first_of("@#", 1);
  if (mark != std::string_view::npos) head = sel.substr(0, mark);
  if (head.empty()) return Fail(error, "empty selector");
  if (head == "*") {
  } else if (head.size() == 1) {
    rule.letter = static_cast<uint8_t>(head[0]);
  } else if (head.size() == 3 && head[0] == '\'' && head[2] == '\'') {
    rule.letter = static_cast<uint8_t>(head[1]);
  } else if (auto v = ParseFaultNumber(head); v && *v <= 0xFF) {
    rule.letter = static_cast<uint8_t>(*v);
  } else {
    return Fail(error, "bad selector \"" + std::string(head) + "\"");
  }
  std::string_view tail = mark == std::string_view::npos ? std::string_view{} : sel.substr(mark);
  while (!tail.empty()) {
    const char what = tail[0];
    tail.remove_prefix(1);
    const size_t next = tail.find_first_of("@#");
    const auto value = ParseFaultNumber(tail.substr(0, next));
    if (!value) return Fail(error, std::string("bad number after '") + what + "'");
    if (what == '@') {
      if (*value == 0) return Fail(error, "@N counts from 1");
      rule.nth = *value;
    } else {
      rule.byteIndex = *value;
    }
    tail = next == std::string_view::npos ? std::string_view{} : tail.substr(next);
  }

  if (rule.kind == FaultKind::ChipId) {
    std::string_view hex = argText;
    if (hex.size() > 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) hex.remove_prefix(2);
    if (hex.empty() || hex.size() % 2 != 0 || hex.size() > 8) return Fail(error, "chipid wants 1 to 4 hex bytes");
    for (size_t i = 0; i < hex.size(); i += 2) {
      uint8_t b = 0;
      auto [end, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, b, 16);
      if (ec != std::errc() || end != hex.data() + i + 2) return Fail(error, "chipid wants hex bytes");
      rule.bytes.push_back(b);
    }
  } else if (!argText.empty()) {
    const auto v = ParseFaultNumber(argText);
    if (!v) return Fail(error, "bad argument \"" + std::string(argText) + "\"");
    rule.arg = v;
  }
  if (rule.kind == FaultKind::Late && !rule.arg) return Fail(error, "late wants the delay in ms");
  if (rule.kind == FaultKind::FailAt && !rule.arg) return Fail(error, "failat wants an address");
  if (rule.kind == FaultKind::Key && rule.letter && *rule.letter != 'J') return Fail(error, "key applies to J");
  if (rule.kind == FaultKind::Pack || rule.kind == FaultKind::NoPack) rule.letter = 'B';
  if (rule.kind == FaultKind::Key) rule.letter = 'J';
  if (rule.kind == FaultKind::Cable) rule.letter.reset();
  return rule;
}

std::string FormatFaultRule(const FaultRule& r) {
  std::string s = r.letter ? std::string(1, static_cast<char>(*r.letter)) : "*";
  if (r.nth) s += "@" + std::to_string(r.nth);
  if (r.byteIndex != 1) s += "#" + std::to_string(r.byteIndex);
  s += ":";
  s += FaultKindName(r.kind);
  if (r.arg) s += ":" + std::to_string(*r.arg);
  if (!r.bytes.empty()) {
    s += ":";
    for (uint8_t v : r.bytes) s += Hex2(v);
  }
  return s;
}

void FaultSet::Add(const FaultRule& rule) { rules_.push_back({rule, 0}); }

std::vector<FaultRule> FaultSet::Match(std::optional<uint8_t> letter) {
  std::vector<FaultRule> hit;
  for (Entry& e : rules_) {
    if (e.rule.letter != letter || IsChipKind(e.rule.kind)) continue;
    ++e.seen;
    if (e.rule.nth == 0 || e.rule.nth == e.seen) hit.push_back(e.rule);
  }
  return hit;
}

std::vector<FaultRule> FaultSet::MatchPrompt() { return Match(std::nullopt); }

std::vector<FaultRule> FaultSet::MatchCommand(uint8_t letter) { return Match(letter); }

std::vector<FaultRule> FaultSet::ChipRules() const {
  std::vector<FaultRule> out;
  for (const Entry& e : rules_) {
    if (IsChipKind(e.rule.kind)) out.push_back(e.rule);
  }
  return out;
}

}  // namespace sim::programmer
