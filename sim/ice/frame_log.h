// A time-stamped record of every frame that crossed the board's line.
//
// Each request the board assembled (good or not) is one HostToBoard entry;
// each reply, and each stray byte, is one BoardToHost entry stamped with the
// time it went on the line (a late reply: the time it became readable). Times
// are platform::CurrentClock() ticks in ms. Safe to read from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sim/ice/faults.h"

namespace sim::ice {

enum class Direction { HostToBoard, BoardToHost };

struct FrameLogEntry {
  uint32_t time = 0;
  Direction direction = Direction::HostToBoard;
  std::vector<uint8_t> bytes;
  std::vector<FaultKind> faults;  // injected faults that shaped this frame
  std::string note;  // why a request was refused, e.g. "bad checksum"
};

// One line: time, direction, hex bytes, command name, faults and note.
std::string FormatLogEntry(const FrameLogEntry& entry);

class FrameLog {
public:
  // Keeps the newest `capacity` entries; the sink sees every one.
  explicit FrameLog(size_t capacity = 100000);

  void Append(FrameLogEntry entry);
  std::vector<FrameLogEntry> Entries() const;
  size_t Size() const;
  void Clear();

  // Called with every new entry, under the log's lock (so calls never overlap).
  void SetSink(std::function<void(const FrameLogEntry&)> sink);

private:
  mutable std::mutex mutex_;
  size_t capacity_;
  std::vector<FrameLogEntry> entries_;
  size_t start_ = 0;  // index of the oldest entry once the ring is full
  std::function<void(const FrameLogEntry&)> sink_;
};

}  // namespace sim::ice
