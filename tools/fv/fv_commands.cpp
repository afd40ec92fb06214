#include "fv_commands.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "edit_check.h"
#include "exit_status.h"
#include "file_io.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "fv_insert.h"
#include "fv_listing.h"
#include "fv_remove.h"
#include "guid_text.h"
#include "parse_number.h"
#include "peim_file.h"
#include "te_check.h"
#include "te_image.h"

namespace {

constexpr size_t MAX_NAME = 64;

// "fv-tool: COMMAND: WHAT: REASON" on Err; returns Status.
int Refuse(std::ostream &Err, const std::string &Command, const std::string &What,
           const std::string &Reason, int Status) {
  Err << "fv-tool: " << Command << ": " << What << ": " << Reason << "\n";
  return Status;
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

} // namespace

int RunFfs(const Parsed &Line, std::ostream &Out, std::ostream &Err) {
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

int RunList(const Parsed &Line, std::ostream &Out, std::ostream &Err) {
  std::vector<uint8_t> Bytes;
  FirmwareImage Image;
  const int Status = ReadFirmware("list", Line.Operands[0], &Bytes, &Image, Err);
  if (Status == EXIT_OK) {
    Out << DescribeFirmware(Image);
  }
  return Status;
}

int RunInsert(const Parsed &Line, std::ostream &Out, std::ostream &Err, const FaultHook &Hook) {
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
  FirmwareImage Image;
  const int Status = ReadFirmware("insert", FirmwarePath, &Firmware, &Image, Err);
  if (Status != EXIT_OK) {
    return Status;
  }
  std::vector<uint8_t> Ffs;
  PeimFile Peim;
  std::string Error;
  if (!ReadFileBytes(FilePath, &Ffs, &Error)) {
    return Refuse(Err, "insert", FilePath, Error, EXIT_TROUBLE);
  }
  if (!ReadPeimFile(Ffs, &Peim, &Error)) {
    return Refuse(Err, "insert", FilePath, Error, EXIT_FAULT);
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
int RunRemoveOrExtract(const std::string &Command, const Parsed &Line, std::ostream &Out,
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
