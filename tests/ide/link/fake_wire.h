// A scripted emulator board at the end of a byte link, on virtual time.
//
// The wire is also the test's clock: a read that waits for bytes that do not
// come advances time by its whole time-out, pauses advance it by their
// length, and answers can be scripted to arrive late. Every write, read,
// purge and pause goes into an event log, so tests can compare exchange
// patterns step by step. Complete request frames (by their length byte) are
// collected and answered from a queue of scripted answers or, when the queue
// is empty, by a responder function.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ide/link/com_port.h"
#include "platform/byte_link.h"
#include "platform/clock.h"
#include "tests/support/hex_bytes.h"

namespace vx930::testing {

using Bytes = std::vector<uint8_t>;

// The bytes with their checksum appended.
Bytes WithChecksum(Bytes bytes);
// [R0 R1 R2 Code Chk]
Bytes ShortReply(uint8_t code, uint8_t r1 = 0, uint8_t r2 = 0);
// [R0 R1 R2 Code data Chk]
Bytes DataReply(uint8_t code, const Bytes& data);
// The same reply with its checksum spoiled.
Bytes BadSum(Bytes reply);

struct Answer {
  Bytes bytes;  // empty: silence
  uint32_t delayMs = 0;  // on the line this long after the request
};

class FakeWire final : public platform::Clock {
public:
  using Responder = std::function<std::vector<Answer>(const Bytes& request)>;

  FakeWire();
  ~FakeWire() override;

  // Clock
  uint32_t Tick() override;
  void Sleep(uint32_t ms) override;

  // A link onto this wire (each call a new handle) and an opener for COM_Port.
  std::unique_ptr<platform::ByteLink> Link();
  COM_Port::LinkSource Opener();
  // An open COM_Port onto this wire.
  std::unique_ptr<COM_Port> OpenPort(int portNo = 1);

  // Answers for the next requests, one entry per request, in order.
  void Queue(Answer a);
  void Queue(Bytes reply) { Queue(Answer{std::move(reply), 0}); }
  void QueueSilence(int requests = 1);
  // Answers requests once the queue is empty (default: silence).
  void SetResponder(Responder r);
  // Bytes that arrive unasked, now.
  void Inject(const Bytes& bytes);

  void FailWrites(bool fail);
  void HangUp();  // reads and writes fail from now on
  void FailClose(bool fail);

  std::vector<Bytes> Requests() const;
  std::vector<std::string> Events() const;  // "write ..", "read n:got", "purge rx", "pause ms"
  // Events of one kind only (the prefix before the first blank).
  std::vector<std::string> Events(const std::string& kind) const;
  size_t BytesWritten() const;
  size_t BytesRead() const;
  int Opens() const;
  int Closes() const;
  void ClearLog();

  // Link operations (used by the handles).
  bool Write(const uint8_t* data, size_t n, size_t& written);
  bool Read(uint8_t* data, size_t n, uint32_t timeoutMs, size_t& received);
  void PurgeRx();
  void PurgeTx();
  bool Close();

private:
  struct RxByte {
    uint8_t value;
    uint32_t due;
  };
  void Complete(const Bytes& request);

  mutable std::recursive_mutex mutex_;
  uint32_t now_ = 0;
  std::deque<RxByte> rx_;
  Bytes partial_;
  std::deque<Answer> queue_;
  Responder responder_;
  std::vector<Bytes> requests_;
  std::vector<std::string> events_;
  size_t written_ = 0;
  size_t read_ = 0;
  bool failWrites_ = false;
  bool hungUp_ = false;
  bool failClose_ = false;
  int opens_ = 0;
  int closes_ = 0;
};

}  // namespace vx930::testing

namespace vx930::testing {

// A board that answers every request as a healthy board would: the echo,
// ready to busy checks, 1 to program blocks, and data where asked (byte i of
// a data reply is 0xA0 + i; lock byte 0x5C; version 02 10; signature 3C 93 0A).
std::vector<Answer> GoodBoard(const Bytes& request);

}  // namespace vx930::testing
