#include "sdcc_rst.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <functional>

namespace vx930::test {

namespace {

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  const auto e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The standard 8051 byte registers, written here independently of the
// disassembler's own tables so the comparison checks them.
const std::map<std::string, int64_t>& StandardSfrs() {
  static const std::map<std::string, int64_t> sfrs{
      {"P0", 0x80},  {"SP", 0x81},  {"DPL", 0x82}, {"DPH", 0x83}, {"PCON", 0x87},  {"TCON", 0x88},   {"TMOD", 0x89},
      {"TL0", 0x8A}, {"TL1", 0x8B}, {"TH0", 0x8C}, {"TH1", 0x8D}, {"P1", 0x90},    {"SCON", 0x98},   {"SBUF", 0x99},
      {"P2", 0xA0},  {"IE", 0xA8},  {"P3", 0xB0},  {"IP", 0xB8},  {"T2CON", 0xC8}, {"RCAP2L", 0xCA}, {"RCAP2H", 0xCB},
      {"TL2", 0xCC}, {"TH2", 0xCD}, {"PSW", 0xD0}, {"ACC", 0xE0}, {"B", 0xF0}};
  return sfrs;
}

bool IsRegisterWord(const std::string& upper) {
  static const char* const kWords[] = {"A",  "C",  "AB", "DPTR", "@DPTR", "@A+DPTR", "@A+PC", "R0", "R1",
                                       "R2", "R3", "R4", "R5",   "R6",    "R7",      "@R0",   "@R1"};
  return std::find(std::begin(kWords), std::end(kWords), upper) != std::end(kWords);
}

std::optional<int64_t> HexWithSuffix(const std::string& s) {
  if (s.size() < 2 || s.back() != 'H') return std::nullopt;
  int64_t v = 0;
  for (std::size_t i = 0; i + 1 < s.size(); ++i) {
    const char c = s[i];
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    v = v * 16 + (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10);
  }
  return v;
}

// A bit address from a byte and a bit number: RAM bytes 0x20..0x2F hold bits
// 0..0x7F, SFRs at multiples of 8 hold bits at their own address.
std::optional<int64_t> BitOf(int64_t byte, int bit) {
  if (bit < 0 || bit > 7) return std::nullopt;
  if (byte >= 0x20 && byte <= 0x2F) return (byte - 0x20) * 8 + bit;
  if (byte >= 0x80 && byte % 8 == 0) return byte + bit;
  return std::nullopt;
}

std::optional<int64_t> ListingBit(const std::string& text) {
  // "RI(SCON.0)": the register and bit in parentheses
  const auto open = text.find('(');
  if (open != std::string::npos && text.back() == ')') return ListingBit(text.substr(open + 1, text.size() - open - 2));
  const auto dot = text.find('.');
  if (dot == std::string::npos) return std::nullopt;
  std::string byteText = text.substr(0, dot);
  std::string bitText = text.substr(dot + 1);
  if (!bitText.empty() && bitText.back() == 'H') {  // "21.3H"
    bitText.pop_back();
    byteText += 'H';
  }
  if (bitText.size() != 1 || !std::isdigit(static_cast<unsigned char>(bitText[0]))) return std::nullopt;
  std::optional<int64_t> byte = HexWithSuffix(byteText);
  if (!byte) {
    const auto it = StandardSfrs().find(byteText);
    if (it == StandardSfrs().end()) return std::nullopt;
    byte = it->second;
  }
  return BitOf(*byte, bitText[0] - '0');
}

// "0F23H", "START(0003H)", "COUNT(30H)", "P1", "P1.0", "21.3H"
std::optional<int64_t> ListingValue(const std::string& text) {
  if (auto v = HexWithSuffix(text)) return v;
  const auto open = text.find('(');
  if (open != std::string::npos && text.back() == ')') {
    const std::string inner = text.substr(open + 1, text.size() - open - 2);
    if (auto v = HexWithSuffix(inner)) return v;
  }
  if (text.find('.') != std::string::npos) return ListingBit(text);
  const auto it = StandardSfrs().find(text);
  if (it != StandardSfrs().end()) return it->second;
  return std::nullopt;
}

// Tokens of an assembler expression.
struct Lexer {
  const std::string& s;
  std::size_t pos = 0;
  void Skip() {
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
  }
  bool Eat(const char* op) {
    Skip();
    const std::size_t n = std::char_traits<char>::length(op);
    if (s.compare(pos, n, op) == 0) {
      pos += n;
      return true;
    }
    return false;
  }
};

}  // namespace

std::vector<std::string> SplitOperands(const std::string& text) {
  std::vector<std::string> out;
  int depth = 0;
  std::string cur;
  for (char c : text) {
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (c == ',' && depth == 0) {
      out.push_back(Trim(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!Trim(cur).empty() || !out.empty()) out.push_back(Trim(cur));
  return out;
}

namespace {

// Cursor over one line of a listing or map.
struct Scan {
  const std::string& s;
  std::size_t pos = 0;
  std::size_t Spaces() {
    const std::size_t from = pos;
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
    return pos - from;
  }
  // Exactly n upper-case hex digits.
  bool Hex(std::size_t n, int64_t& value) {
    if (s.size() - pos < n) return false;
    value = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const char c = s[pos + i];
      if (!std::isdigit(static_cast<unsigned char>(c)) && !(c >= 'A' && c <= 'F')) return false;
      value = value * 16 + (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c - 'A' + 10);
    }
    pos += n;
    return true;
  }
  bool Digits() {
    const std::size_t from = pos;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) ++pos;
    return pos > from;
  }
  std::string Rest() const { return s.substr(pos); }
};

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '$'; }

// "name:" or "name::", with nothing but a comment after it.
bool LabelName(const std::string& source, std::string& name) {
  std::size_t i = 0;
  while (i < source.size() && IsNameChar(source[i])) ++i;
  if (i == 0 || i >= source.size() || source[i] != ':') return false;
  name = source.substr(0, i);
  std::size_t j = i + 1;
  if (j < source.size() && source[j] == ':') ++j;
  const std::string rest = Trim(source.substr(j));
  return rest.empty() || rest[0] == ';';
}

// "name = value"
bool AssignedName(const std::string& source, std::string& name) {
  std::size_t i = 0;
  while (i < source.size() && IsNameChar(source[i])) ++i;
  if (i == 0) return false;
  std::size_t j = i;
  while (j < source.size() && (source[j] == ' ' || source[j] == '\t')) ++j;
  if (j >= source.size() || source[j] != '=') return false;
  name = source.substr(0, i);
  return true;
}

}  // namespace

bool RstProgram::Load(const std::string& rstPath, const std::string& mapPath) {
  std::ifstream rst(rstPath);
  if (!rst) {
    error_ = "cannot read " + rstPath;
    return false;
  }
  std::string line;
  int scope = 0;
  int number = 0;
  while (std::getline(rst, line)) {
    ++number;
    Scan scan{line};
    int64_t address = 0;
    if (scan.Spaces() == 0 || !scan.Hex(6, address)) continue;
    const std::size_t afterAddress = scan.pos;

    // An instruction: address, bytes, [cycles], line number, source.
    RstInstruction in;
    while (scan.Spaces() == 1) {
      int64_t byte = 0;
      const std::size_t at = scan.pos;
      if (!scan.Hex(2, byte)) {
        scan.pos = at;
        break;
      }
      in.bytes.push_back(static_cast<uint8_t>(byte));
    }
    scan.Spaces();
    if (!in.bytes.empty() && scan.pos < line.size() && line[scan.pos] == '[') {
      const std::size_t close = line.find(']', scan.pos);
      if (close == std::string::npos) continue;
      scan.pos = close + 1;
      scan.Spaces();
      if (!scan.Digits() || scan.Spaces() == 0) continue;
      std::string source = scan.Rest();
      source = Trim(source.substr(0, source.find(';')));
      const auto space = source.find_first_of(" \t");
      in.address = static_cast<int32_t>(address);
      in.mnemonic = Upper(source.substr(0, space));
      if (space != std::string::npos) in.operands = SplitOperands(source.substr(space));
      in.scope = scope;
      in.sourceLine = number;
      instructions_.push_back(in);
      continue;
    }

    // A label or an assignment: value, line number, source.
    scan.pos = afterAddress;
    if (scan.Spaces() == 0 || !scan.Digits() || scan.Spaces() == 0) continue;
    const std::string source = Trim(scan.Rest());
    std::string name;
    if (LabelName(source, name)) {
      if (name.back() == '$') {
        locals_[{scope, name}] = address;
      } else {
        ++scope;  // a plain label opens a new scope for local labels
        globals_[name] = address;
      }
    } else if (AssignedName(source, name)) {
      globals_[name] = address;
    }
  }

  std::ifstream map(mapPath);
  if (!map) {
    error_ = "cannot read " + mapPath;
    return false;
  }
  // "C:   00000062  _square ..." or "     0000000C  __mullong_PARM_2 ..."
  while (std::getline(map, line)) {
    Scan scan{line};
    std::size_t indent = scan.Spaces();
    if (scan.pos + 1 < line.size() && std::isalpha(static_cast<unsigned char>(line[scan.pos])) &&
        line[scan.pos + 1] == ':') {
      scan.pos += 2;
      indent = scan.Spaces();
    }
    int64_t value = 0;
    if (indent == 0 || !scan.Hex(8, value) || scan.Spaces() == 0) continue;
    std::size_t end = scan.pos;
    if (end >= line.size() || !(std::isalpha(static_cast<unsigned char>(line[end])) || line[end] == '_')) continue;
    while (end < line.size() && IsNameChar(line[end])) ++end;
    globals_.emplace(line.substr(scan.pos, end - scan.pos), value);
  }
  if (instructions_.empty()) {
    error_ = "no instructions in " + rstPath;
    return false;
  }
  return true;
}

std::optional<int64_t> RstProgram::Symbol(const RstInstruction& at, const std::string& name) const {
  if (name.back() == '$') {
    const auto it = locals_.find({at.scope, name});
    if (it != locals_.end()) return it->second;
    return std::nullopt;
  }
  if (const auto it = globals_.find(name); it != globals_.end()) return it->second;
  if (const auto it = StandardSfrs().find(Upper(name)); it != StandardSfrs().end()) return it->second;
  return std::nullopt;
}

std::optional<int64_t> RstProgram::Expression(const RstInstruction& at, const std::string& text) {
  Lexer lex{text};
  bool failed = false;
  auto fail = [&](const std::string& why) {
    if (!failed) error_ = "line " + std::to_string(at.sourceLine) + ": " + why + " in '" + text + "'";
    failed = true;
    return int64_t{0};
  };
  // Recursive descent, loosest binding first.
  std::function<int64_t(int)> binary;
  std::function<int64_t()> unary = [&]() -> int64_t {
    if (lex.Eat("-")) return -unary();
    if (lex.Eat("~")) return ~unary();
    if (lex.Eat("<")) return unary() & 0xFF;  // low byte
    if (lex.Eat(">")) return (unary() >> 8) & 0xFF;  // high byte
    if (lex.Eat("(")) {
      const int64_t v = binary(0);
      if (!lex.Eat(")")) return fail("missing )");
      return v;
    }
    lex.Skip();
    const std::size_t start = lex.pos;
    while (lex.pos < text.size() && (std::isalnum(static_cast<unsigned char>(text[lex.pos])) || text[lex.pos] == '_' ||
                                     text[lex.pos] == '$' || text[lex.pos] == '.'))
      ++lex.pos;
    const std::string word = text.substr(start, lex.pos - start);
    if (word.empty()) return fail("expected a value");
    if (word == ".") return at.address;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X'))
      return std::stoll(word.substr(2), nullptr, 16);
    if (std::all_of(word.begin(), word.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
      return std::stoll(word);
    if (auto v = Symbol(at, word)) return *v;
    return fail("unknown symbol " + word);
  };
  static const std::vector<std::vector<const char*>> kLevels{{"|"}, {"^"}, {"&"}, {"<<", ">>"}, {"+", "-"}, {"*", "/"}};
  binary = [&](int level) -> int64_t {
    if (level == static_cast<int>(kLevels.size())) return unary();
    int64_t v = binary(level + 1);
    for (;;) {
      const char* matched = nullptr;
      for (const char* op : kLevels[static_cast<std::size_t>(level)])
        if (lex.Eat(op)) {
          matched = op;
          break;
        }
      if (!matched) return v;
      const int64_t r = binary(level + 1);
      const std::string op = matched;
      if (op == "|")
        v |= r;
      else if (op == "^")
        v ^= r;
      else if (op == "&")
        v &= r;
      else if (op == "<<")
        v <<= r;
      else if (op == ">>")
        v >>= r;
      else if (op == "+")
        v += r;
      else if (op == "-")
        v -= r;
      else if (op == "*")
        v *= r;
      else if (r != 0)
        v /= r;
    }
  };
  const int64_t v = binary(0);
  lex.Skip();
  if (lex.pos != text.size()) fail("trailing text");
  if (failed) return std::nullopt;
  return v;
}

std::optional<Operand> RstProgram::Evaluate(const RstInstruction& at, const std::string& text) {
  const std::string upper = Upper(text);
  if (IsRegisterWord(upper)) return Operand{Operand::Register, upper, 0};
  if (!text.empty() && text[0] == '#') {
    auto v = Expression(at, text.substr(1));
    if (!v) return std::nullopt;
    return Operand{Operand::Immediate, "", *v};
  }
  bool negated = false;
  std::string rest = text;
  if (!rest.empty() && rest[0] == '/') {
    negated = true;
    rest = rest.substr(1);
  }
  // "acc.7": bit 7 of a byte register
  std::optional<int64_t> v;
  const std::size_t n = rest.size();
  if (n >= 3 && rest[n - 2] == '.' && rest[n - 1] >= '0' && rest[n - 1] <= '7' && rest[n - 3] != '.' &&
      !std::isspace(static_cast<unsigned char>(rest[n - 3]))) {
    const auto byte = Expression(at, rest.substr(0, n - 2));
    if (!byte) return std::nullopt;
    v = BitOf(*byte, rest[n - 1] - '0');
    if (!v) {
      error_ = "line " + std::to_string(at.sourceLine) + ": not a bit-addressable byte in '" + text + "'";
      return std::nullopt;
    }
  } else {
    v = Expression(at, rest);
    if (!v) return std::nullopt;
  }
  return Operand{negated ? Operand::NotBit : Operand::Value, "", *v};
}

std::optional<Operand> ParseListingOperand(const std::string& text) {
  if (IsRegisterWord(text)) return Operand{Operand::Register, text, 0};
  if (text.empty() || text == "XXXX") return std::nullopt;
  if (text[0] == '#') {
    auto v = ListingValue(text.substr(1));
    if (!v) return std::nullopt;
    return Operand{Operand::Immediate, "", *v};
  }
  if (text[0] == '/') {
    auto v = ListingBit(text.substr(1));
    if (!v) return std::nullopt;
    return Operand{Operand::NotBit, "", *v};
  }
  auto v = ListingValue(text);
  if (!v) return std::nullopt;
  return Operand{Operand::Value, "", *v};
}

}  // namespace vx930::test
