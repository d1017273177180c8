// Reads what SDCC's linker says a program is: the relocated listing (.rst)
// gives every instruction's address, bytes, mnemonic and operand text; the
// map (.map) the addresses of library routines. Operands are evaluated to
// values so they can be compared with the disassembler's notation.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vx930::test {

struct RstInstruction {
  int32_t address = 0;
  std::vector<uint8_t> bytes;
  std::string mnemonic;  // upper case
  std::vector<std::string> operands;  // as written, trimmed
  int scope = 0;  // for local labels (nnnnn$)
  int sourceLine = 0;  // line of the .rst, for messages
};

// An operand reduced to what it means: a register word, an immediate, a
// complemented bit or a plain value (direct address, bit address or target).
struct Operand {
  enum Kind { Register, Immediate, NotBit, Value } kind = Value;
  std::string reg;  // Register: upper case ("A", "@R0", "DPTR")
  int64_t value = 0;  // the others
  bool operator==(const Operand&) const = default;
};

class RstProgram {
public:
  // Reads NAME.rst and NAME.map; false with a reason in error().
  bool Load(const std::string& rstPath, const std::string& mapPath);

  const std::vector<RstInstruction>& Instructions() const { return instructions_; }
  const std::string& error() const { return error_; }

  // The meaning of one of SDCC's operands, or nullopt (with error()) when it
  // uses a symbol or syntax this reader does not know.
  std::optional<Operand> Evaluate(const RstInstruction& at, const std::string& text);

private:
  std::optional<int64_t> Symbol(const RstInstruction& at, const std::string& name) const;
  std::optional<int64_t> Expression(const RstInstruction& at, const std::string& text);

  std::vector<RstInstruction> instructions_;
  std::map<std::string, int64_t> globals_;
  std::map<std::pair<int, std::string>, int64_t> locals_;
  std::string error_;
};

// The meaning of one operand of the disassembler's text ("#12H", "P1.0",
// "RI(SCON.0)", "21.3H", "0F23H", "/CY(PSW.7)", "R7"), or nullopt.
std::optional<Operand> ParseListingOperand(const std::string& text);

// Splits an operand list at the commas that are outside parentheses.
std::vector<std::string> SplitOperands(const std::string& text);

}  // namespace vx930::test
