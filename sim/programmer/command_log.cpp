#include "sim/programmer/command_log.h"

#include <cstdio>

namespace sim::programmer {

const char* CommandName(uint8_t letter) {
  switch (letter) {
    case 'B': return "PACK";
    case 'D': return "DOWNLOAD";
    case 'F': return "PASS";
    case 'G': return "GETMEM";
    case 'H': return "SETUP";
    case 'I': return "GETREG";
    case 'J': return "KEY";
    case 'L': return "LOADDRV";
    case 'N': return "AUTO";
    case 'P': return "OPERATE";
    case 'Q': return "QUIT";
    case 'S': return "CHECKSUM";
    case 'T': return "MODE";
    case 'U': return "UPLOAD";
    case 'V': return "IDLE";
    case 'W': return "SETREG";
    case 'X': return "GETBLOCK";
    case 'Y': return "SETBLOCK";
    case 'g': return "SRAM";
    case 'h': return "MAP";
    case 'i': return "SRAMQUERY";
    case 'l': return "LOADMON";
    case 'u': return "UPLOADBYTE";
    case 'v': return "FILL";
    default: return "?";
  }
}

std::string FormatRecord(const CommandRecord& r) {
  char head[96];
  const unsigned ch = r.letter >= 0x20 && r.letter < 0x7F ? r.letter : '.';
  std::snprintf(head, sizeof head, "%10.3f #%u %c %-10s ", static_cast<double>(r.startUs) / 1000.0, r.prompt, ch,
                r.letter ? CommandName(r.letter) : "(prompt)");
  std::string line = head + r.summary;
  if (r.abandoned) line += " [abandoned]";
  for (const auto& f : r.faults) line += " {" + f + "}";
  return line;
}

std::vector<CommandRecord> CommandLog::Records() const {
  std::lock_guard lock(mutex_);
  return records_;
}

size_t CommandLog::Size() const {
  std::lock_guard lock(mutex_);
  return records_.size();
}

void CommandLog::Clear() {
  std::lock_guard lock(mutex_);
  records_.clear();
}

std::string CommandLog::Letters() const {
  std::lock_guard lock(mutex_);
  std::string s;
  for (const auto& r : records_) s += r.letter ? static_cast<char>(r.letter) : '-';
  return s;
}

void CommandLog::SetSink(std::function<void(const CommandRecord&)> sink) {
  std::lock_guard lock(mutex_);
  sink_ = std::move(sink);
}

void CommandLog::Append(CommandRecord record) {
  std::lock_guard lock(mutex_);
  if (sink_) sink_(record);
  if (records_.size() >= capacity_) records_.erase(records_.begin(), records_.begin() + (capacity_ / 2 + 1));
  records_.push_back(std::move(record));
}

}  // namespace sim::programmer
