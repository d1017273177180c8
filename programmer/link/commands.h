// The programmer's command set.
//
// Every command is the prompt "AT", the answer 'O', the letter, then the
// letter's parameter bytes; replies are single bytes read with the wait of
// the table below (a wait w allows w + 1 passes, see LinkTimings). The
// framing is done in one place, Command(): no parameter byte goes out unless
// the prompt was answered, and a parameter byte that cannot be sent ends the
// command with status 3 (the command was not written whole). A reply that
// does not come leaves the line spoiled: the next command waits for quiet and
// purges first (ProgrammerLink).
//
// Each command has one function here, named after what it does; the
// wrappers keep the program's names (EndOperation ... SetWholeDeviceRange)
// and their results. Functions that return a framing status give 0 or the
// SendCommand code and never store it; the wrappers store it in LinkStatus
// where the program does.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>

#include "programmer/link/programmer_link.h"

namespace zolvek {

// ProgrammerCommand letters.
enum ProgrammerCommand : uint8_t {
  CMD_PACK = 'B',
  CMD_DOWNLOAD = 'D',
  CMD_PASS = 'F',
  CMD_GETMEM = 'G',
  CMD_SETUP = 'H',
  CMD_GETREG = 'I',
  CMD_KEY = 'J',
  CMD_LOADDRV = 'L',
  CMD_AUTO = 'N',
  CMD_OPERATE = 'P',
  CMD_QUIT = 'Q',
  CMD_CHECKSUM = 'S',
  CMD_MODE = 'T',
  CMD_UPLOAD = 'U',
  CMD_IDLE = 'V',
  CMD_SETREG = 'W',
  CMD_GETBLOCK = 'X',
  CMD_SETBLOCK = 'Y',
  CMD_SRAM = 'g',
  CMD_MAP = 'h',
  CMD_SRAMQUERY = 'i',
  CMD_LOADMON = 'l',
  CMD_UPLOADBYTE = 'u',
  CMD_FILL = 'v',
};

// Reply waits (ReceiveByte counts), all in one place.
namespace reply_wait {
inline constexpr uint32_t kPack = 130;
inline constexpr uint32_t kDownloadByte = 100;  // 'D', 'g' 0xF1
inline constexpr uint32_t kGetMem = 55;
inline constexpr uint32_t kSetupQuery = 100;
inline constexpr uint32_t kRegister = 15;
inline constexpr uint32_t kKey = 30;
inline constexpr uint32_t kEcho = 6;  // 'L', 'l'
inline constexpr uint32_t kChecksumLow = 1000;
inline constexpr uint32_t kChecksumHigh = 100;
inline constexpr uint32_t kBlockByte = 15;  // 'X'
inline constexpr uint32_t kSramFill = 1000;
inline constexpr uint32_t kFill = 1000;
}  // namespace reply_wait

// Pauses after commands, in milliseconds.
namespace pause_ms {
inline constexpr uint16_t kSetup = 100;
inline constexpr uint16_t kCardStatus = 100;
inline constexpr uint16_t kQuit = 10;
inline constexpr uint16_t kSramData = 20;
inline constexpr uint16_t kMapCard = 15;
inline constexpr uint16_t kMapInternal = 10;
inline constexpr uint16_t kSramQuery = 100;
}  // namespace pause_ms

// Register numbers.
namespace reg {
inline constexpr uint8_t kDeviceStart[3] = {8, 9, 23};
inline constexpr uint8_t kBufferAddress[3] = {12, 13, 25};
inline constexpr uint8_t kCount[3] = {16, 17, 27};
inline constexpr uint8_t kErrorAddress[3] = {10, 11, 24};
inline constexpr uint8_t kIdCodes[4] = {22, 31, 86, 87};
inline constexpr uint8_t kSerialFuse = 2;
inline constexpr uint8_t kVoltages[4] = {88, 89, 90, 91};
inline constexpr uint8_t kConfigBytes[4] = {95, 96, 97, 98};
inline constexpr uint8_t kVerifyLevels[3] = {99, 100, 101};
}  // namespace reg

// Mode codes sent with 'T'.
inline constexpr uint8_t kModeOperationDialog = 6;
inline constexpr uint8_t kModeRegisterRun = 0x55;

// SRAM card functions of 'g'.
inline constexpr uint8_t kSramRead = 0xF1;
inline constexpr uint8_t kSramWrite = 0xF2;
inline constexpr uint8_t kSramChecksum = 0xF3;
inline constexpr uint8_t kSramFill = 0xF4;

// The Target Zone as the front end holds it.
struct TargetZone {
  uint32_t DeviceStart = 0;
  uint32_t DeviceEnd = 0;
  uint32_t BufferStart = 0;
};

// How an echoed download ended.
enum class EchoResult { Ok, LinkFailed, WrongEcho };

class Commands {
public:
  explicit Commands(ProgrammerLink& link) : link_(link), state_(link.State()) {}

  ProgrammerLink& Link() { return link_; }
  LinkState& State() { return state_; }

  // --- Framing ---
  // SendCommand(letter), then the parameter bytes; 0 or the framing status.
  int Command(uint8_t letter, std::span<const uint8_t> params = {});
  int Command(uint8_t letter, std::initializer_list<uint8_t> params) {
    return Command(letter, std::span<const uint8_t>(params.begin(), params.size()));
  }
  uint16_t Reply(uint32_t wait) { return link_.ReceiveByte(wait); }

