// Fault injection for the simulated programmer.
//
// A rule is written SEL:KIND[:ARG] (the zolvek-sim --fault option, and
// ParseFaultSpec). SEL picks commands:
//   '*'          every prompt ("AT"), counted from the moment the rule is added;
//   a letter     'B', B or 0x42: every command with that letter;
//   ...@N        only the N-th of them (1-based);
//   ...#I        the I-th reply byte of the command (1-based: the first byte
//                after the command letter; #0 is the prompt answer 'O', which
//                only a '*' rule reaches). Default #1.
// Kinds:
//   silent        from the selected command on the programmer answers nothing
//                 (a '*' rule: not even the prompt); it still takes bytes in.
//   drop          the selected reply byte is not sent.
//   late:MS       the selected reply byte goes out MS ms late; the programmer
//                 stalls meanwhile, so what follows comes as it gets to it.
//   badecho       the selected reply byte goes out with bit 0 flipped (on a
//                 download it is the echo of download byte I).
//   pack[:V]      the pack command 'B' answers V (default 2); SEL is ignored
//                 beyond @N.
//   nopack        the pack command gets no answer.
//   pagetimeout   page I of the selected operation ('P' command) never answers:
//                 the programmer gives that operation up, silently, and is back
//                 at its prompt.
//   key           the selected start-key poll 'J' answers 0 (pressed); write J@N.
//   cable         the cable is pulled when the selected prompt comes: nothing
//                 passes either way until the test plugs it back.
//   failat:ADDR   chip: programming address ADDR never takes (a weak cell), so
//                 program and verify fail there. SEL is ignored.
//   chipid:HEX    chip: answers the ID bytes HEX (up to 4 bytes, e.g. 1E5106FF)
//                 in place of its own. SEL is ignored.
// Examples: "*@3:silent", "B:nopack", "L#100:badecho", "P@1#2:pagetimeout",
//           "J@4:key", "r#17:late:300", "*:failat:0x1234", "*:chipid:1E5106".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim::programmer {

enum class FaultKind { Silent, Drop, Late, BadEcho, Pack, NoPack, PageTimeout, Key, Cable, FailAt, ChipId };

struct FaultRule {
  FaultKind kind = FaultKind::Silent;
  std::optional<uint8_t> letter;  // empty: every prompt
  uint32_t nth = 0;  // 0: every matching command
  uint32_t byteIndex = 1;
  std::optional<uint32_t> arg;
  std::vector<uint8_t> bytes;  // chipid
};

std::string_view FaultKindName(FaultKind kind);
std::optional<FaultRule> ParseFaultSpec(std::string_view spec, std::string* error);
std::string FormatFaultRule(const FaultRule& rule);

// The rules in force with their counts of matching commands.
class FaultSet {
public:
  void Add(const FaultRule& rule);
  void Clear() { rules_.clear(); }
  bool Empty() const { return rules_.empty(); }

  // Counts one prompt against the '*' rules; returns those that hit it.
  std::vector<FaultRule> MatchPrompt();
  // Counts one command letter against the letter rules; returns those that hit it.
  std::vector<FaultRule> MatchCommand(uint8_t letter);
  // Chip-level rules (failat, chipid), whatever their selector.
  std::vector<FaultRule> ChipRules() const;

private:
  // Counts one prompt (no letter) or command against the rules for it.
  std::vector<FaultRule> Match(std::optional<uint8_t> letter);

  struct Entry {
    FaultRule rule;
    uint32_t seen = 0;
  };
  std::vector<Entry> rules_;
};

}  // namespace sim::programmer
