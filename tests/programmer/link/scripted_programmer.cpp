#include "tests/programmer/link/scripted_programmer.h"

#include <algorithm>
#include <cstring>

namespace zolvek::testing {

ScriptedProgrammer& ScriptedProgrammer::Expect(const Bytes& bytes) {
  for (uint8_t b : bytes) script_.push_back({Step::ExpectByte, b, {}, 0, 0});
  return *this;
}

ScriptedProgrammer& ScriptedProgrammer::Reply(const Bytes& bytes, uint32_t delayMs) {
  script_.push_back({Step::ReplyBytes, 0, bytes, delayMs, 0});
  return *this;
}

ScriptedProgrammer& ScriptedProgrammer::Command(uint8_t letter, const Bytes& params) {
  Expect({'A', 'T'}).Reply({'O'}).Expect({letter});
  return Expect(params);
}

ScriptedProgrammer& ScriptedProgrammer::BadPrompt(int answer) {
  Expect({'A', 'T'});
  if (answer >= 0) Reply({static_cast<uint8_t>(answer)});
  return *this;
}

ScriptedProgrammer& ScriptedProgrammer::Echo(const Bytes& bytes) {
  for (uint8_t b : bytes) Expect({b}).Reply({b});
  return *this;
}

ScriptedProgrammer& ScriptedProgrammer::Rate(uint32_t baud) {
  script_.push_back({Step::SetRate, 0, {}, 0, baud});
  return *this;
}

ScriptedProgrammer& ScriptedProgrammer::StopTaking() {
  script_.push_back({Step::Refuse, 0, {}, 0, 0});
  return *this;
}

ScriptedProgrammer& ScriptedProgrammer::PullCable() {
  script_.push_back({Step::Pull, 0, {}, 0, 0});
  return *this;
}

void ScriptedProgrammer::RunSteps() {
  while (!script_.empty() && script_.front().kind != Step::ExpectByte) {
    const Step s = script_.front();
    script_.pop_front();
    switch (s.kind) {
      case Step::ReplyBytes:
        for (uint8_t b : s.bytes) rx_.push_back({b, clock_.Tick() + s.delay});
        break;
      case Step::SetRate: baud_ = s.baud; break;
      case Step::Pull: pulled_ = true; break;
      case Step::Refuse: refusing_ = true; break;
      case Step::ExpectByte: break;
    }
  }
}

void ScriptedProgrammer::HostWrites(uint8_t byte, uint32_t hostBaud) {
  RunSteps();
  if (pulled_) return;
  // At another rate the programmer hears noise, and nothing it can answer.
  if (baud_ != 0 && hostBaud != 0 && hostBaud != baud_) return;
  heard_.push_back(byte);
  if (script_.empty()) {
    errors_.push_back("unexpected " + Hex({byte}) + " after the script (byte " + std::to_string(heard_.size()) + ")");
    return;
  }
  if (script_.front().byte != byte) {
    errors_.push_back("host sent " + Hex({byte}) + " where " + Hex({script_.front().byte}) + " was expected (byte " +
                      std::to_string(heard_.size()) + ")");
    return;
  }
  script_.pop_front();
  RunSteps();
}

std::size_t ScriptedProgrammer::Due() {
  RunSteps();
  if (pulled_) return 0;
  std::size_t n = 0;
  const uint32_t now = clock_.Tick();
  for (const auto& b : rx_) {
    if (static_cast<int32_t>(b.due - now) > 0) break;
    ++n;
  }
  return n;
}

uint8_t ScriptedProgrammer::Take() {
  const uint8_t b = rx_.front().value;
  rx_.pop_front();
  return b;
}

uint8_t ScriptedProgrammer::Peek() const { return rx_.empty() ? 0xFF : rx_.front().value; }

int64_t ScriptedProgrammer::NextDueIn() {
  RunSteps();
  if (rx_.empty() || pulled_) return -1;
  return std::max<int64_t>(0, static_cast<int32_t>(rx_.front().due - clock_.Tick()));
}

void ScriptedProgrammer::PurgeArrived() {
  ++purges_;
  for (std::size_t n = Due(); n > 0; --n) rx_.pop_front();
}

bool ScriptedProgrammer::Finished() {
  RunSteps();
  return script_.empty();
}

bool ScriptedLine::Write(const uint8_t* data, std::size_t n, std::size_t& written) {
  written = 0;
  if (p_.Pulled()) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (p_.Refusing()) return false;
    p_.HostWrites(data[i], baud_);
    ++written;
  }
  return true;
}

