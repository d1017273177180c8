// The watch window's logic, without widgets: which target bytes the shown
// variables need, reading them from the emulator once per refresh, and the
// name, value and address text of each variable's row.
//
// Each distinct byte goes into one of three caches (internal RAM, the 1 KB
// RAM, the 64 KB external RAM; XDATA variables go into both external ones)
// and is read once per refresh, up to 16 addresses per list read. The
// settings (1K/64K, hex/decimal) only choose what is shown; they never cause
// a read. A DATA byte at 0x80 or above is a special function register: it
// shows the host's SFR copy of the last halt and is not read from indirect
// RAM, which there holds other bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ide/image/omf_model.h"
#include "ide/ui/core/watch_target.h"

namespace vx930 {

// The value column of a variable in target memory while the target runs.
inline constexpr const char* kWatchRunningText = "ICE Running";
// The value column of a variable whose bytes the emulator failed to send,
// or of a bit or DATA byte whose SFR the IDE does not keep.
inline constexpr const char* kWatchReadErrorText = "Read Error";
// The value column of a variable whose bytes were not asked for at the last
// refresh (no link, or external RAM while a MOVX is due): a zero there would
// pass for the variable's value.
inline constexpr const char* kWatchNotReadText = "Not Read";

struct WatchRow {
  std::string name;  // column 0 "Name"
  std::string value;  // column 1 "Value"
  std::string address;  // column 2 "Type"
  bool operator==(const WatchRow&) const = default;
};

// Bytes a variable of the type occupies: 2 for the ints, 4 for the longs and
// floats, else 1.
int WatchValueSize(OmfTypeIndex type);
// "D:30H": the space letter, the address in at least two hex digits, "H".
std::string WatchAddressText(MemorySpace space, uint16_t address);
// The value text of a numeric type (tiChar .. tiULong, the floats) from its
// bytes b0, b1, ... as they lie in memory (WatchValueSize of them).
std::string FormatWatchNumber(OmfTypeIndex type, const uint8_t* bytes, bool decimal);
// Every procedure name of every module, ordered case-insensitively.
std::vector<std::string> WatchProcedureNames(const OmfModule* modules);
// Rows ordered by name, case-insensitively, by the grid's exchange sort.
void SortWatchRows(std::vector<WatchRow>& rows);

class WatchModel {
public:
  explicit WatchModel(WatchTarget& target) : target_(target) {}

  // Keeps both lists (either may be null), enters the bytes their variables
  // need into the caches and reads them, unless the target runs.
  void Refresh(const OmfSymbol* globals, const OmfSymbol* locals);
  // Drops the lists and the caches (the OMF records are about to go).
  void Detach();

  // XDATA variables show the 64 KB external RAM (true) or the 1 KB RAM.
  void SetExRAM64k(bool on) { exRAM64k_ = on; }
  bool ExRAM64k() const { return exRAM64k_; }
  void SetDecimal(bool on) { decimal_ = on; }
  bool Decimal() const { return decimal_; }

  // The rows of the variables in memory (CODE to BIT), sorted by name. A byte
  // missing from its cache shows a message and reads as 0; one not read shows
  // kWatchNotReadText.
  std::vector<WatchRow> GlobalRows() const { return Rows(globals_); }
  std::vector<WatchRow> LocalRows() const { return Rows(locals_); }

  const OmfSymbol* Globals() const { return globals_; }
  const OmfSymbol* Locals() const { return locals_; }

  struct CachedByte {
    uint8_t value = 0;
    bool failed = false;  // its list read failed
    bool read = false;  // a list read answered for it since the refresh
  };
  using Cache = std::map<uint16_t, CachedByte>;
  const Cache& InRAMCache() const { return inRAM_; }
  const Cache& Ex1kCache() const { return ex1k_; }
  const Cache& Ex64kCache() const { return ex64k_; }

private:
  enum class ListKind { InRAM, Ex1k, Ex64k };

  void Collect(const OmfSymbol* list);
  void ReadCache(Cache& cache, ListKind kind);
  std::vector<WatchRow> Rows(const OmfSymbol* list) const;
  std::string ValueText(const OmfSymbol& symbol) const;
  std::string BitText(const OmfSymbol& symbol) const;
  enum class ByteState { Valid, Failed, NotRead };
  // The byte at address of the symbol's space.
  ByteState ByteAt(MemorySpace space, uint32_t address, uint8_t& value) const;
  static std::string StateText(ByteState state);

  WatchTarget& target_;
  const OmfSymbol* globals_ = nullptr;
  const OmfSymbol* locals_ = nullptr;
  Cache inRAM_;
  Cache ex1k_;
  Cache ex64k_;
  bool readSkipped_ = false;  // the last refresh came while the target ran
  bool exRAM64k_ = false;
  bool decimal_ = false;
};

}  // namespace vx930
