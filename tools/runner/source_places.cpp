#include "source_places.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "file_io.h"
#include "messages.h"
#include "pe_to_te.h"
#include "te_image.h"

namespace {

// The program Debian's llvm package puts on PATH.
constexpr char SYMBOLIZER[] = "llvm-symbolizer";

const TeSection *FindText(const TeImage &Image) {
  for (const TeSection &Section : Image.Sections) {
    if (Section.Name == ".text") {
      return &Section;
    }
  }
  return nullptr;
}

// Text as one shell word: in single quotes, each single quote closed, escaped and reopened.
std::string ShellWord(const std::string &Text) {
  std::string Word = "'";
  for (const char Character : Text) {
    Word += Character == '\'' ? std::string("'\\''") : std::string(1, Character);
  }
  return Word + "'";
}

// llvm-symbolizer's answer for one address: a function line and a "FILE:LINE:COLUMN" line per
// frame, the innermost inlined one first, then an empty line.
std::vector<std::string> SymbolizerLines(const std::string &Path, uint64_t Address) {
  const std::string Command = std::string(SYMBOLIZER) +
                              " --functions=short --obj=" + ShellWord(Path) + " " + Hex(Address) +
                              " 2>/dev/null";
  std::vector<std::string> Lines;
  FILE *Pipe = popen(Command.c_str(), "r");
  if (Pipe == nullptr) {
    return Lines;
  }
  char Buffer[1024];
  while (std::fgets(Buffer, sizeof Buffer, Pipe) != nullptr) {
    std::string Line(Buffer);
    while (!Line.empty() && (Line.back() == '\n' || Line.back() == '\r')) {
      Line.pop_back();
    }
    if (Line.empty()) {
      break;
    }
    Lines.push_back(Line);
  }
  pclose(Pipe);
  return Lines;
}

// "FILE:LINE:COLUMN" without its column.
std::string FileAndLine(const std::string &Place) {
  const size_t Column = Place.rfind(':');
  return Column == std::string::npos ? Place : Place.substr(0, Column);
}

} // namespace

bool OpenDebugTwin(ByteView ShippedTe, const std::string &TwinPath, DebugTwin *Twin,
                   std::string *Error) {
  TeImage Shipped;
  if (!ParseTeImage(ShippedTe, &Shipped, Error)) {
    return false;
  }
  std::vector<uint8_t> TwinPe;
  std::vector<uint8_t> TwinTe;
  TeImage Image;
  if (!ReadFileBytes(TwinPath, &TwinPe, Error)) {
    return Fail(Error, TwinPath + ": " + *Error);
  }
  if (!ReadPeAsTe(TwinPe, &TwinTe, Error) || !ParseTeImage(TwinTe, &Image, Error)) {
    return Fail(Error, TwinPath + ": " + *Error);
  }
  const TeSection *ShippedText = FindText(Shipped);
  const TeSection *TwinText = FindText(Image);
  if (ShippedText == nullptr || TwinText == nullptr) {
    return Fail(Error, std::string(ShippedText == nullptr ? "the image" : TwinPath) +
                           " has no .text section");
  }
  if (TwinText->VirtualSize < ShippedText->VirtualSize) {
    return Fail(Error, TwinPath + ": .text of " + Hex(TwinText->VirtualSize) +
                           " bytes is smaller than the image's " + Hex(ShippedText->VirtualSize) +
                           ": not its debug twin");
  }
  *Twin = {TwinPath, ShippedText->VirtualAddress, ShippedText->VirtualSize,
           Image.ImageBase + TwinText->VirtualAddress};
  return true;
}

std::string SourcePlace(const DebugTwin &Twin, uint32_t Rva) {
  if (Rva < Twin.ShippedTextRva || Rva - Twin.ShippedTextRva >= Twin.ShippedTextSize) {
    return "";
  }
  const std::vector<std::string> Lines =
      SymbolizerLines(Twin.Path, Twin.TwinText + (Rva - Twin.ShippedTextRva));
  std::string Place;
  for (size_t At = 0; At + 1 < Lines.size(); At += 2) {
    if (Lines[At] == "??") {
      break;
    }
    Place += (Place.empty() ? "" : " in ") + Lines[At] + " at " + FileAndLine(Lines[At + 1]);
  }
  return Place;
}
