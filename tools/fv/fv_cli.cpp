#include "fv_cli.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "exit_status.h"
#include "file_io.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "fv_insert.h"
#include "fv_listing.h"
#include "guid_text.h"
#include "messages.h"
#include "name_table.h"
#include "parse_number.h"
#include "peim_file.h"

namespace {

constexpr char USAGE[] =
    "Usage: fv-tool COMMAND ARGUMENT... [OPTION]...\n"
    "\n"
    "Commands:\n"
    "  fv-tool ffs IMAGE.te OUT.ffs [--guid GUID] [--name TEXT]\n"
    "      write the module's FFS file: a PEIM holding a raw section as padding, the TE image\n"
    "      and its name (default GUID 56f26cba-0844-463d-87ba-395d00c5c762, name OemInitCom)\n"
    "  fv-tool list FIRMWARE\n"
    "      list the volumes, files and sections, with offsets, sizes, GUIDs, types and free\n"
    "      space; LZMA sections are decoded and listed too\n"
    "  fv-tool insert FIRMWARE FILE.ffs OUT [--replace] [--base ADDR]\n"
    "      place the PEIM in the free space of the volume holding the PEI core, its TE image\n"
    "      rebased to run where it lands, and rebuild the containers around that volume;\n"
    "      --base gives the volume's base (default: the one its images agree on), --replace\n"
    "      swaps a file of the same GUID (default: refuse)\n"
    "  fv-tool --help\n"
    "  fv-tool --version\n"
    "\n"
    "OUT is written whole or not at all. Exit status: 0 success, 1 refused input, 2 bad command\n"
    "line or file I/O error.\n";

constexpr size_t MAX_NAME = 64;

// The operands and options after the command's name.
struct Parsed {
  std::vector<std::string> Operands;
  std::string Guid, Name, Base;
  bool HasGuid = false, HasName = false, HasBase = false, Replace = false;
};

struct Command {
  const char *Name; // cppcheck-suppress unusedStructMember ; FindByName reads it
  const char *Usage;
  size_t Operands;
  const char *Options[2]; // those taking a value end in '='; null for none
};

constexpr Command COMMANDS[] = {
    {"ffs", "ffs IMAGE.te OUT.ffs [--guid GUID] [--name TEXT]", 2, {"--guid=", "--name="}},
    {"list", "list FIRMWARE", 1, {nullptr, nullptr}},
    {"insert",
     "insert FIRMWARE FILE.ffs OUT [--replace] [--base ADDR]",
     3,
     {"--replace", "--base="}},
};

// Whether Known takes Option, spelled as in its Options.
bool Takes(const Command &Known, const std::string &Option) {
  return std::any_of(std::begin(Known.Options), std::end(Known.Options),
                     [&](const char *Name) { return Name != nullptr && Option == Name; });
}

// "fv-tool: COMMAND: WHAT: REASON" on Err; returns Status.
int Refuse(std::ostream &Err, const std::string &Command, const std::string &What,
           const std::string &Reason, int Status) {
  Err << "fv-tool: " << Command << ": " << What << ": " << Reason << "\n";
  return Status;
}

// Splits Arguments (after the command's name) into operands and the options Known allows.
[[nodiscard]] bool ParseArguments(const Command &Known, const std::vector<std::string> &Arguments,
                                  Parsed *Result, std::string *Error) {
  const auto Valued = [&Known](const std::string &Option) { return Takes(Known, Option + "="); };
  std::vector<CommandWord> Words;
  if (!SplitCommandLine({Arguments.begin() + 1, Arguments.end()}, Valued, &Words, Error)) {
    return false;
  }
  for (const CommandWord &Word : Words) {
    if (Word.Name.empty()) {
      Result->Operands.push_back(Word.Value);
    } else if (!Takes(Known, Word.Name) && !Valued(Word.Name)) {
      return Fail(Error, "unknown option '" + Word.Name + "'");
    } else if (Word.Name == "--replace") {
      Result->Replace = true;
    } else if (Word.Name == "--guid") {
      Result->HasGuid = true;
      Result->Guid = Word.Value;
    } else if (Word.Name == "--name") {
      Result->HasName = true;
      Result->Name = Word.Value;
    } else {
      Result->HasBase = true;
      Result->Base = Word.Value;
    }
  }
  if (Result->Operands.size() != Known.Operands) {
    return Fail(Error, std::string("usage: fv-tool ") + Known.Usage);
  }
  return true;
}

bool PrintableName(const std::string &Name) {
  return !Name.empty() && Name.size() <= MAX_NAME &&
         std::all_of(Name.begin(), Name.end(), [](char C) { return C >= 0x20 && C < 0x7F; });
}

int WriteFfs(const Parsed &Line, std::ostream &Out, std::ostream &Err) {
  fv::EFI_GUID Guid = OEMCOM_FILE_GUID;
  if (Line.HasGuid && !ParseGuid(Line.Guid, &Guid)) {
    return Refuse(Err, "ffs", "--guid",
                  "wants a GUID such as 56f26cba-0844-463d-87ba-395d00c5c762, not '" + Line.Guid +
                      "'",
                  EXIT_TROUBLE);
  }
  const std::string Name = Line.HasName ? Line.Name : OEMCOM_FILE_NAME;
  if (!PrintableName(Name)) {
    return Refuse(Err, "ffs", "--name",
                  "wants 1 to " + std::to_string(MAX_NAME) + " printable ASCII characters",
                  EXIT_TROUBLE);
  }
  const std::string &Input = Line.Operands[0];
  const std::string &Output = Line.Operands[1];
  std::vector<uint8_t> Te;
  std::vector<uint8_t> File;
  std::string Error;
  if (!ReadFileBytes(Input, &Te, &Error)) {
    return Refuse(Err, "ffs", Input, Error, EXIT_TROUBLE);
  }
  if (!BuildPeimFile(Te, Guid, Name, &File, &Error)) {
    return Refuse(Err, "ffs", Input, Error, EXIT_FAULT);
  }
  if (!ReplaceFileBytes(Output, File, &Error)) {
    return Refuse(Err, "ffs", Output, Error, EXIT_TROUBLE);
  }
  Out << BaseName(Input) << " -> " << BaseName(Output) << ": PEIM " << GuidText(Guid) << " \""
      << Name << "\", " << File.size() << " bytes\n";
  return EXIT_OK;
}

int List(const Parsed &Line, std::ostream &Out, std::ostream &Err) {
  const std::string &Path = Line.Operands[0];
  std::vector<uint8_t> Bytes;
  FirmwareImage Image;
  std::string Error;
  if (!ReadFileBytes(Path, &Bytes, &Error)) {
    return Refuse(Err, "list", Path, Error, EXIT_TROUBLE);
  }
  if (!ParseFirmwareImage(Bytes, &Image, &Error)) {
    return Refuse(Err, "list", Path, Error, EXIT_FAULT);
  }
  Out << DescribeFirmware(Image);
  return EXIT_OK;
}

int Insert(const Parsed &Line, std::ostream &Out, std::ostream &Err) {
  InsertOptions Options;
  Options.Replace = Line.Replace;
  Options.HasBase = Line.HasBase;
  if (Line.HasBase && !ParseNumber(Line.Base, UINT32_MAX, &Options.Base)) {
    return Refuse(Err, "insert", "--base",
                  "wants an address below 4 GiB (decimal or 0x hexadecimal), not '" + Line.Base +
                      "'",
                  EXIT_TROUBLE);
  }
  const std::string &FirmwarePath = Line.Operands[0];
  const std::string &FilePath = Line.Operands[1];
  const std::string &Output = Line.Operands[2];
  std::vector<uint8_t> Firmware;
  std::vector<uint8_t> Ffs;
  std::string Error;
  if (!ReadFileBytes(FirmwarePath, &Firmware, &Error)) {
    return Refuse(Err, "insert", FirmwarePath, Error, EXIT_TROUBLE);
  }
  if (!ReadFileBytes(FilePath, &Ffs, &Error)) {
    return Refuse(Err, "insert", FilePath, Error, EXIT_TROUBLE);
  }
  PeimFile Peim;
  if (!ReadPeimFile(Ffs, &Peim, &Error)) {
    return Refuse(Err, "insert", FilePath, Error, EXIT_FAULT);
  }
  FirmwareImage Image;
  std::vector<uint8_t> Patched;
  std::string Report;
  if (!ParseFirmwareImage(Firmware, &Image, &Error) ||
      !InsertPeim(Image, Peim, Options, &Patched, &Report, &Error)) {
    return Refuse(Err, "insert", FirmwarePath, Error, EXIT_FAULT);
  }
  if (!ReplaceFileBytes(Output, Patched, &Error)) {
    return Refuse(Err, "insert", Output, Error, EXIT_TROUBLE);
  }
  Out << BaseName(FirmwarePath) << " + " << BaseName(FilePath) << " -> " << BaseName(Output)
      << "\n";
  size_t Start = 0;
  for (size_t End = Report.find('\n'); End != std::string::npos;
       Start = End + 1, End = Report.find('\n', Start)) {
    Out << "  " << Report.substr(Start, End - Start) << "\n";
  }
  return EXIT_OK;
}

} // namespace

int RunFvTool(const std::vector<std::string> &Arguments, std::ostream &Out, std::ostream &Err) {
  if (AsksForHelp(Arguments)) {
    Out << USAGE;
    return EXIT_OK;
  }
  const std::string Name = Arguments.empty() ? std::string() : Arguments[0];
  const Command *Known = FindByName(COMMANDS, Name);
  if (Known == nullptr) {
    Err << "fv-tool: " << (Name.empty() ? "no command" : "unknown command '" + Name + "'")
        << " (run fv-tool --help)\n";
    return EXIT_TROUBLE;
  }
  Parsed Line;
  std::string Error;
  if (!ParseArguments(*Known, Arguments, &Line, &Error)) {
    Err << "fv-tool: " << Name << ": " << Error << " (run fv-tool --help)\n";
    return EXIT_TROUBLE;
  }
  if (Name == "ffs") {
    return WriteFfs(Line, Out, Err);
  }
  return Name == "list" ? List(Line, Out, Err) : Insert(Line, Out, Err);
}
