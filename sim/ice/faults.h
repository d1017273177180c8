// Fault injection for the simulated emulator board.
//
// A FaultRule picks request frames (by command code, or any frame) and, from
// the `first` matching frame on, spoils the next `count` of them (0: every one
// from then on). Frames are counted from the moment the rule is added; only
// well-formed requests (good checksum, known command, accepted length) count.
//
// Kinds:
//   NoReply     the frame is ignored: not carried out, not answered.
//   Late        the reply goes out `arg` ms late (by platform::CurrentClock()).
//               Replies to requests sent meanwhile are not lost and do not
//               come in one burst with it: each follows the one before as
//               the board gets to it (see Engine), as a slow board's would.
//   BadChecksum the reply's checksum byte is off by one.
//   WrongCode   the reply's Code is `arg` (default Code + 1), checksum still good.
//   ShortReply  only the first `arg` bytes of the reply go out (default all but one).
//   StrayByte   one extra byte `arg` (default 0xFF) goes out before the reply.
//   Busy        busy checks answer 12 whatever the target does (a running
//               target still runs); considers busy-check frames only.
//   FailBlock   a program block is not written and is answered with Code `arg`
//               (default 0x00); considers icTxROM frames only.
//   HangUp      the board stops answering for good; the pty server closes its
//               side. The frame that triggers it is ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim::ice {

enum class FaultKind {
  NoReply,
  Late,
  BadChecksum,
  WrongCode,
  ShortReply,
  StrayByte,
  Busy,
  FailBlock,
  HangUp,
};

struct FaultRule {
  FaultKind kind = FaultKind::NoReply;
  std::optional<uint8_t> command;  // empty: any frame
  uint32_t first = 1;  // 1-based index of the first matching frame spoiled
  uint32_t count = 0;  // frames spoiled from `first` on; 0: all of them
  std::optional<uint32_t> arg;
};

// The spelling used on the command line and in the frame log: "none", "late",
// "badsum", "wrongcode", "short", "stray", "busy", "failblock", "hangup".
std::string_view FaultKindName(FaultKind kind);

// Parses SEL:KIND[:ARG]. SEL is a command code in hex ("05", "0x05") or "*"
// for any frame, optionally followed by "@N": only the N-th matching frame.
// Without "@N" every matching frame is spoiled. For "busy", ARG is the number
// of busy answers (none or 0: for ever). ARG is decimal or 0x-prefixed hex.
// Examples: "05:badsum", "*@7:late:300", "0C:busy:3", "01@5:failblock:14".
std::optional<FaultRule> ParseFaultSpec(std::string_view spec, std::string* error);

// The rules in force and their frame counts.
class FaultSet {
public:
  void Add(FaultRule rule);
  void Clear();
  bool Empty() const { return rules_.empty(); }

  // Counts a well-formed request with this code against every rule and
  // returns the rules that spoil it, in the order they were added.
  std::vector<FaultRule> Match(uint8_t command);

private:
  struct Entry {
    FaultRule rule;
    uint32_t seen = 0;
  };
  std::vector<Entry> rules_;
};

}  // namespace sim::ice