bool ScriptedLine::Read(uint8_t* data, std::size_t n, uint32_t timeoutMs, std::size_t& received) {
  received = 0;
  if (p_.Pulled()) return false;
  while (received < n && p_.Due()) data[received++] = p_.Take();
  if (received > 0) return true;
  const int64_t next = p_.NextDueIn();
  if (next >= 0 && next <= timeoutMs) {
    p_.Clock().Advance(static_cast<uint32_t>(next));
    while (received < n && p_.Due()) data[received++] = p_.Take();
    return true;
  }
  p_.Clock().Advance(timeoutMs);
  return true;
}

void ScriptedLine::PurgeRx() { p_.PurgeArrived(); }

bool ScriptedLine::SetBaud(uint32_t baud) {
  baud_ = baud;
  return true;
}

SerialOpener ScriptedOpener(ScriptedProgrammer& p, int port) {
  return [&p, port](int n) -> std::unique_ptr<SerialLine> {
    if (n != port) return nullptr;
    return std::make_unique<ScriptedLine>(p);
  };
}

bool ScriptedLptDevice::InputPin(int pin) {
  if (p_.Pulled()) return false;
  if (pin == 15) return !busy_ && !p_.Refusing();
  if (pin == 13) return p_.Due() > 0;
  return false;
}

uint8_t ScriptedLptDevice::DataLines() { return p_.Due() ? p_.Peek() : 0xFF; }

void ScriptedLptDevice::PinChanged(int pin, bool high) {
  if (pin == 1) {
    if (!high) {
      strobeLow_ = true;
    } else if (strobeLow_) {
      strobeLow_ = false;
      p_.HostWrites(latch_);
    }
  } else if (pin == 14) {
    if (!high) {
      ackLow_ = true;
    } else if (ackLow_) {
      ackLow_ = false;
      if (p_.Due()) p_.Take();
    }
  }
}

FakeD2xx* FakeD2xx::current_ = nullptr;

FakeD2xx::FakeD2xx(ScriptedProgrammer* p, std::vector<std::string> descriptions)
    : p_(p), descriptions_(std::move(descriptions)) {
  current_ = this;
  api_.FT_Write = &Write;
  api_.FT_Read = &Read;
  api_.FT_Open = &Open;
  api_.FT_ListDevices = &ListDevices;
  api_.FT_Close = &Close;
  api_.FT_ResetDevice = &ResetDevice;
  api_.FT_Purge = &Purge;
  api_.FT_SetTimeouts = &SetTimeouts;
  api_.FT_GetQueueStatus = &GetQueueStatus;
  api_.FT_GetStatus = &GetStatus;
}

FakeD2xx::~FakeD2xx() { current_ = nullptr; }

bool FakeD2xx::Programmer(FT_HANDLE h) const {
  const auto index = reinterpret_cast<uintptr_t>(h);
  if (index < 1 || index > descriptions_.size()) return false;
  return descriptions_[index - 1] == kProgrammerDescription && p_ && !p_->Pulled();
}

FT_STATUS FakeD2xx::Write(FT_HANDLE h, void* buffer, FT_DWORD n, FT_DWORD* written) {
  FakeD2xx& f = *current_;
  ++f.calls_;
  if (!f.Programmer(h)) return kIoError;
  if (f.p_->Refusing()) {
    *written = 0;
    return FT_OK;
  }
  const FT_DWORD k = f.shortWrites_ && n > 0 ? n - 1 : n;
  for (FT_DWORD i = 0; i < k; ++i) f.p_->HostWrites(static_cast<uint8_t*>(buffer)[i]);
  *written = k;
  return FT_OK;
}

