#include "trace_file.h"

#include <sstream>

#include "file_io.h"
#include "messages.h"
#include "parse_number.h"

namespace {

constexpr char BLANKS[] = " \t\r";

// "0x" and 1 to MaxDigits hex digits, the whole word.
bool ParseHex(const std::string &Word, size_t MaxDigits, uint64_t *Value) {
  return Word.size() > 2 && Word.size() <= 2 + MaxDigits && (Word[1] == 'x' || Word[1] == 'X') &&
         ParseNumber(Word, UINT64_MAX, Value);
}

bool ParseAccess(const std::string &Line, PortAccess *Access) {
  std::istringstream Words(Line);
  std::string Direction, Port, Value, Extra;
  uint64_t PortNumber = 0, Byte = 0;
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

bool ReadTraceFile(const std::string &Path, std::vector<PortAccess> *Accesses, std::string *Error) {
  std::vector<uint8_t> Bytes;
  if (!ReadFileBytes(Path, &Bytes, Error)) {
    return Fail(Error, Path + ": " + *Error);
  }
  std::istringstream Lines(std::string(Bytes.begin(), Bytes.end()));
  std::string Line;
  for (size_t Number = 1; std::getline(Lines, Line); ++Number) {
    const size_t First = Line.find_first_not_of(BLANKS);
    if (First == std::string::npos || Line[First] == '#') {
      continue;
    }
    PortAccess Access{};
    if (!ParseAccess(Line, &Access)) {
      const size_t Last = Line.find_last_not_of(BLANKS);
      return Fail(Error, Path + ": line " + std::to_string(Number) + ": '" +
                             Line.substr(First, Last + 1 - First) +
                             "' is not an access (R|W 0xPORT 0xVALUE, e.g. W 0x0243 0x87)");
    }
    Accesses->push_back(Access);
  }
  return true;
}

std::string TraceLine(const PortAccess &Access) {
  return std::string(Access.IsWrite ? "W " : "R ") + Hex(Access.Port, 4) + " " +
         Hex(Access.Value, 2);
}
