#include "ide/ui/core/watch_model.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "ide/image/code_image.h"
#include "ide/image/ide_message.h"
#include "ide/ui/core/debugger.h"

namespace vx930 {

namespace {

constexpr std::size_t kListChunk = 16;

template <class... Args>
std::string Format(const char* format, Args... args) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

std::string FloatText(uint32_t bits) {
  const float f = std::bit_cast<float>(bits);
  if (std::isnan(f)) return "NAN";
  if (std::isinf(f)) return f < 0 ? "-INF" : "INF";
  return Format("%.15g", static_cast<double>(f));
}

bool IsNumeric(OmfTypeIndex type) {
  switch (type) {
    case OmfTypeIndex::tiChar:
    case OmfTypeIndex::tiUChar:
    case OmfTypeIndex::tiInt:
    case OmfTypeIndex::tiUInt:
    case OmfTypeIndex::tiLong:
    case OmfTypeIndex::tiULong:
    case OmfTypeIndex::tiFlatLitEdn:
    case OmfTypeIndex::tiDouble:
    case OmfTypeIndex::tiFloatBigEdn: return true;
    default: return false;
  }
}

// Internal RAM is 256 bytes; a variable running past its end wraps like the
// one-byte addresses of the list read do.
uint16_t InternalAddress(uint32_t a) { return static_cast<uint16_t>(a & 0xFF); }
uint16_t ExternalAddress(uint32_t a) { return static_cast<uint16_t>(a & 0xFFFF); }

// Direct addresses from 0x80 on are the special function registers; the
// host keeps their copy from the last halt. Indirect RAM there is other memory.
bool IsSfrAddress(MemorySpace space, uint32_t a) { return space == MemorySpace::DATA && InternalAddress(a) >= 0x80; }

bool NameGreater(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

int WatchValueSize(OmfTypeIndex type) {
  switch (type) {
    case OmfTypeIndex::tiInt:
    case OmfTypeIndex::tiUInt: return 2;
    case OmfTypeIndex::tiLong:
    case OmfTypeIndex::tiULong:
    case OmfTypeIndex::tiFlatLitEdn:
    case OmfTypeIndex::tiDouble:
    case OmfTypeIndex::tiFloatBigEdn: return 4;
    default: return 1;
  }
}

std::string WatchAddressText(MemorySpace space, uint16_t address) {
  const char* prefix = "N:";
  switch (space) {
    case MemorySpace::CODE: prefix = "C:"; break;
    case MemorySpace::XDATA: prefix = "X:"; break;
    case MemorySpace::DATA: prefix = "D:"; break;
    case MemorySpace::IDATA: prefix = "I:"; break;
    case MemorySpace::BIT: prefix = "B:"; break;
    default: break;
  }
  return Format("%s%02XH", prefix, static_cast<unsigned>(address));
}

std::string FormatWatchNumber(OmfTypeIndex type, const uint8_t* b, bool decimal) {
  auto word16 = [b] { return static_cast<uint32_t>(b[0]) << 8 | b[1]; };
  auto big32 = [b] {
    return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 | static_cast<uint32_t>(b[2]) << 8 |
           b[3];
  };
  auto little32 = [b] {
    return static_cast<uint32_t>(b[3]) << 24 | static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[1]) << 8 |
           b[0];
  };
  switch (type) {
    case OmfTypeIndex::tiChar: {
      std::string text = decimal ? Format("%d", static_cast<int>(static_cast<int8_t>(b[0])))
                                 : Format("0x%02X", static_cast<unsigned>(b[0]));
      if (b[0] >= 33 && b[0] <= 126) text += std::string(" '") + static_cast<char>(b[0]) + "'";
      return text;
    }
    case OmfTypeIndex::tiUChar:
      return decimal ? Format("%u", static_cast<unsigned>(b[0])) : Format("0x%02X", static_cast<unsigned>(b[0]));
    case OmfTypeIndex::tiInt:
      return decimal ? Format("%d", static_cast<int>(static_cast<int16_t>(word16()))) : Format("0x%04X", word16());
    case OmfTypeIndex::tiUInt: return decimal ? Format("%u", word16()) : Format("0x%04X", word16());
    case OmfTypeIndex::tiLong:
      return decimal ? Format("%ld", static_cast<long>(static_cast<int32_t>(big32()))) : Format("0x%08X", big32());
    case OmfTypeIndex::tiULong:
      return decimal ? Format("%lu", static_cast<unsigned long>(big32())) : Format("0x%08X", big32());
    case OmfTypeIndex::tiFlatLitEdn:
    case OmfTypeIndex::tiDouble: return decimal ? FloatText(little32()) : Format("0x%08X", little32());
    case OmfTypeIndex::tiFloatBigEdn:
      // The hex text shows the word as the little-endian floats do.
      return decimal ? FloatText(big32()) : Format("0x%08X", little32());
    default: return {};
  }
}

std::vector<std::string> WatchProcedureNames(const OmfModule* modules) {
  std::vector<std::string> names;
  for (const OmfModule* m = modules; m; m = m->Next)
    for (const OmfProcedure* p = m->Procs; p; p = p->Next) names.push_back(p->Name);
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string& a, const std::string& b) { return NameGreater(b, a); });
  return names;
}

