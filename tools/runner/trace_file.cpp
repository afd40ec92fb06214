#include "trace_file.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "file_io.h"
#include "messages.h"
#include "parse_number.h"
#include "port_names.h"

namespace {

// "0x" and 1 to MaxDigits hex digits, the whole word.
[[nodiscard]] bool ParseHex(const std::string &Word, size_t MaxDigits, uint64_t *Value) {
  return Word.size() > 2 && Word.size() <= 2 + MaxDigits && (Word[1] == 'x' || Word[1] == 'X') &&
         ParseNumber(Word, UINT64_MAX, Value);
}

[[nodiscard]] bool ParseAccess(const std::string &Line, PortAccess *Access) {
  std::istringstream Words(Line);
  std::string Direction, Port, Value, Run, Extra;
  uint64_t PortNumber = 0, Byte = 0, Count = 1;
  if (!(Words >> Direction >> Port >> Value) || Direction.size() != 1 ||
      !ParseHex(Port, 4, &PortNumber) || !ParseHex(Value, 2, &Byte)) {
    return false;
  }
  const char Kind = static_cast<char>(Direction[0] & ~0x20); // upper case
  if (Kind != 'R' && Kind != 'W') {
    return false;
  }
  // A run of reads: "x" and a decimal count.
  if ((Words >> Run) &&
      (Kind != 'R' || Run.size() < 2 || Run[0] != 'x' ||
       Run.find_first_not_of("0123456789", 1) != std::string::npos || Run[1] == '0' ||
       !ParseNumber(Run.substr(1), UINT32_MAX, &Count) || (Words >> Extra))) {
    return false;
  }
  *Access = {Kind == 'W',
             static_cast<uint16_t>(PortNumber),
             static_cast<uint8_t>(Byte),
             {},
             static_cast<uint32_t>(Count)};
  return true;
}

} // namespace

bool ReadTraceFile(const std::string &Path, std::vector<PortAccess> *Accesses, std::string *Error) {
  const auto Take = [Accesses](const std::string &Line, std::string *Reason) {
    const size_t First = Line.find_first_not_of(" \t");
    PortAccess Access{};
    if (First == std::string::npos || Line[First] == '#') {
      return true;
    }
    if (!ParseAccess(Line, &Access)) {
      return Fail(Reason, "is not an access (R|W 0xPORT 0xVALUE [xCOUNT], e.g. W 0x0243 0x87)");
    }
    AppendAccess(*Accesses, Access);
    return true;
  };
  return ReadTextLines(Path, Take, Error);
}

std::string TraceLine(const PortAccess &Access) {
  return std::string(Access.IsWrite ? "W " : "R ") + Hex(Access.Port, 4) + " " +
         Hex(Access.Value, 2) + (Access.Count > 1 ? " x" + std::to_string(Access.Count) : "");
}
