// CDecodeHex: the IDE's view of one program's code memory. It never owns the
// 64 KB image; it owns what it derives from it: the instruction-start map, the
// symbol and label maps and the disassembly listing with its line maps.
//
// Two uses:
//  - full decoder (built with an image): LoadHexFile fills the image from an
//    Intel HEX file, reads the ".SYM" file beside it, marks instruction starts
//    and builds the listing;
//  - line decoder (default-built, bound later by SetImage): no file, no
//    listing; it disassembles single lines and answers the length, branch and
//    call queries. Until it is bound it reads every byte as erased (0xFF).
//
// Addresses are 0..0xFFFF unless said otherwise. Nothing here reads or writes
// outside the image: an instruction that would run past 0xFFFF is shown with
// "???" for its missing bytes and has no target.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ide/image/code_image.h"
#include "ide/image/sfr_table.h"
#include "ide/image/string_list.h"

namespace vx930 {

class LineWriter;

// Address to name. Several names may share an address; every lookup takes the
// first one inserted.
using symbolmap = std::multimap<int32_t, std::string>;

// The host copies of the target's state that the next-PC analysis reads for a
// RET: the SFR block in SFRTable image order and the internal RAM.
struct TargetImages {
  std::span<const uint8_t, SFRCount> SFRImage;
  std::span<const uint8_t, 256> InRAMImage;
};

class CDecodeHex {
public:
  // Full decoder over the image: empty maps, empty listing, then ClearImage.
  // Shows "Allocate Memory Failed!! -- cHead[]" and rethrows std::bad_alloc
  // when its tables cannot be allocated.
  explicit CDecodeHex(CodeImage* image);
  // Line decoder: no image yet, no listing, every address marked a start.
  CDecodeHex();
  ~CDecodeHex();
  CDecodeHex(const CDecodeHex&) = delete;
  CDecodeHex& operator=(const CDecodeHex&) = delete;

  // Binds the image; nothing else changes.
  void SetImage(CodeImage* image);
  // Image := 0xFF everywhere, then every address marked a start. The maps
  // and the listing keep their contents.
  void ClearImage();
  // Empties Symbols and Labels.
  void ClearSymbols();

  // Reads an Intel HEX file (16-bit addresses, CR LF or LF line ends) into
  // the image, then the symbol file, the linear start marking and the
  // listing. True when the file was read to its end or to an end record
  // without a format error. Records of types 02 to 05 hold no code and are
  // skipped; a non-zero extended address (02, 04) fails the load with nothing
  // after it stored, and so does a byte whose address passes 0xFFFF (dropped).
  // Checksums are not checked, but each record must end in its two checksum
  // digits and then CR LF, LF or the end of the file: a line a character
  // short or long fails the load. A file that cannot be opened returns false
  // with the image cleared, no symbols and the listing untouched; on every
  // other path the tail steps run whatever the result. A line decoder
  // returns false and touches nothing.
  bool LoadHexFile(const std::string& path);
  // LoadHexFile without the listing, which is left as it was: for callers
  // that list later or only sometimes (the listing of 64 K lines is most of
  // a load's time). NotOpened where LoadHexFile returns false untouched or
  // with only the image cleared; Good and Bad for its true and false.
  enum class HexRead { NotOpened, Good, Bad };
  HexRead ReadHexFile(const std::string& path);

  // The ".SYM" file beside a HEX file: the extension of the file name (from
  // its last ".") replaced by ".SYM", or ".SYM" appended when it has none;
  // ".sym" when only that one exists.
  static std::string SymbolFileName(const std::string& hexPath);
  static bool SymbolFileExists(const std::string& hexPath);
  // When the symbol file exists: ReadSymbolFile, then BuildLabels.
  void LoadSymbolFile(const std::string& hexPath);
  // Reads the symbol file's blocks into Symbols. Any field that runs past the
  // file, and a missing 0xFE magic, show "Symbol File Format Error!!" and end
  // the read; the symbols read before stay.
  void ReadSymbolFile(const std::string& hexPath);
  // Reads one block body (address width, then name/address records) into
  // Symbols. An address above 0xFFFF shows "Address out of range" and skips
  // the rest of the block (returns true); an empty body, a width above 4 or a
  // record running past the body shows "Symbol File Format Error!!" and
  // returns false.
  bool ReadSymbolBlock(const uint8_t* body, uint32_t length);
  // The label pass: moves the first symbol at every branch, jump or call
  // target of an instruction start into Labels.
  void BuildLabels();

