#include "link_map.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "file_io.h"
#include "messages.h"
#include "parse_number.h"

namespace {

// "_FormatTextV" (C) and "?PutText@?A0x7BBF4FE6@@YAX...@Z" (C++) become "FormatTextV" and
// "PutText"; other names, such as the "??_C@..." of string literals, stay as they are.
std::string SourceName(const std::string &Symbol) {
  if (Symbol.size() > 1 && Symbol[0] == '?' && Symbol[1] != '?') {
    return Symbol.substr(1, Symbol.find('@') - 1);
  }
  return Symbol.size() > 1 && Symbol[0] == '_' ? Symbol.substr(1) : Symbol;
}

} // namespace

bool ReadLinkMap(const std::string &Path, LinkMap *Symbols, std::string *Error) {
  bool InList = false; // after a heading, up to a line that is not a symbol's
  // " 0001:000000be       _FormatTextV               00000000004002be     oemcom.efi.lto.obj":
  // section:offset, the symbol, its linked address, then where it came from.
  const auto Take = [&InList, Symbols](const std::string &Line, std::string *Reason) {
    std::istringstream Words(Line);
    std::string Place, Name, Address;
    uint64_t Value = 0;
    Words >> Place >> Name >> Address;
    if (Line.find("Publics by Value") != Line.npos || Line.find("Static symbols") != Line.npos) {
      InList = true;
    } else if (InList && Place.find(':') != Place.npos) {
      if (!ParseNumber("0x" + Address, UINT32_MAX, &Value)) {
        return Fail(Reason, "is not a symbol line (SECTION:OFFSET NAME ADDRESS OBJECT)");
      }
      Symbols->emplace(static_cast<uint32_t>(Value), SourceName(Name));
    } else if (!Place.empty()) {
      InList = false; // "entry point at ...", or another list
    }
    return true;
  };
  if (!ReadTextLines(Path, Take, Error)) {
    return false;
  }
  if (Symbols->empty()) {
    return Fail(Error, "no symbols: not a link map of lld-link /map");
  }
  return true;
}

std::string PlaceName(const LinkMap &Symbols, uint32_t Linked) {
  const auto Next = Symbols.upper_bound(Linked);
  if (Next == Symbols.begin()) {
    return "(no symbol)";
  }
  const auto Symbol = std::prev(Next);
  return Linked == Symbol->first ? Symbol->second
                                 : Symbol->second + "+" + Hex(Linked - Symbol->first);
}

std::string FunctionProfile(const std::string &MapName, const LinkMap &Symbols,
                            uint32_t PreferredBase,
                            const std::map<uint32_t, uint64_t> &InstructionsAt) {
  std::map<std::string, uint64_t> ByName;
  for (const auto &[Rva, Count] : InstructionsAt) {
    const auto Next = Symbols.upper_bound(PreferredBase + Rva);
    ByName[Next == Symbols.begin() ? "(no symbol)" : std::prev(Next)->second] += Count;
  }
  std::vector<std::pair<std::string, uint64_t>> Functions(ByName.begin(), ByName.end());
  std::stable_sort(Functions.begin(), Functions.end(),
                   [](const auto &Left, const auto &Right) { return Left.second > Right.second; });
  size_t NameWidth = 20, CountWidth = 1;
  for (const auto &[Name, Count] : Functions) {
    NameWidth = std::max(NameWidth, Name.size());
    CountWidth = std::max(CountWidth, std::to_string(Count).size());
  }
  std::string Text = "instructions by function (" + MapName + "):\n";
  for (const auto &[Name, Count] : Functions) {
    const std::string Number = std::to_string(Count);
    Text += "  " + Name;
    Text.append(NameWidth - Name.size() + 1 + CountWidth - Number.size(), ' ');
    Text += Number + "\n";
  }
  return Text;
}
