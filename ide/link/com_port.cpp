#include "ide/link/com_port.h"

#include <cstdio>

#include "ide/image/ide_message.h"
#include "platform/serial_port.h"

namespace vx930 {

namespace {

std::unique_ptr<platform::ByteLink> OpenSerial(int portNo) {
  auto port = std::make_unique<platform::SerialPort>();
  if (port->Open(platform::ComPortDevice(portNo), COM_Port::kBaud)) return port;
  // The box text is fixed; the reason goes where a developer can see it.
  std::fprintf(stderr, "COM%d: %s\n", portNo, port->Error().c_str());
  return nullptr;
}

}  // namespace

COM_Port::COM_Port(int portNo) : COM_Port(portNo, OpenSerial) {}

COM_Port::COM_Port(int portNo, LinkSource source) : PortNo(portNo), source_(std::move(source)) {}

COM_Port::~COM_Port() { ClosePort(); }

bool COM_Port::OpenPort() {
  if (PortNo < kFirstPortNo || PortNo > kLastPortNo) return false;
  ClosePort();
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

bool COM_Port::ReadPort(uint8_t* buffer, uint32_t count, uint32_t& received) {
  return ReadPort(buffer, count, received, ReadTimeoutMs(count));
}

bool COM_Port::ReadPort(uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) {
  received = 0;
  if (!hCom) return false;
  std::size_t got = 0;
  const bool ok = hCom->Read(buffer, count, timeoutMs, got);
  received = static_cast<uint32_t>(got);
  return ok;
}

bool COM_Port::WritePort(const uint8_t* buffer, uint32_t count, uint32_t& written) {
  written = 0;
  if (!hCom) return false;
  std::size_t put = 0;
  const bool ok = hCom->Write(buffer, count, put);
  written = static_cast<uint32_t>(put);
  return ok && put == count;
}

void COM_Port::PurgeRx() {
  if (hCom) hCom->PurgeRx();
}

}  // namespace vx930
