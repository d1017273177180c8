#include "programmer/link/connection.h"

namespace zolvek {

namespace {

constexpr uint16_t kSettleMs = 10;
constexpr uint16_t kModeByteMs = 100;

enum class Probe { Answered, Silent, PortClosed };

Probe ProbeRate(ProgrammerLink& link, int index) {
  if (!link.Com().ComSetRate(index)) return Probe::PortClosed;
  link.Delay(kSettleMs);
  link.Com().ComPurge();
  link.Delay(kSettleMs);
  return link.SendCommand(CMD_MODE) == kStatusOk ? Probe::Answered : Probe::Silent;
}

bool SendRateCode(ProgrammerLink& link) {
  link.Delay(kModeByteMs);
  const bool sent = link.SendByte(link.State().BaudIndex) == 1;
  link.Delay(kSettleMs);
  return sent;
}

}  // namespace

int ConnectProgrammer(Commands& commands, int firstRateIndex) {
  if (commands.State().LinkKind == kLinkLpt || commands.State().LinkKind == kLinkUsb) return 0;
  return NegotiateRate(commands, firstRateIndex);
}

int NegotiateRate(Commands& commands, int first) {
  ProgrammerLink& link = commands.Link();
  Probe p = ProbeRate(link, first);
  for (int index = 4; p == Probe::Silent && index >= 0; --index)
    if (index != first) p = ProbeRate(link, index);
  if (p != Probe::Answered) return 1;
  if (!SendRateCode(link)) return 1;

  // Confirm at the new rate: the same probe, answered there.
  if (ProbeRate(link, link.State().BaudIndex) != Probe::Answered) return 1;
  return SendRateCode(link) ? 0 : 1;
}

int CheckPack(Commands& commands) {
  LinkState& state = commands.State();
  uint16_t reply = 0;
  state.LinkStatus = commands.Pack(reply);
  if (state.LinkStatus != kStatusOk) return 1;
  if (reply == (0x100 | PackCode)) return 0;
  if (reply & 0x100) {
    state.LinkStatus = kStatusWrongPack;
    state.ErrorAddress = reply;
    commands.Link().MarkSpoiled();
  } else {
    state.LinkStatus = kStatusNoPack;
  }
  return 1;
}

int InitProgrammer(Commands& commands) { return commands.Setup(); }

}  // namespace zolvek