  // OpcodeTable length of the opcode at the address.
  int32_t GetInstLength(int32_t address) const;
  // Marks an instruction at the address in StartMap and returns the address
  // after it; returns 0x10000 and marks nothing when it would reach the top.
  int32_t MarkInstruction(int32_t address, uint8_t opcode);
  // Marks starts linearly over the whole image from address 0.
  void MarkAllStarts();

  // One instruction line: address, byte columns, mnemonic, operands.
  std::string DisasmLine(int32_t address) const;
  // The operand text of the instruction at the address from its pattern.
  std::string DecodeOperands(std::string_view pattern, int32_t length, int32_t address) const;
  // Direct byte address and bit address texts.
  std::string GetDirAdd(uint8_t direct) const;
  std::string GetBitAdd(uint8_t bit) const;
  // Rebuilds Listing, LineMap and AddrLineTable from the image, StartMap and
  // Labels. Full decoders only.
  void BuildListing();

  // The possible next program counters of the instruction starting at or
  // before the address (see the table in next_pc.cpp); target supplies the
  // stack for a RET. Results are not wrapped to 16 bits. An instruction cut
  // by the top of memory counts as a plain one: next = other = its end.
  void GetNextPC(int32_t address, const TargetImages& target, int32_t& next, uint8_t& callFlag, int32_t& other) const;
  // The first relative branch or absolute jump, or the first call, in
  // [start, end), walking by instruction length from start (not by the start
  // marks) and never past 0xFFFF; -1 when none.
  int32_t FindNextBranch(int32_t start, int32_t end) const;
  int32_t FindNextCall(int32_t start, int32_t end) const;
  // The same walk for the first RET, RETI or JMP @A+DPTR: instructions whose
  // destination the code alone does not tell, which FindNextBranch leaves out.
  int32_t FindNextReturn(int32_t start, int32_t end) const;
  // The address an ACALL or LCALL calls; -1 when the call runs past 0xFFFF.
  int32_t GetCallTarget(int32_t address) const;

  // Number of listing lines (0 before a listing was built, always 0 for a
  // line decoder).
  uint32_t GetLineCount() const { return static_cast<uint32_t>(lineMap_.size()); }
  // The address a 0-based listing line shows; -1 for a label line and for
  // any line not below GetLineCount.
  int32_t LineToAddress(int32_t line) const;
  // The 0-based listing line that shows the address (0 before a listing).
  int32_t AddressToLine(int32_t address) const;

  const CodeImage* Image() const { return image_; }
  // The disassembly, one line per instruction or label; null in a line decoder.
  const StringList* Listing() const { return listing_.get(); }
  // Line number (the index) to the address it shows, -1 for a label line.
  const std::vector<int32_t>& LineMap() const { return lineMap_; }
  const std::vector<int32_t>& AddrLineTable() const { return addrLineTable_; }
  // Per address: 1 where an instruction starts, 0 for an operand byte.
  const std::vector<uint8_t>& StartMap() const { return startMap_; }
  const symbolmap& Symbols() const { return symbols_; }
  const symbolmap& Labels() const { return labels_; }

private:
  const CodeImage& Code() const;
  // The record loop of LoadHexFile over the file's bytes.
  bool ReadHexRecords(std::span<const uint8_t> text);
  // Appends the line for the instruction at a to out; bytes is how many of
  // its bytes to show (fewer than its length makes an overlap line).
  void FormatInstruction(LineWriter& out, int32_t a, int32_t bytes) const;
  void FormatOperands(LineWriter& out, std::string_view pattern, int32_t length, int32_t a) const;
  void AppendDirAdd(LineWriter& out, uint8_t direct) const;
  void AppendBitAdd(LineWriter& out, uint8_t bit) const;
  void MoveSymbolToLabel(int32_t target);
  // Bytes of the instruction at a that lie inside the image (1..length).
  int32_t BytesInImage(int32_t a) const;
  enum class Seek { Branch, Call, Return };
  int32_t FindNext(int32_t start, int32_t end, Seek seek) const;

  std::vector<int32_t> lineMap_;
  std::vector<int32_t> addrLineTable_;
  std::vector<uint8_t> startMap_;
  CodeImage* image_ = nullptr;
  std::unique_ptr<StringList> listing_;
  symbolmap symbols_;
  symbolmap labels_;
};

}  // namespace vx930
