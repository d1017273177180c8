#include "ide/link/com_port.h"

#include <cstdio>

#include "ide/image/ide_message.h"
#include "platform/serial_port.h"

namespace vx930 {

namespace {

std::unique_ptr<platform::ByteLink> OpenSerial(int portNo, bool report) {
  auto port = std::make_unique<platform::SerialPort>();
  if (port->Open(platform::ComPortDevice(portNo), COM_Port::kBaud)) return port;
  // The box text is fixed; the reason goes where a developer can see it.
  // Tries to reach a lost device again come with every poll: not reported.
  if (report) std::fprintf(stderr, "COM%d: %s\n", portNo, port->Error().c_str());
  return nullptr;
}

}  // namespace

COM_Port::COM_Port(int portNo) : PortNo(portNo), source_([this](int n) { return OpenSerial(n, !lost_); }) {}

COM_Port::COM_Port(int portNo, LinkSource source) : PortNo(portNo), source_(std::move(source)) {}

COM_Port::~COM_Port() { ClosePort(); }

bool COM_Port::OpenPort() {
  if (PortNo < kFirstPortNo || PortNo > kLastPortNo) return false;
  ClosePort();
  lost_ = false;
  hCom = source_ ? source_(PortNo) : nullptr;
  if (!hCom) {
    platform::Messages().Show(
        platform::Message{"Open ComPort Error!!", "", platform::Buttons::Ok, platform::Icon::None});
    return false;
  }
  return true;
}

void COM_Port::ClosePort() {
  if (!hCom) return;
  hCom->PurgeTx();
  hCom->PurgeRx();
  const bool closed = hCom->Close();
  hCom.reset();
  if (!closed) ShowIdeMessage("Close CommPort Failed");
}

void COM_Port::DropLink() {
  // Only a read tells a lost device from a slow one: a write that stalls may
  // face a device that is still there. What was queued is gone with the
  // device; a failed close of a link already lost says nothing new.
  hCom->Close();
  hCom.reset();
  lost_ = true;
}

bool COM_Port::Reconnect() {
  if (hCom) return true;
  if (!lost_ || !source_) return false;
  hCom = source_(PortNo);
  if (!hCom) return false;
  lost_ = false;
  return true;
}

bool COM_Port::ReadPort(uint8_t* buffer, uint32_t count, uint32_t& received) {
  return ReadPort(buffer, count, received, ReadTimeoutMs(count));
}

bool COM_Port::ReadPort(uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) {
  received = 0;
  if (!Reconnect()) return false;
  std::size_t got = 0;
  const bool ok = hCom->Read(buffer, count, timeoutMs, got);
  received = static_cast<uint32_t>(got);
  if (!ok) DropLink();
  return ok;
}

bool COM_Port::WritePort(const uint8_t* buffer, uint32_t count, uint32_t& written) {
  written = 0;
  if (!Reconnect()) return false;
  std::size_t put = 0;
  const bool ok = hCom->Write(buffer, count, put);
  written = static_cast<uint32_t>(put);
  return ok && put == count;
}

void COM_Port::PurgeRx() {
  if (hCom) hCom->PurgeRx();
}

}  // namespace vx930
