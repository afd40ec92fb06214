#include "code_coverage.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "file_io.h"
#include "link_map.h"
#include "messages.h"
#include "parse_number.h"
#include "struct_io.h"

namespace {

// A contribution of the map's section table: " 0001:0000060c 00000484H .rdata  CODE".
struct Contribution {
  uint32_t Section = 0;
  uint32_t Offset = 0;
  uint32_t Length = 0;
  std::string Name;
};

// "0001:0000060c" as section 1, offset 0x60c.
[[nodiscard]] bool ParsePlace(const std::string &Place, uint32_t *Section, uint32_t *Offset) {
  const size_t Colon = Place.find(':');
  uint64_t SectionNumber = 0, OffsetValue = 0;
  if (Colon == std::string::npos ||
      !ParseNumber("0x" + Place.substr(0, Colon), UINT32_MAX, &SectionNumber) ||
      !ParseNumber("0x" + Place.substr(Colon + 1), UINT32_MAX, &OffsetValue)) {
    return false;
  }
  *Section = static_cast<uint32_t>(SectionNumber);
  *Offset = static_cast<uint32_t>(OffsetValue);
  return true;
}

// What a map says about where the code is: the linked base, the section table, and the linked
// address of each section's start, from the first symbol placed in it.
struct MapLayout {
  uint64_t PreferredBase = UINT64_MAX;
  std::vector<Contribution> Contributions;
  std::map<uint32_t, uint32_t> SectionStart;
};

[[nodiscard]] bool TakeMapLine(const std::string &Line, bool *InTable, MapLayout *Map,
                               std::string *Reason) {
  std::istringstream Words(Line);
  std::string First, Second, Third;
  Words >> First >> Second >> Third;
  const std::string PREFERRED = "Preferred load address is ";
  if (Line.find(PREFERRED) != std::string::npos) {
    if (!ParseNumber("0x" + Line.substr(Line.find(PREFERRED) + PREFERRED.size()), UINT32_MAX,
                     &Map->PreferredBase)) {
      return Fail(Reason, "has no address a 32-bit image can have");
    }
    return true;
  }
  if (First == "Start" && Second == "Length") {
    *InTable = true;
    return true;
  }
  uint32_t Section = 0, Offset = 0;
  if (First.empty() || !ParsePlace(First, &Section, &Offset)) {
    *InTable = *InTable && First.empty();
    return true;
  }
  uint64_t Value = 0;
  if (*InTable) {
    if (Second.size() < 2 || Second.back() != 'H' ||
        !ParseNumber("0x" + Second.substr(0, Second.size() - 1), UINT32_MAX, &Value)) {
      return Fail(Reason, "is not a contribution line (SECTION:OFFSET LENGTHH NAME CLASS)");
    }
    Map->Contributions.push_back({Section, Offset, static_cast<uint32_t>(Value), Third});
  } else if (ParseNumber("0x" + Third, UINT32_MAX, &Value) && Value >= Offset) {
    Map->SectionStart.emplace(Section, static_cast<uint32_t>(Value) - Offset);
  }
  return true;
}

} // namespace

bool ReadCodeExtent(const std::string &Path, CodeExtent *Extent, std::string *Error) {
  MapLayout Map;
  bool InTable = false;
  const auto Take = [&InTable, &Map](const std::string &Line, std::string *Reason) {
    return TakeMapLine(Line, &InTable, &Map, Reason);
  };
  if (!ReadTextLines(Path, Take, Error)) {
    return false;
  }
  if (Map.PreferredBase == UINT64_MAX) {
    return Fail(Error, "no preferred load address");
  }
  const auto Text = std::find_if(Map.Contributions.begin(), Map.Contributions.end(),
                                 [](const Contribution &Part) { return Part.Name == ".text"; });
  if (Text == Map.Contributions.end()) {
    return Fail(Error, "no .text contribution");
  }
  const auto Data = std::find_if(Map.Contributions.begin(), Map.Contributions.end(),
                                 [&Text](const Contribution &Part) {
                                   return Part.Name == ".rdata" && Part.Section == Text->Section &&
                                          Part.Offset >= Text->Offset;
                                 });
  const auto Start = Map.SectionStart.find(Text->Section);
  if (Start == Map.SectionStart.end()) {
    return Fail(Error, "no symbol in section " + std::to_string(Text->Section) + " to place it");
  }
  uint32_t TextEnd = 0;
  for (const Contribution &Part : Map.Contributions) {
    if (Part.Name == ".text" && Part.Section == Text->Section) {
      TextEnd = std::max(TextEnd, Part.Offset + Part.Length);
    }
  }
  const uint32_t End = Data != Map.Contributions.end() ? Data->Offset : TextEnd;
  const uint32_t Rva = Start->second - static_cast<uint32_t>(Map.PreferredBase);
  Extent->PreferredBase = static_cast<uint32_t>(Map.PreferredBase);
  Extent->Low = Rva + Text->Offset;
  Extent->High = Rva + End;
  Extent->TextEnd = Rva + std::min(TextEnd, End);
  return true;
}

