// The decoded record of every command the programmer took, for tests.
//
// One entry per prompt that got past "AT": the command letter, the bytes the
// host sent after it, the bytes the programmer answered after the prompt
// answer (as they went on the line, faults included), a one-line summary in
// the firmware's terms ("W r16=00", "P 'P'+LPT program 2 pages: status 00")
// and the faults that shaped it. Times are the programmer's virtual time in
// microseconds. Safe to read from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace sim::programmer {

struct CommandRecord {
  uint64_t startUs = 0;
  uint32_t prompt = 0;  // 1-based number of the prompt that opened it
  uint8_t letter = 0;  // 0 when the prompt got no letter yet
  std::vector<uint8_t> in;  // host bytes after the letter
  std::vector<uint8_t> out;  // reply bytes after the prompt answer
  std::string summary;
  std::vector<std::string> faults;
  bool abandoned = false;  // the host stopped sending mid-command
};

// "AT" name of a command letter ('B' -> "PACK"), "?" for an unknown one.
const char* CommandName(uint8_t letter);
// One line: time, prompt number, letter, name, summary, faults.
std::string FormatRecord(const CommandRecord& r);

class CommandLog {
public:
  explicit CommandLog(size_t capacity = 10000) : capacity_(capacity) {}

  std::vector<CommandRecord> Records() const;
  size_t Size() const;
  void Clear();
  // Letters of the logged commands in order, e.g. "TBH" (tests assert on it).
  std::string Letters() const;
  // Every completed record goes to the sink too (zolvek-sim --log).
  void SetSink(std::function<void(const CommandRecord&)> sink);

  // Engine side.
  void Append(CommandRecord record);

private:
  mutable std::mutex mutex_;
  size_t capacity_;
  std::vector<CommandRecord> records_;
  std::function<void(const CommandRecord&)> sink_;
};

}  // namespace sim::programmer
