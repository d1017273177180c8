#include "tests/ide/link/fake_wire.h"

#include <algorithm>

#include "ide/link/ice_frame.h"

namespace vx930::testing {

Bytes WithChecksum(Bytes bytes) {
  bytes.push_back(FrameChecksum(bytes));
  return bytes;
}

Bytes ShortReply(uint8_t code, uint8_t r1, uint8_t r2) { return WithChecksum({0, r1, r2, code}); }

Bytes DataReply(uint8_t code, const Bytes& data) {
  Bytes b{static_cast<uint8_t>(data.size()), 0, 0, code};
  b.insert(b.end(), data.begin(), data.end());
  return WithChecksum(b);
}

Bytes BadSum(Bytes reply) {
  reply.back() = static_cast<uint8_t>(reply.back() + 1);
  return reply;
}

namespace {

class Handle final : public platform::ByteLink {
public:
  explicit Handle(FakeWire& wire) : wire_(wire) {}
  bool Write(const uint8_t* d, size_t n, size_t& w) override { return wire_.Write(d, n, w); }
  bool Read(uint8_t* d, size_t n, uint32_t t, size_t& r) override { return wire_.Read(d, n, t, r); }
  void PurgeRx() override { wire_.PurgeRx(); }
  void PurgeTx() override { wire_.PurgeTx(); }
  bool Close() override { return wire_.Close(); }

private:
  FakeWire& wire_;
};

}  // namespace

FakeWire::FakeWire() = default;
FakeWire::~FakeWire() = default;

uint32_t FakeWire::Tick() {
  std::lock_guard lock(mutex_);
  return now_;
}

void FakeWire::Sleep(uint32_t ms) {
  std::lock_guard lock(mutex_);
  events_.push_back("pause " + std::to_string(ms));
  now_ += ms;
}

std::unique_ptr<platform::ByteLink> FakeWire::Link() { return std::make_unique<Handle>(*this); }

COM_Port::LinkSource FakeWire::Opener() {
  return [this](int) {
    std::lock_guard lock(mutex_);
    ++opens_;
    return Link();
  };
}

std::unique_ptr<COM_Port> FakeWire::OpenPort(int portNo) {
  auto port = std::make_unique<COM_Port>(portNo, Opener());
  if (!port->OpenPort()) return nullptr;
  return port;
}

void FakeWire::Queue(Answer a) {
  std::lock_guard lock(mutex_);
  queue_.push_back(std::move(a));
}

void FakeWire::QueueSilence(int requests) {
  for (int i = 0; i < requests; ++i) Queue(Answer{});
}

void FakeWire::SetResponder(Responder r) {
  std::lock_guard lock(mutex_);
  responder_ = std::move(r);
}

void FakeWire::Inject(const Bytes& bytes) {
  std::lock_guard lock(mutex_);
  for (uint8_t b : bytes) rx_.push_back({b, now_});
}

void FakeWire::FailWrites(bool fail) {
  std::lock_guard lock(mutex_);
  failWrites_ = fail;
}

void FakeWire::HangUp() {
  std::lock_guard lock(mutex_);
  hungUp_ = true;
}

void FakeWire::FailClose(bool fail) {
  std::lock_guard lock(mutex_);
  failClose_ = fail;
}

std::vector<Bytes> FakeWire::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<std::string> FakeWire::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<std::string> FakeWire::Events(const std::string& kind) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const auto& e : events_)
    if (e.compare(0, kind.size() + 1, kind + " ") == 0) out.push_back(e);
  return out;
}

size_t FakeWire::BytesWritten() const {
  std::lock_guard lock(mutex_);
  return written_;
}

size_t FakeWire::BytesRead() const {
  std::lock_guard lock(mutex_);
  return read_;
}

int FakeWire::Opens() const {
  std::lock_guard lock(mutex_);
  return opens_;
}

int FakeWire::Closes() const {
  std::lock_guard lock(mutex_);
  return closes_;
}

void FakeWire::ClearLog() {
  std::lock_guard lock(mutex_);
  events_.clear();
  requests_.clear();
}

bool FakeWire::Write(const uint8_t* data, size_t n, size_t& written) {
  std::lock_guard lock(mutex_);
  written = 0;
  if (failWrites_ || hungUp_) {
    events_.push_back("write failed");
    return false;
  }
  Bytes chunk(data, data + n);
  events_.push_back("write " + Hex(chunk));
  written = n;
  written_ += n;
  for (uint8_t b : chunk) {
    partial_.push_back(b);
    if (partial_.size() >= 4 && partial_.size() == size_t{partial_[0]} + 5) {
      Bytes request;
      request.swap(partial_);
      Complete(request);
    }
  }
  return true;
}

void FakeWire::Complete(const Bytes& request) {
  requests_.push_back(request);
  std::vector<Answer> answers;
  if (!queue_.empty()) {
    answers.push_back(queue_.front());
    queue_.pop_front();
  } else if (responder_) {
    answers = responder_(request);
  }
  for (const Answer& a : answers) {
    // A serial line keeps order: nothing overtakes bytes already on their way.
    uint32_t due = now_ + a.delayMs;
    if (!rx_.empty()) due = std::max(due, rx_.back().due);
    for (uint8_t b : a.bytes) rx_.push_back({b, due});
  }
}

bool FakeWire::Read(uint8_t* data, size_t n, uint32_t timeoutMs, size_t& received) {
  std::lock_guard lock(mutex_);
  received = 0;
  if (hungUp_) {
    events_.push_back("read failed");
    return false;
  }
  const uint32_t deadline = now_ + timeoutMs;
  uint32_t last = now_;
  while (received < n && !rx_.empty() && rx_.front().due <= deadline) {
    data[received++] = rx_.front().value;
    last = std::max(last, rx_.front().due);
    rx_.pop_front();
  }
  now_ = received == n ? last : deadline;
  read_ += received;
  events_.push_back("read " + std::to_string(n) + ":" + std::to_string(received));
  return true;
}

void FakeWire::PurgeRx() {
  std::lock_guard lock(mutex_);
  events_.push_back("purge rx");
  while (!rx_.empty() && rx_.front().due <= now_) rx_.pop_front();
}

void FakeWire::PurgeTx() {
  std::lock_guard lock(mutex_);
  events_.push_back("purge tx");
}

bool FakeWire::Close() {
  std::lock_guard lock(mutex_);
  ++closes_;
  events_.push_back("close");
  return !failClose_;
}

}  // namespace vx930::testing

namespace vx930::testing {

std::vector<Answer> GoodBoard(const Bytes& request) {
  const uint8_t cmd = request[3];
  auto data = [](size_t n) {
    Bytes d(n);
    for (size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(0xA0 + i);
    return d;
  };
  switch (cmd) {
    case icBusyCheck: return {{ShortReply(stReady)}};
    case icTxROM: return {{ShortReply(1)}};
    case icFetchSFR: return {{DataReply(cmd, data(58))}};
    case icRxROM:
    case icFetchInRAM:
    case icFetch1kRAM:
    case icFetchExRAM: return {{DataReply(cmd, data(64))}};
    case icFetchInRAMList:
    case icFetch1kRAMList:
    case icFetchExRAMList: return {{DataReply(cmd, data(request[2]))}};
    case icFetchLockBits: return {{ShortReply(cmd, 0x5C)}};
    case icRxVersion: return {{ShortReply(cmd, 0x02, 0x10)}};
    case icFetchSignature: return {{WithChecksum({0, 0x3C, 0x93, cmd, 0x0A})}};
    default: return {{ShortReply(cmd)}};
  }
}

}  // namespace vx930::testing