void SortWatchRows(std::vector<WatchRow>& rows) {
  if (rows.size() < 2) return;
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (std::size_t j = i + 1; j < rows.size(); ++j)
      if (NameGreater(rows[i].name, rows[j].name)) std::swap(rows[i], rows[j]);
}

// ------------------------------------------------------------------ model

void WatchModel::Refresh(const OmfSymbol* globals, const OmfSymbol* locals) {
  globals_ = globals;
  locals_ = locals;
  inRAM_.clear();
  ex1k_.clear();
  ex64k_.clear();
  Collect(globals_);
  Collect(locals_);
  // A running target is not read: the rows say so until the next halt.
  readSkipped_ = target_.TargetRunning();
  if (readSkipped_ || !target_.Ice()) return;
  ReadCache(ex1k_, ListKind::Ex1k);
  ReadCache(ex64k_, ListKind::Ex64k);
  ReadCache(inRAM_, ListKind::InRAM);
}

void WatchModel::Detach() {
  globals_ = nullptr;
  locals_ = nullptr;
  inRAM_.clear();
  ex1k_.clear();
  ex64k_.clear();
  readSkipped_ = false;
}

void WatchModel::Collect(const OmfSymbol* list) {
  for (const OmfSymbol* s = list; s; s = s->Next) {
    const uint32_t a = s->Address;
    const int size = WatchValueSize(s->TypeIndex);
    switch (s->Space) {
      case MemorySpace::XDATA:
        for (int k = 0; k < size; ++k) {
          ex1k_[ExternalAddress(a + k)] = {};
          ex64k_[ExternalAddress(a + k)] = {};
        }
        break;
      case MemorySpace::DATA:
      case MemorySpace::IDATA:
        for (int k = 0; k < size; ++k)
          if (!IsSfrAddress(s->Space, a + k)) inRAM_[InternalAddress(a + k)] = {};
        break;
      case MemorySpace::BIT: inRAM_[InternalAddress(a >= 0x80 ? (a & 0xF8) : 0x20 + a / 8)] = {}; break;
      default: break;
    }
  }
}

void WatchModel::ReadCache(Cache& cache, ListKind kind) {
  IceCommands* ice = target_.Ice();
  auto it = cache.begin();
  while (it != cache.end()) {
    // The emulator must not touch external RAM while a MOVX is due.
    if (kind == ListKind::Ex64k && target_.IsPCAtMovx()) return;
    std::vector<Cache::iterator> chunk;
    std::vector<uint8_t> addresses;
    for (; it != cache.end() && chunk.size() < kListChunk; ++it) {
      chunk.push_back(it);
      if (kind != ListKind::InRAM) addresses.push_back(static_cast<uint8_t>(it->first >> 8));
      addresses.push_back(static_cast<uint8_t>(it->first));
    }
    std::vector<uint8_t> values(chunk.size(), 0);
    const int n = static_cast<int>(chunk.size());
    bool ok = false;
    switch (kind) {
      case ListKind::InRAM: ok = ice->RxInRAMList(addresses.data(), values.data(), n); break;
      case ListKind::Ex1k: ok = ice->Rx1kRAMList(addresses.data(), values.data(), n); break;
      case ListKind::Ex64k: ok = ice->RxExRAMList(addresses.data(), values.data(), n); break;
    }
    for (std::size_t k = 0; k < chunk.size(); ++k)
      chunk[k]->second = ok ? CachedByte{values[k], false, true} : CachedByte{0, true, true};
  }
}