bool AppendExecutedCode(const std::string &Path, const ExecutedCode &Code, std::string *Error) {
  std::string Text;
  for (const auto &[Rva, Length] : Code) {
    Text += Hex(Rva, 8) + " " + std::to_string(Length) + "\n";
  }
  return AppendFileBytes(
      Path, ByteView(reinterpret_cast<const uint8_t *>(Text.data()), Text.size()), Error);
}

bool ReadExecutedCode(const std::string &Path, ExecutedCode *Code, std::string *Error) {
  const auto Take = [Code](const std::string &Line, std::string *Reason) {
    std::istringstream Words(Line);
    std::string Rva, Length, Extra;
    Words >> Rva >> Length >> Extra;
    uint64_t RvaValue = 0, LengthValue = 0;
    if (!Extra.empty() || !ParseNumber(Rva, UINT32_MAX, &RvaValue) ||
        !ParseNumber(Length, 15, &LengthValue) || LengthValue == 0) {
      return Fail(Reason, "is not an instruction (RVA LENGTH, a length of 1 to 15 bytes)");
    }
    (*Code)[static_cast<uint32_t>(RvaValue)] = static_cast<uint32_t>(LengthValue);
    return true;
  };
  return ReadTextLines(Path, Take, Error);
}

namespace {

// One flag per code byte: covered by an executed instruction.
std::vector<bool> CoveredBytes(const CodeExtent &Extent, const ExecutedCode &Code) {
  std::vector<bool> Covered(Extent.High - Extent.Low, false);
  for (const auto &[Rva, Length] : Code) {
    const uint64_t End = uint64_t{Rva} + Length;
    for (uint64_t At = std::max<uint64_t>(Rva, Extent.Low);
         At < std::min<uint64_t>(End, Extent.High); ++At) {
      Covered[At - Extent.Low] = true;
    }
  }
  return Covered;
}

} // namespace

CoverageFigures MeasureCoverage(const CodeExtent &Extent, const ExecutedCode &Code) {
  const std::vector<bool> Covered = CoveredBytes(Extent, Code);
  return {static_cast<uint32_t>(Covered.size()),
          static_cast<uint32_t>(std::count(Covered.begin(), Covered.end(), true))};
}

std::string CoverageReport(const std::string &MapName, const CodeExtent &Extent,
                           const LinkMap &Symbols, const ExecutedCode &Code) {
  const std::vector<bool> Covered = CoveredBytes(Extent, Code);
  const CoverageFigures Figures = MeasureCoverage(Extent, Code);
  // Tenths of a percent, cut rather than rounded: 94.96% must not read as 95.0%.
  const uint64_t Tenths =
      uint64_t{Figures.ExecutedBytes} * 1000 / std::max<uint32_t>(Figures.CodeBytes, 1);
  std::string Report = "code bytes executed (" + MapName +
                       "): " + std::to_string(Figures.ExecutedBytes) + " of " +
                       std::to_string(Figures.CodeBytes) + " (" + std::to_string(Tenths / 10) +
                       "." + std::to_string(Tenths % 10) + "%)\n";
  std::string Gaps;
  for (uint32_t At = 0; At < Covered.size();) {
    if (Covered[At]) {
      ++At;
      continue;
    }
    // A gap ends at the next covered byte, where the next symbol starts, or where .text ends.
    const uint32_t Linked = Extent.PreferredBase + Extent.Low + At;
    const auto NextSymbol = Symbols.upper_bound(Linked);
    const uint64_t Stop = std::min<uint64_t>(
        NextSymbol == Symbols.end() ? UINT64_MAX : NextSymbol->first,
        Extent.Low + At < Extent.TextEnd ? Extent.PreferredBase + Extent.TextEnd : UINT64_MAX);
    uint32_t End = At + 1;
    while (End < Covered.size() && !Covered[End] &&
           Extent.PreferredBase + Extent.Low + End < Stop) {
      ++End;
    }
    Gaps +=
        "  " + Hex(Linked, 8) + "  " + Counted(End - At, "byte") + "  " +
        (Extent.Low + At >= Extent.TextEnd ? "padding after .text" : PlaceName(Symbols, Linked)) +
        "\n";
    At = End;
  }
  if (!Gaps.empty()) {
    Report += "not executed (linked address, bytes, place):\n" + Gaps;
  }
  return Report;
}
