#include "fv_cli.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "edit_check.h"
#include "exit_status.h"
#include "file_io.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "fv_insert.h"
#include "fv_listing.h"
#include "fv_remove.h"
#include "guid_text.h"
#include "messages.h"
#include "name_table.h"
#include "parse_number.h"
#include "peim_file.h"
#include "te_check.h"
#include "te_image.h"

namespace {

constexpr char USAGE[] =
    "Usage:\n"
    "  fv-tool ffs IMAGE.te OUT.ffs [--guid GUID] [--name TEXT]\n"
    "      write the module's FFS file: a PEIM holding a raw section as padding, the TE image\n"
    "      and its name (default GUID 56f26cba-0844-463d-87ba-395d00c5c762, name OemInitCom)\n"
    "  fv-tool list FIRMWARE\n"
    "      list the volumes, files and sections, with offsets, sizes, GUIDs, types and free\n"
    "      space; LZMA sections are decoded and listed too\n"
    "  fv-tool insert FIRMWARE FILE.ffs OUT [--replace] [--base ADDR] [--volume GUID] [--early]\n"
    "      place the PEIM in the free space of the volume holding the PEI core, its TE image\n"
    "      rebased to run where it lands, and rebuild the containers around that volume;\n"
    "      --base gives the volume's base (default: the one its images agree on, which it\n"
    "      must not contradict), --replace swaps a file of the same GUID and type (default:\n"
    "      refuse), --volume names the volume when several hold a PEI core, --early lists the\n"
    "      file first in the volume's PEI apriori file, which grows into the pad file after it\n"
    "  fv-tool remove FIRMWARE GUID OUT\n"
    "      take the file out of whichever volume holds it, with the pad file before it and its\n"
    "      GUID in the PEI apriori file, and rebuild the containers around that volume\n"
    "  fv-tool extract FIRMWARE GUID OUT\n"
    "      write the file's TE or PE32 image as it lies in the firmware, rebased to run there\n"
    "  fv-tool --help\n"
    "OUT is written whole or not at all, and insert and remove check it first. Exit status: 0\n"
    "success, 1 refused input, 2 bad command line or file I/O error, 3 the check of the\n"
    "result failed (a fault in fv-tool; nothing written).\n";

constexpr size_t MAX_NAME = 64;

// The operands and options after the command's name.
struct Parsed {
  std::vector<std::string> Operands;
  std::string Guid, Name, Base, Volume;
  bool HasGuid = false, HasName = false, HasBase = false, HasVolume = false, Replace = false,
       Early = false;
};

struct Command {
  const char *Name; // cppcheck-suppress unusedStructMember ; FindByName reads it
  const char *Usage;
  size_t Operands;
  const char *Options[4]; // those taking a value end in '='; null for none
};

constexpr Command COMMANDS[] = {
    {"ffs", "ffs IMAGE.te OUT.ffs [--guid GUID] [--name TEXT]", 2, {"--guid=", "--name="}},
    {"list", "list FIRMWARE", 1, {}},
    {"insert",
     "insert FIRMWARE FILE.ffs OUT [--replace] [--base ADDR] [--volume GUID] [--early]",
     3,
     {"--replace", "--base=", "--volume=", "--early"}},
    {"remove", "remove FIRMWARE GUID OUT", 3, {}},
    {"extract", "extract FIRMWARE GUID OUT", 3, {}},
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
    } else if (Word.Name == "--early") {
      Result->Early = true;
    } else if (Word.Name == "--guid") {
      Result->HasGuid = true;
      Result->Guid = Word.Value;
    } else if (Word.Name == "--name") {
      Result->HasName = true;
      Result->Name = Word.Value;
    } else if (Word.Name == "--volume") {
      Result->HasVolume = true;
      Result->Volume = Word.Value;
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

// Reads Guid's text into Value; refuses it, for What, on Err with Status.
bool ReadGuid(const std::string &Text, fv::EFI_GUID *Value, const std::string &Command,
              const std::string &What, std::ostream &Err) {
  if (ParseGuid(Text, Value)) {
    return true;
  }
  (void)Refuse(Err, Command, What,
               "wants a GUID such as 56f26cba-0844-463d-87ba-395d00c5c762, not '" + Text + "'",
               EXIT_TROUBLE);
  return false;
}

int WriteFfs(const Parsed &Line, std::ostream &Out, std::ostream &Err) {
  fv::EFI_GUID Guid = OEMCOM_FILE_GUID;
  if (Line.HasGuid && !ReadGuid(Line.Guid, &Guid, "ffs", "--guid", Err)) {
    return EXIT_TROUBLE;
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
  TeImage Image;
  if (!ParseAndCheckTeImage(Te, &Image, &Error) || !BuildPeimFile(Te, Guid, Name, &File, &Error)) {
    return Refuse(Err, "ffs", Input, Error, EXIT_FAULT);
  }
  if (!ReplaceFileBytes(Output, File, &Error)) {
    return Refuse(Err, "ffs", Output, Error, EXIT_TROUBLE);
  }
  Out << BaseName(Input) << " -> " << BaseName(Output) << ": PEIM " << GuidText(Guid) << " \""
      << Name << "\", " << File.size() << " bytes\n";
  return EXIT_OK;
}

// The firmware image at Path, read and parsed into Bytes and Image; EXIT_OK, or the status of
// the refusal written to Err.
int ReadFirmware(const std::string &Command, const std::string &Path, std::vector<uint8_t> *Bytes,
                 FirmwareImage *Image, std::ostream &Err) {
  std::string Error;
  if (!ReadFileBytes(Path, Bytes, &Error)) {
    return Refuse(Err, Command, Path, Error, EXIT_TROUBLE);
  }
  if (!ParseFirmwareImage(*Bytes, Image, &Error)) {
    return Refuse(Err, Command, Path, Error, EXIT_FAULT);
  }
  return EXIT_OK;
}

int List(const Parsed &Line, std::ostream &Out, std::ostream &Err) {
  std::vector<uint8_t> Bytes;
  FirmwareImage Image;
  const int Status = ReadFirmware("list", Line.Operands[0], &Bytes, &Image, Err);
  if (Status == EXIT_OK) {
    Out << DescribeFirmware(Image);
  }
  return Status;
}

// Writes an edit's result to Output and its report, each line indented, after Title; or the
// refusal, with the exit status its outcome calls for.
int FinishCommand(const std::string &Command, const std::string &Blamed, EditOutcome Outcome,
                  const std::string &Error, const std::vector<uint8_t> &Result,
                  const std::string &Output, const std::string &Title, const std::string &Report,
                  std::ostream &Out, std::ostream &Err) {
  if (Outcome != EditOutcome::Done) {
    return Refuse(Err, Command, Blamed, Error,
                  Outcome == EditOutcome::FaultInTool ? EXIT_INTERNAL : EXIT_FAULT);
  }
  std::string Reason;
  if (!ReplaceFileBytes(Output, Result, &Reason)) {
    return Refuse(Err, Command, Output, Reason, EXIT_TROUBLE);
  }
  Out << Title << "\n";
  size_t Start = 0;
  for (size_t End = Report.find('\n'); End != std::string::npos;
       Start = End + 1, End = Report.find('\n', Start)) {
    Out << "  " << Report.substr(Start, End - Start) << "\n";
  }
  return EXIT_OK;
}

int Insert(const Parsed &Line, std::ostream &Out, std::ostream &Err, const FaultHook &Hook) {
  InsertOptions Options;
  Options.Replace = Line.Replace;
  Options.Early = Line.Early;
  Options.HasBase = Line.HasBase;
  if (Line.HasBase && !ParseNumber(Line.Base, UINT32_MAX, &Options.Base)) {
    return Refuse(Err, "insert", "--base",
                  "wants an address below 4 GiB (decimal or 0x hexadecimal), not '" + Line.Base +
                      "'",
                  EXIT_TROUBLE);
  }
  Options.HasVolume = Line.HasVolume;
  if (Line.HasVolume && !ReadGuid(Line.Volume, &Options.Volume, "insert", "--volume", Err)) {
    return EXIT_TROUBLE;
  }
  const std::string &FirmwarePath = Line.Operands[0];
  const std::string &FilePath = Line.Operands[1];
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
  if (!ParseFirmwareImage(Firmware, &Image, &Error)) {
    return Refuse(Err, "insert", FirmwarePath, Error, EXIT_FAULT);
  }
  std::vector<uint8_t> Patched;
  std::string Report;
  const EditOutcome Outcome = InsertPeim(Image, Peim, Options, &Patched, &Report, &Error, Hook);
  return FinishCommand("insert", FirmwarePath, Outcome, Error, Patched, Line.Operands[2],
                       BaseName(FirmwarePath) + " + " + BaseName(FilePath) + " -> " +
                           BaseName(Line.Operands[2]),
                       Report, Out, Err);
}

// remove and extract: FIRMWARE GUID OUT.
int RemoveOrExtract(const std::string &Command, const Parsed &Line, std::ostream &Out,
                    std::ostream &Err, const FaultHook &Hook) {
  const std::string &FirmwarePath = Line.Operands[0];
  const std::string &Output = Line.Operands[2];
  fv::EFI_GUID Name{};
  if (!ReadGuid(Line.Operands[1], &Name, Command, "GUID", Err)) {
    return EXIT_TROUBLE;
  }
  std::vector<uint8_t> Firmware;
  FirmwareImage Image;
  const int Status = ReadFirmware(Command, FirmwarePath, &Firmware, &Image, Err);
  if (Status != EXIT_OK) {
    return Status;
  }
  std::vector<uint8_t> Result;
  std::string Report;
  std::string Error;
  const EditOutcome Outcome =
      Command == "remove" ? RemoveNamedFile(Image, Name, &Result, &Report, &Error, Hook)
      : ExtractImage(Image, Name, &Result, &Report, &Error) ? EditOutcome::Done
                                                            : EditOutcome::Refused;
  return FinishCommand(Command, FirmwarePath, Outcome, Error, Result, Output,
                       BaseName(FirmwarePath) + " -> " + BaseName(Output), Report, Out, Err);
}

} // namespace

int RunFvTool(const std::vector<std::string> &Arguments, std::ostream &Out, std::ostream &Err,
              const FaultHook &Hook) {
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
  if (Name == "list") {
    return List(Line, Out, Err);
  }
  return Name == "insert" ? Insert(Line, Out, Err, Hook)
                          : RemoveOrExtract(Name, Line, Out, Err, Hook);
}
