#include "sim/ice/faults.h"

#include "sim/common/fault_text.h"
#include "sim/ice/engine_protocol.h"

namespace sim::ice {

namespace {

constexpr FaultKindEntry<FaultKind> kKindNames[] = {
    {FaultKind::NoReply, "none"},        {FaultKind::Late, "late"},           {FaultKind::BadChecksum, "badsum"},
    {FaultKind::WrongCode, "wrongcode"}, {FaultKind::ShortReply, "short"},    {FaultKind::StrayByte, "stray"},
    {FaultKind::Busy, "busy"},           {FaultKind::FailBlock, "failblock"}, {FaultKind::HangUp, "hangup"},
};

std::optional<FaultRule> Fail(std::string* error, std::string message) {
  return FaultSpecError<FaultRule>(error, std::move(message));
}

}  // namespace

std::string_view FaultKindName(FaultKind kind) { return NameOfKind(kKindNames, kind); }

std::optional<FaultRule> ParseFaultSpec(std::string_view spec, std::string* error) {
  const auto fields = SplitFaultSpec(spec);
  if (!fields) return Fail(error, "expected SEL:KIND[:ARG]");
  std::string_view sel = fields->selector;
  const std::string_view kindText = fields->kind;
  const std::string_view argText = fields->arg;
  if (fields->hasArg && argText.empty()) return Fail(error, "empty argument");

  FaultRule rule;
  if (const size_t at = sel.find('@'); at != std::string_view::npos) {
    auto n = ParseFaultNumber(sel.substr(at + 1), 10);
    if (!n || *n == 0) return Fail(error, "bad frame number after '@'");
    rule.first = *n;
    rule.count = 1;
    sel = sel.substr(0, at);
  }
  if (sel != "*") {
    auto code = ParseFaultNumber(sel, 16);
    if (!code || *code > 0xFF) return Fail(error, "bad command code '" + std::string(sel) + "'");
    if (!IsKnownCommand(static_cast<uint8_t>(*code))) {
      return Fail(error, "unknown command code '" + std::string(sel) + "'");
    }
    rule.command = static_cast<uint8_t>(*code);
  }

  const auto kind = KindNamed(kKindNames, kindText);
  if (!kind) return Fail(error, "unknown fault kind '" + std::string(kindText) + "'");
  rule.kind = *kind;

  if (!argText.empty()) {
    auto arg = ParseFaultNumber(argText, 10);
    if (!arg) return Fail(error, "bad argument '" + std::string(argText) + "'");
    rule.arg = *arg;
  }
  switch (rule.kind) {
    case FaultKind::Late:
      if (!rule.arg) return Fail(error, "late needs a delay in ms");
      break;
    case FaultKind::Busy: rule.count = rule.arg.value_or(0); break;
    case FaultKind::WrongCode:
    case FaultKind::StrayByte:
    case FaultKind::FailBlock:
      if (rule.arg && *rule.arg > 0xFF) return Fail(error, "argument must be a byte");
      break;
    default: break;
  }
  return rule;
}

void FaultSet::Add(FaultRule rule) {
  // These two act on one command only, so they count only its frames.
  if (rule.kind == FaultKind::Busy) rule.command = icBusyCheck;
  if (rule.kind == FaultKind::FailBlock) rule.command = icTxROM;
  if (rule.first == 0) rule.first = 1;
  rules_.push_back(Entry{rule, 0});
}

void FaultSet::Clear() { rules_.clear(); }

std::vector<FaultRule> FaultSet::Match(uint8_t command) {
  std::vector<FaultRule> hits;
  for (auto& e : rules_) {
    if (e.rule.command && *e.rule.command != command) continue;
    if (e.seen < UINT32_MAX) ++e.seen;
    if (e.seen < e.rule.first) continue;
    if (e.rule.count != 0 && e.seen - e.rule.first >= e.rule.count) continue;
    hits.push_back(e.rule);
  }
  return hits;
}

}  // namespace sim::ice
