#include "trace_file.h"

#include <sstream>

namespace {

constexpr char BLANKS[] = " \t\r";

int HexDigit(char Character) {
  if (Character >= '0' && Character <= '9') {
    return Character - '0';
  }
  if (Character >= 'a' && Character <= 'f') {
    return Character - 'a' + 10;
  }
  if (Character >= 'A' && Character <= 'F') {
    return Character - 'A' + 10;
  }
  return -1;
}

// "0x" and 1 to MaxDigits hex digits, the whole word.
bool ParseHex(const std::string &Word, size_t MaxDigits, unsigned *Value) {
  if (Word.size() < 3 || Word.size() > 2 + MaxDigits || Word[0] != '0' ||
      (Word[1] != 'x' && Word[1] != 'X')) {
    return false;
  }
  *Value = 0;
  for (size_t Index = 2; Index < Word.size(); ++Index) {
    const int Digit = HexDigit(Word[Index]);
    if (Digit < 0) {
      return false;
    }
    *Value = *Value * 16 + static_cast<unsigned>(Digit);
  }
  return true;
}

bool ParseAccess(const std::string &Line, PortAccess *Access) {
  std::istringstream Words(Line);
  std::string Direction, Port, Value, Extra;
  unsigned PortNumber = 0, Byte = 0;
  if (!(Words >> Direction >> Port >> Value) || (Words >> Extra) || Direction.size() != 1 ||
      !ParseHex(Port, 4, &PortNumber) || !ParseHex(Value, 2, &Byte)) {
    return false;
  }
  const char Kind = static_cast<char>(Direction[0] & ~0x20); // upper case
  if (Kind != 'R' && Kind != 'W') {
    return false;
  }
  *Access = {Kind == 'W', static_cast<uint16_t>(PortNumber), static_cast<uint8_t>(Byte), {}};
  return true;
}

} // namespace

bool ParseTraceText(const std::string &Text, std::vector<PortAccess> *Accesses,
                    std::string *Error) {
  std::istringstream Lines(Text);
  std::string Line;
  for (size_t Number = 1; std::getline(Lines, Line); ++Number) {
    const size_t First = Line.find_first_not_of(BLANKS);
    if (First == std::string::npos || Line[First] == '#') {
      continue;
    }
    PortAccess Access{};
    if (!ParseAccess(Line, &Access)) {
      const size_t Last = Line.find_last_not_of(BLANKS);
      *Error = "line " + std::to_string(Number) + ": '" + Line.substr(First, Last + 1 - First) +
               "' is not an access (R|W 0xPORT 0xVALUE, e.g. W 0x0243 0x87)";
      return false;
    }
    Accesses->push_back(Access);
  }
  return true;
}

std::string TraceLine(const PortAccess &Access) {
  return std::string(Access.IsWrite ? "W " : "R ") + HexText(Access.Port, 4) + " " +
         HexText(Access.Value, 2);
}
