#include "ide/link/cmdset_commands.h"

#include <span>

namespace vx930 {

bool CmdSetCommands::TxBrkPnt(const BreakPointRec* table, int count) {
  if (count < 0) return false;
  const auto n = static_cast<std::size_t>(count);
  return cmd_.TxBrkPnt(std::span<const BreakPointRec>(table, n), n);
}

bool CmdSetCommands::RxSFR(uint8_t* out) { return cmd_.RxSFR(std::span<uint8_t, kSfrBlockSize>(out, kSfrBlockSize)); }

bool CmdSetCommands::TxSFR(const uint8_t* bytes, int count) {
  if (count < 0) return false;
  return cmd_.TxSFR(std::span<const uint8_t>(bytes, static_cast<std::size_t>(count)));
}

bool CmdSetCommands::RxInRAM(uint8_t* out, uint8_t blockStart) {
  return cmd_.RxInRAM(CCmdSet::Block(out, kIceBlockSize), blockStart);
}

bool CmdSetCommands::TxInRAM(uint8_t address, const uint8_t* bytes) {
  return cmd_.TxInRAM(address, CCmdSet::ConstBlock(bytes, kIceBlockSize));
}

bool CmdSetCommands::Rx1kRAM(uint8_t* out, uint16_t address) {
  return cmd_.Rx1kRAM(CCmdSet::Block(out, kIceBlockSize), address);
}

bool CmdSetCommands::Tx1kRAM(uint16_t address, const uint8_t* bytes) {
  return cmd_.Tx1kRAM(address, CCmdSet::ConstBlock(bytes, kIceBlockSize));
}

namespace {

template <class Read>
bool ListRead(Read read, const uint8_t* addresses, uint8_t* out, int n, std::size_t bytesPerAddress) {
  if (n < 0) return false;
  const auto count = static_cast<std::size_t>(n);
  return read(std::span<const uint8_t>(addresses, count * bytesPerAddress), std::span<uint8_t>(out, count), count);
}

}  // namespace

bool CmdSetCommands::RxInRAMList(const uint8_t* addresses, uint8_t* out, int n) {
  return ListRead([this](auto a, auto o, auto c) { return cmd_.RxInRAMList(a, o, c); }, addresses, out, n, 1);
}

bool CmdSetCommands::Rx1kRAMList(const uint8_t* addresses, uint8_t* out, int n) {
  return ListRead([this](auto a, auto o, auto c) { return cmd_.Rx1kRAMList(a, o, c); }, addresses, out, n, 2);
}

bool CmdSetCommands::RxExRAMList(const uint8_t* addresses, uint8_t* out, int n) {
  return ListRead([this](auto a, auto o, auto c) { return cmd_.RxExRAMList(a, o, c); }, addresses, out, n, 2);
}

std::unique_ptr<ComPortHandle> SerialLinkOpener::OpenPort(int portNo) {
  auto port = linkSource_ ? std::make_unique<COM_Port>(portNo, linkSource_) : std::make_unique<COM_Port>(portNo);
  if (!port->OpenPort()) return nullptr;
  return std::make_unique<ComPortLink>(std::move(port));
}

std::unique_ptr<IceCommands> SerialLinkOpener::CreateCommands(ComPortHandle& port) {
  auto* link = dynamic_cast<ComPortLink*>(&port);
  return std::make_unique<CmdSetCommands>(link ? link->Port() : nullptr);
}

}  // namespace vx930
