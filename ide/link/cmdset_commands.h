// The emulator link of the program: a COM_Port opened by number and the
// link's command set over it.
#pragma once

#include <memory>

#include "ide/link/cmd_set.h"
#include "ide/link/com_port.h"
#include "ide/link/ice_commands.h"
#include "ide/link/link_opener.h"

namespace vx930 {

class ComPortLink final : public ComPortHandle {
public:
  explicit ComPortLink(std::unique_ptr<COM_Port> port) : port_(std::move(port)) {}
  COM_Port* Port() const { return port_.get(); }

private:
  std::unique_ptr<COM_Port> port_;
};

class CmdSetCommands final : public IceCommands {
public:
  explicit CmdSetCommands(COM_Port* port) : cmd_(port) {}
  // For the download dialog, whose worker drives the command set itself.
  CCmdSet& CmdSet() { return cmd_; }

  bool ResetICE() override { return cmd_.ResetICE(); }
  bool RunICE() override { return cmd_.RunICE(); }
  bool StepICE() override { return cmd_.StepICE(); }
  bool RunRange(uint16_t lineEnd, uint16_t procedureEnd) override { return cmd_.RunRange(lineEnd, procedureEnd); }
  bool StopICE() override { return cmd_.StopICE(); }
  bool BusyCheck(uint8_t& status) override { return cmd_.BusyCheck(status); }
  bool TxBrkPnt(const BreakPointRec* table, int count) override;
  bool ClearBrkPnt() override { return cmd_.ClearBrkPnt(); }
  bool RxSFR(uint8_t* out) override;
  bool TxSFR(const uint8_t* bytes, int count) override;
  bool RxInRAM(uint8_t* out, uint8_t blockStart) override;
  bool TxInRAM(uint8_t address, const uint8_t* bytes) override;
  bool Rx1kRAM(uint8_t* out, uint16_t address) override;
  bool Tx1kRAM(uint16_t address, const uint8_t* bytes) override;
  bool Tx1kByte(uint16_t address, uint8_t value) override { return cmd_.Tx1kByte(address, value); }
  bool RxInRAMList(const uint8_t* addresses, uint8_t* out, int n) override;
  bool Rx1kRAMList(const uint8_t* addresses, uint8_t* out, int n) override;
  bool RxExRAMList(const uint8_t* addresses, uint8_t* out, int n) override;

private:
  CCmdSet cmd_;
};

// Opens COMn as a termios serial port, or through linkSource when one is
// given (a simulator or a test's wire).
class SerialLinkOpener final : public LinkOpener {
public:
  explicit SerialLinkOpener(COM_Port::LinkSource linkSource = {}) : linkSource_(std::move(linkSource)) {}
  std::unique_ptr<ComPortHandle> OpenPort(int portNo) override;
  std::unique_ptr<IceCommands> CreateCommands(ComPortHandle& port) override;

private:
  COM_Port::LinkSource linkSource_;
};

}  // namespace vx930
