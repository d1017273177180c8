#include "programmer/link/com_transport.h"

#include "platform/serial_port.h"
#include "programmer/link/poll_wait.h"

namespace zolvek {

namespace {

class SystemSerialLine final : public SerialLine {
public:
  bool Open(int n, uint32_t baud) { return port_.Open(platform::ComPortDevice(n), baud); }
  bool Write(const uint8_t* d, std::size_t n, std::size_t& w) override { return port_.Write(d, n, w); }
  bool Read(uint8_t* d, std::size_t n, uint32_t t, std::size_t& r) override { return port_.Read(d, n, t, r); }
  void PurgeRx() override { port_.PurgeRx(); }
  void PurgeTx() override { port_.PurgeTx(); }
  bool Close() override { return port_.Close(); }
  bool SetBaud(uint32_t baud) override { return port_.SetBaud(baud); }

private:
  platform::SerialPort port_;
};

}  // namespace

std::unique_ptr<SerialLine> OpenSystemSerial(int n) {
  if (n < 1) return nullptr;
  auto line = std::make_unique<SystemSerialLine>();
  // The rate is set by ComSetRate; open at the fastest so nothing waits on it.
  if (!line->Open(n, BaudTable[0])) return nullptr;
  return line;
}

ComTransport::ComTransport(LinkState& state, SerialOpener opener) : state_(state), opener_(std::move(opener)) {}

ComTransport::~ComTransport() { ComClose(); }

int ComTransport::ComOpen(int n) {
  if (line_) return 0;
  line_ = opener_ ? opener_(n) : nullptr;
  if (!line_) return 0;
  ComPurge();
  return 1;
}

void ComTransport::ComClose() {
  if (line_) {
    ComPurge();
    line_->Close();
  }
  line_.reset();
}

int ComTransport::ComPurge() {
  if (!line_) return 1;
  line_->PurgeTx();
  line_->PurgeRx();
  return 0;
}

int ComTransport::ComSetRate(int index) {
  if (!line_) return 0;
  if (index >= 0 && index < static_cast<int>(BaudTable.size())) line_->SetBaud(BaudTable[index]);
  return 1;
}

void ComTransport::ComProbe() {
  for (int n = 1; n <= LinkState::ComPortCount; ++n) {
    auto line = opener_ ? opener_(n) : nullptr;
    state_.ComPresent[n - 1] = line ? 1 : 0;
    if (line) line->Close();
  }
}

int ComTransport::ComSend(uint8_t byte) {
  if (!line_) return 0;
  std::size_t written = 0;
  return line_->Write(&byte, 1, written) && written == 1 ? 1 : 0;
}

uint16_t ComTransport::ComReceive(uint32_t waitCount) {
  if (!line_) return 0;
  for (uint64_t pass = 0; pass <= waitCount; ++pass) {
    uint8_t byte = 0;
    std::size_t got = 0;
    if (!line_->Read(&byte, 1, state_.Timings.comPassMs, got)) return 0;
    if (got == 1) return static_cast<uint16_t>(0x100 | byte);
    if (state_.BetweenPasses && !state_.BetweenPasses()) return 0;
  }
  return 0;
}

int ComTransport::ComCommand(uint8_t code) {
  if (!line_) return kStatusPortClosed;
  static constexpr uint8_t kPrompt[2] = {'A', 'T'};
  std::size_t written = 0;
  if (!line_->Write(kPrompt, 2, written) || written != 2) return kStatusNoPrompt;
  uint8_t answer = 0;
  std::size_t got = 0;
  if (!line_->Read(&answer, 1, state_.Timings.comPromptMs, got) || got != 1) return kStatusNoPrompt;
  if (answer != 'O') return kStatusNoPrompt;
  return ComSend(code) ? kStatusOk : kStatusNotSent;
}

bool ComTransport::DrainQuiet(uint32_t quietMs, uint32_t limitMs) {
  if (!line_) return false;
  const bool quiet = DrainUntilQuiet(limitMs, [&] {
    uint8_t byte = 0;
    std::size_t got = 0;
    if (!line_->Read(&byte, 1, quietMs, got)) return Poll::Fail;
    return got == 0 ? Poll::Wait : Poll::Done;
  });
  // Input only: bytes we wrote may still be on their way out.
  line_->PurgeRx();
  return quiet;
}

}  // namespace zolvek