  // --- One function per command (0 or the framing status) ---
  int Pack(uint16_t& reply);  // 'B'
  int Download() { return Command(CMD_DOWNLOAD); }  // 'D', then ReadAnswered
  int Pass() { return Command(CMD_PASS); }  // 'F'
  int GetMemory(uint16_t address, uint8_t count, uint8_t* out);  // 'G'; 1 also when a byte did not come
  int Setup();  // 'H' 1, 0x1A, 2; pause
  int QueryCardSize(uint16_t& reply);  // 'H' 0x7A, 0, 0xF0
  int QueryCardStatus(uint16_t& reply);  // 'H' 0x43, 0, 0xF0; pause
  int GetRegister(uint8_t number, uint16_t& reply);  // 'I'
  int Key(uint16_t& reply);  // 'J'
  int LoadDriverHeader(uint32_t n);  // 'L' count
  int Auto(bool start) { return Command(CMD_AUTO, {0, static_cast<uint8_t>(start ? 1 : 0)}); }  // 'N'
  int Operate(uint8_t code) { return Command(CMD_OPERATE, {code}); }  // 'P'
  int Quit();  // 'Q'; pause
  int Checksum(uint32_t start, uint32_t length, uint16_t& sum);  // 'S'; 1 also when a byte did not come
  int Mode(uint8_t code) { return Command(CMD_MODE, {code}); }  // 'T'
  int Upload() { return Command(CMD_UPLOAD); }  // 'U', then the bytes and a closing 0
  int Idle() { return Command(CMD_IDLE); }  // 'V'
  int SetRegister(uint8_t number, uint8_t value) { return Command(CMD_SETREG, {number, value}); }  // 'W'
  int GetBlock(const std::array<uint8_t, 5>& header) { return Command(CMD_GETBLOCK, header); }  // 'X'
  int SetBlock(const std::array<uint8_t, 5>& header) { return Command(CMD_SETBLOCK, header); }  // 'Y'
  int Sram(uint8_t function, uint32_t address, uint32_t count);  // 'g' header
  int Map(bool card);  // 'h'; pause
  int SramQuery();  // 'i'; pause
  int LoadMonitorHeader(uint32_t n);  // 'l' 0, 0xF0, count
  int UploadByte(uint8_t value) { return Command(CMD_UPLOADBYTE, {value}); }  // 'u'
  int Fill(uint8_t value, uint16_t& reply);  // 'v'

  // --- Data phases ---
  // n bytes from the programmer, each asked for with a 0 ('D', 'g' 0xF1):
  // byte by byte, the 0 sent and then the byte read with the reply wait, or
  // on USB (when usbBlocks) in blocks of up to 256 zeros written and read
  // back. 0 done / 1 a byte or block did not come; what came before it is in
  // out, and a block that failed leaves its part of out as it was.
  int ReadAnswered(uint8_t* out, std::size_t n, uint32_t wait, bool usbBlocks = true);
  // n bytes the programmer sends unasked, each answered with a 0 once read
  // ('X' and the tables): byte by byte, or on USB (when usbBlocks) as
  // ReadAnswered. A byte that does not come is still answered with a 0, and
  // ends the read with 1.
  int ReadThenAnswer(uint8_t* out, std::size_t n, uint32_t wait, bool usbBlocks = true);
  // n bytes to the programmer: byte by byte, or on USB (when usbBlocks) in
  // blocks of up to 256. 0 done / 1 a send failed.
  int WriteBytes(const uint8_t* data, std::size_t n, bool usbBlocks = true);
  // The image of 'L' and 'l': each byte echoed (COM, LPT: wait kEcho; USB:
  // blocks of up to 256 read back). progress(i) is called before byte i when
  // i is a multiple of 256.
  EchoResult EchoedDownload(std::span<const uint8_t> image, const std::function<void(std::size_t)>& progress = {});

  // --- Wrappers ---
  int EndOperation();  // 'F'; 0 sent, 1 link error
  int BeginOperation();  // 'V'; 0 sent, 1 link error
  int PollStartKey();  // 1 when the start key was pressed
  int PrepareOperation();  // 'T' 6; 1 sent, 0 link error
  int QuerySramCard();  // 'i'; 1 sent, 0 link error
  int MapSramCard();  // 'h' ... 0xE6; 0 sent, 1 link error
  int MapInternalBuffer();  // 'h' ... 0xF8; 0 sent, 1 link error
  int BeginAutoRun();  // 'N' 0, 1; 0 sent, 1 link error
  int EndAutoRun();  // 'N' 0, 0; 0 sent, 1 link error
  void SetTransferRange(const TargetZone& zone, uint32_t address, uint32_t count);
  int RestoreDeviceRange(const TargetZone& zone);  // 0 sent, 1 link error
  // 0 written; 1 (LinkStatus the framing status) when the 'T' or a register
  // write got no prompt answer: the programmer's range is then unknown, and
  // an erase or program over it must not go ahead.
  int SetWholeDeviceRange(uint32_t size);
  // ReadErrorAddress: registers 10, 11, 24; 0 with address set, or 1 (address
  // untouched) when a command could not be framed.
  int ReadErrorAddress(uint32_t& address);

private:
  // The parameter bytes after the command letter: 0, or 3 when one is not sent.
  int SendParams(std::span<const uint8_t> params);
  // Command, then its one reply byte when it was framed (reply 0 when not).
  int Ask(uint8_t letter, std::initializer_list<uint8_t> params, uint32_t wait, uint16_t& reply);
  void WriteRegisters(const uint8_t (&numbers)[3], uint32_t value);
  void WriteCount(const std::array<uint8_t, 3>& count);

  ProgrammerLink& link_;
  LinkState& state_;
};

}  // namespace zolvek
