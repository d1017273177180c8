#include "sim/ice/frame_log.h"

#include <cstdio>

#include "sim/ice/engine_protocol.h"

namespace sim::ice {

std::string FormatLogEntry(const FrameLogEntry& e) {
  char head[32];
  std::snprintf(head, sizeof head, "%10u %s", e.time, e.direction == Direction::HostToBoard ? "host> " : "board>");
  std::string line = head;
  for (uint8_t b : e.bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", b);
    line += hex;
  }
  if (e.direction == Direction::HostToBoard && e.bytes.size() >= kHeaderSize) {
    line += "  ";
    line += CommandName(e.bytes[3]);
  }
  for (FaultKind f : e.faults) {
    line += "  fault:";
    line += FaultKindName(f);
  }
  if (!e.note.empty()) {
    line += "  (";
    line += e.note;
    line += ")";
  }
  return line;
}

FrameLog::FrameLog(size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}

void FrameLog::Append(FrameLogEntry entry) {
  std::lock_guard lock(mutex_);
  if (sink_) sink_(entry);
  if (entries_.size() < capacity_) {
    entries_.push_back(std::move(entry));
  } else {
    entries_[start_] = std::move(entry);
    start_ = (start_ + 1) % capacity_;
  }
}

std::vector<FrameLogEntry> FrameLog::Entries() const {
  std::lock_guard lock(mutex_);
  std::vector<FrameLogEntry> out;
  out.reserve(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) {
    out.push_back(entries_[(start_ + i) % entries_.size()]);
  }
  return out;
}

size_t FrameLog::Size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

void FrameLog::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
  start_ = 0;
}

void FrameLog::SetSink(std::function<void(const FrameLogEntry&)> sink) {
  std::lock_guard lock(mutex_);
  sink_ = std::move(sink);
}

}  // namespace sim::ice
