// DecodeOmf: what the IDE knows about a program read from an OMF absolute
// object file: its 64 KB code image and its debug records.
//
// Filled once by ReadOmf, then only read. The object owns every record; the
// pointers handed out (GetModules, GetPublics, GetImage, FindProcedure and the
// links inside the records) are valid until it is deleted. A DecodeOmf is
// never reused for a second file.
#pragma once

#include <cstdint>
#include <deque>
#include <istream>
#include <memory>
#include <span>
#include <string>

#include "ide/image/code_image.h"
#include "ide/image/omf_model.h"

namespace vx930 {

class DecodeOmf {
public:
  // Image all 0xFF, no records.
  DecodeOmf();
  DecodeOmf(const DecodeOmf&) = delete;
  DecodeOmf& operator=(const DecodeOmf&) = delete;

  // Reads a whole file from the stream's current position, which must be its
  // start. True when the file begins with record type 0x70, every record is
  // complete and long enough for its fields, and Validate accepts the result.
  // A record ends where its length says, except a line-number record whose
  // entry bytes are not a multiple of 5: it is read one entry further (a
  // spare entry, never consulted) and then its checksum is skipped, so it
  // ends 5 - (entry bytes mod 5) bytes past its length.
  // On false the records read so far are kept (the caller discards the object).
  bool ReadOmf(std::istream& in);

  const OmfModule* GetModules() const { return moduleHead_; }
  const OmfSymbol* GetPublics() const { return publicHead_; }
  CodeImage* GetImage() { return image_.get(); }
  const CodeImage* GetImage() const { return image_.get(); }

  // The first procedure, modules and procedures in file order, with
  // LoAddr <= address <= HiAddr; null when none.
  const OmfProcedure* FindProcedure(uint32_t address) const;

  // False when there is no module, or a procedure never received content
  // (LoAddr and HiAddr both 0).
  bool Validate() const;

private:
  using Bytes = std::span<const uint8_t>;

  // Record handlers; each gets the record's body (checksum included) and
  // returns false when the body is too short for the fields it must hold.
  bool ReadContent(Bytes body);
  bool ReadScope(Bytes body);
  bool ReadDebugItems(Bytes body);
  bool ReadModuleName(Bytes body);
  bool ReadTypeRecord(Bytes body);
  // Debug-item readers; they get the entry bytes as the length gives them
  // (checksum excluded) and read whole entries only. A trailing partial
  // symbol entry is ignored; a trailing partial line entry is the start of a
  // spare entry whose rest ReadOmf passes over with the checksum.
  void ReadLineNumbers(Bytes entries);
  void ReadPublicSymbols(Bytes entries);
  void ReadLocalSymbols(Bytes entries);

  void AddModule(std::string name);
  void AddProcedure(std::string name);
  void ExtendProcRange(uint32_t start, uint32_t end);

  // An allocation of its own, exactly 64 KB: a write past it is caught by
  // the address sanitizer instead of landing in the members below.
  std::unique_ptr<CodeImage> image_ = std::make_unique<CodeImage>();

  // Storage of every record; deques keep the records in place as they grow,
  // so the links between them stay valid.
  std::deque<OmfModule> modules_;
  std::deque<OmfProcedure> procedures_;
  std::deque<OmfLineBlock> lineBlocks_;
  std::deque<OmfSymbol> symbols_;
  std::deque<OmfTypeRecord> typeRecords_;

  OmfProcedure* current_ = nullptr;  // most recently created; never cleared once set
  OmfModule* moduleHead_ = nullptr;
  OmfModule* moduleTail_ = nullptr;
  OmfLineBlock* lineTail_ = nullptr;  // block most recently appended to any procedure
  OmfSymbol* publicHead_ = nullptr;
  OmfSymbol* publicTail_ = nullptr;
  OmfSymbol* localTail_ = nullptr;  // local most recently appended
  OmfTypeRecord* typeTail_ = nullptr;
  bool insideProc_ = false;  // between a procedure-begin and the next procedure-end
};

}  // namespace vx930