WatchModel::ByteState WatchModel::ByteAt(MemorySpace space, uint32_t address, uint8_t& value) const {
  value = 0;
  if (IsSfrAddress(space, address))
    return target_.GetSFRValue(InternalAddress(address), value) ? ByteState::Valid : ByteState::Failed;
  const Cache* cache = &inRAM_;
  const char* missing = "Error Debug!! The InRAM element Not found";
  uint16_t key = InternalAddress(address);
  if (space == MemorySpace::XDATA) {
    key = ExternalAddress(address);
    cache = exRAM64k_ ? &ex64k_ : &ex1k_;
    missing = exRAM64k_ ? "Error Debug!! The Ex64kRAM element Not found" : "Error Debug!! The ExRAM element Not found";
  }
  const auto it = cache->find(key);
  if (it == cache->end()) {
    ShowIdeMessage(missing);
    value = 0;
    return ByteState::Valid;
  }
  value = it->second.value;
  if (!it->second.read) return ByteState::NotRead;
  return it->second.failed ? ByteState::Failed : ByteState::Valid;
}

std::string WatchModel::StateText(ByteState state) {
  return state == ByteState::NotRead ? kWatchNotReadText : kWatchReadErrorText;
}

std::string WatchModel::BitText(const OmfSymbol& s) const {
  if (readSkipped_) return kWatchRunningText;
  const uint32_t a = s.Address;
  uint8_t byte = 0;
  if (a < 0x80) {
    const ByteState state = ByteAt(MemorySpace::BIT, 0x20 + a / 8, byte);
    if (state != ByteState::Valid) return StateText(state);
  } else if (!target_.GetSFRValue(a & 0xF8, byte)) {
    return kWatchReadErrorText;
  }
  return (byte >> (a % 8)) & 1 ? "1" : "0";
}

std::string WatchModel::ValueText(const OmfSymbol& s) const {
  switch (s.TypeIndex) {
    case OmfTypeIndex::tiBit: return s.Space == MemorySpace::BIT ? BitText(s) : std::string();
    case OmfTypeIndex::tiCodeLabel: return "tiCodeLabel";
    case OmfTypeIndex::tiVoid: return "tiVoid";
    case OmfTypeIndex::tiOverFlow: return "tiOverFlow";
    default: break;
  }
  if (!IsNumeric(s.TypeIndex)) return WatchAddressText(s.Space, s.Address);

  const int size = WatchValueSize(s.TypeIndex);
  uint8_t bytes[4] = {0, 0, 0, 0};
  if (s.Space == MemorySpace::CODE) {
    // Only the bytes inside the image; a value running past its end reads 0 there.
    const uint32_t inImage = std::min<uint32_t>(static_cast<uint32_t>(size), kCodeSize - s.Address);
    if (!target_.GetCodeBytes(s.Address, bytes, inImage)) std::fill(bytes, bytes + 4, 0);
  } else {
    if (readSkipped_) return kWatchRunningText;
    bool failed = false;
    bool notRead = false;
    for (int k = 0; k < size; ++k) {
      const ByteState state = ByteAt(s.Space, static_cast<uint32_t>(s.Address) + k, bytes[k]);
      failed |= state == ByteState::Failed;
      notRead |= state == ByteState::NotRead;
    }
    if (notRead) return kWatchNotReadText;
    if (failed) return kWatchReadErrorText;
  }
  return FormatWatchNumber(s.TypeIndex, bytes, decimal_);
}

std::vector<WatchRow> WatchModel::Rows(const OmfSymbol* list) const {
  std::vector<WatchRow> rows;
  for (const OmfSymbol* s = list; s; s = s->Next) {
    if (static_cast<uint8_t>(s->Space) >= static_cast<uint8_t>(MemorySpace::NUMBER)) continue;
    WatchRow row;
    row.name = s->Name;
    row.address = WatchAddressText(s->Space, s->Address);
    row.value = ValueText(*s);
    rows.push_back(std::move(row));
  }
  SortWatchRows(rows);
  return rows;
}

}  // namespace vx930
