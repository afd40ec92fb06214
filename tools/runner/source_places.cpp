#include "source_places.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "file_io.h"
#include "messages.h"
#include "pe_to_te.h"
#include "struct_io.h"
#include "te_image.h"

extern char **environ; // NOLINT(readability-redundant-declaration): POSIX leaves it undeclared

namespace {

// The program Debian's llvm package puts on PATH.
constexpr char SYMBOLIZER[] = "llvm-symbolizer";

const TeSection *FindText(const TeImage &Image) {
  const auto Text = std::find_if(Image.Sections.begin(), Image.Sections.end(),
                                 [](const TeSection &Section) { return Section.Name == ".text"; });
  return Text == Image.Sections.end() ? nullptr : &*Text;
}

// Everything the child writes to Pipe until it closes it.
std::string ReadAll(int Pipe) {
  std::string Text;
  char Buffer[4096];
  for (;;) {
    const ssize_t Got = read(Pipe, Buffer, sizeof Buffer);
    if (Got > 0) {
      Text.append(Buffer, static_cast<size_t>(Got));
    } else if (Got == 0 || errno != EINTR) {
      return Text;
    }
  }
}

// What llvm-symbolizer prints for Address in the PE at Path: a function line and a
// "FILE:LINE:COLUMN" line per frame, the innermost inlined one first, then an empty line. It
// runs directly (no shell), its errors to /dev/null; nothing when it cannot be run.
std::string RunSymbolizer(const std::string &Path, uint64_t Address) {
  int Pipe[2] = {-1, -1};
  if (pipe(Pipe) != 0) {
    return "";
  }
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_adddup2(&Actions, Pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&Actions, Pipe[0]);
  posix_spawn_file_actions_addclose(&Actions, Pipe[1]);
  posix_spawn_file_actions_addopen(&Actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string Program = SYMBOLIZER;
  std::string Functions = "--functions=short";
  std::string Object = "--obj=" + Path;
  std::string Where = Hex(Address);
  char *Argv[] = {Program.data(), Functions.data(), Object.data(), Where.data(), nullptr};
  pid_t Child = 0;
  const int Spawned = posix_spawnp(&Child, SYMBOLIZER, &Actions, nullptr, Argv, environ);
  posix_spawn_file_actions_destroy(&Actions);
  close(Pipe[1]);
  std::string Text;
  if (Spawned == 0) {
    Text = ReadAll(Pipe[0]);
    int Status = 0;
    while (waitpid(Child, &Status, 0) < 0 && errno == EINTR) {
    }
  }
  close(Pipe[0]);
  return Text;
}

std::vector<std::string> SymbolizerLines(const std::string &Path, uint64_t Address) {
  std::vector<std::string> Lines;
  std::istringstream Text(RunSymbolizer(Path, Address));
  std::string Line;
  while (std::getline(Text, Line) && !Line.empty()) {
    Lines.push_back(Line);
  }
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