FT_STATUS FakeD2xx::Read(FT_HANDLE h, void* buffer, FT_DWORD n, FT_DWORD* got) {
  FakeD2xx& f = *current_;
  ++f.calls_;
  if (!f.Programmer(h)) return kIoError;
  const FT_DWORD k = std::min<FT_DWORD>(n, static_cast<FT_DWORD>(f.p_->Due()));
  for (FT_DWORD i = 0; i < k; ++i) static_cast<uint8_t*>(buffer)[i] = f.p_->Take();
  *got = k;
  return FT_OK;
}

FT_STATUS FakeD2xx::Open(int index, FT_HANDLE* handle) {
  FakeD2xx& f = *current_;
  ++f.calls_;
  if (index < 0 || index >= static_cast<int>(f.descriptions_.size()) || index == f.failOpen_) return 3;
  ++f.opens_;
  *handle = reinterpret_cast<FT_HANDLE>(static_cast<uintptr_t>(index + 1));
  return FT_OK;
}

FT_STATUS FakeD2xx::ListDevices(void* arg1, void* arg2, FT_DWORD flags) {
  FakeD2xx& f = *current_;
  ++f.calls_;
  if (flags == FT_LIST_NUMBER_ONLY) {
    if (f.failCount_) return kIoError;
    *static_cast<FT_DWORD*>(arg1) = static_cast<FT_DWORD>(f.descriptions_.size());
    return FT_OK;
  }
  const auto index = reinterpret_cast<uintptr_t>(arg1);
  if (flags != FT_LIST_BY_INDEX_DESCRIPTION || index >= f.descriptions_.size()) return kIoError;
  if (static_cast<int>(index) == f.failList_) {
    // A failed listing may leave anything in the buffer, even the right name.
    std::strcpy(static_cast<char*>(arg2), kProgrammerDescription);
    return kIoError;
  }
  std::strncpy(static_cast<char*>(arg2), f.descriptions_[index].c_str(), kDescriptionSize);
  return FT_OK;
}

FT_STATUS FakeD2xx::Close(FT_HANDLE h) {
  FakeD2xx& f = *current_;
  ++f.calls_;
  f.closed_.push_back(static_cast<int>(reinterpret_cast<uintptr_t>(h)) - 1);
  return FT_OK;
}

FT_STATUS FakeD2xx::ResetDevice(FT_HANDLE h) {
  FakeD2xx& f = *current_;
  ++f.calls_;
  ++f.resets_;
  return f.Programmer(h) ? FT_OK : kIoError;
}

FT_STATUS FakeD2xx::Purge(FT_HANDLE h, uint32_t mask) {
  FakeD2xx& f = *current_;
  ++f.calls_;
  f.purgeMasks_.push_back(mask);
  if (!f.Programmer(h)) return kIoError;
  if (mask & 1) f.p_->PurgeArrived();
  return FT_OK;
}

FT_STATUS FakeD2xx::SetTimeouts(FT_HANDLE h, uint32_t, uint32_t) {
  ++current_->calls_;
  return current_->Programmer(h) ? FT_OK : kIoError;
}

FT_STATUS FakeD2xx::GetQueueStatus(FT_HANDLE h, FT_DWORD* rx) {
  FakeD2xx& f = *current_;
  ++f.calls_;
  if (!f.Programmer(h)) return kIoError;
  *rx = static_cast<FT_DWORD>(f.p_->Due());
  return FT_OK;
}

FT_STATUS FakeD2xx::GetStatus(FT_HANDLE h, FT_DWORD* rx, FT_DWORD* tx, FT_DWORD* events) {
  FakeD2xx& f = *current_;
  ++f.calls_;
  if (!f.Programmer(h)) return kIoError;
  *rx = static_cast<FT_DWORD>(f.p_->Due());
  *tx = f.p_->Refusing() ? 1 : 0;
  *events = 0;
  return FT_OK;
}

}  // namespace zolvek::testing
