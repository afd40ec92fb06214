#include "te_cli.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "exit_status.h"
#include "file_io.h"
#include "name_table.h"
#include "pe_to_te.h"
#include "te_check.h"
#include "te_image.h"
#include "te_listing.h"

namespace {

constexpr char USAGE[] =
    "Usage: te-tool COMMAND ARGUMENT...\n"
    "\n"
    "Commands:\n"
    "  te-tool convert IN.efi OUT.te   convert a PE32 IA-32 image to a TE image; OUT is\n"
    "                                  replaced only when the conversion succeeds\n"
    "  te-tool inspect IMAGE.te        list the TE header, sections, relocations and sizes,\n"
    "                                  and the check's verdict\n"
    "  te-tool check IMAGE.te          verify the module's TE image; prints its size\n"
    "  te-tool --help                  print this text\n"
    "  te-tool --version               print the version\n"
    "\n"
    "OUT may be a device or FIFO (written in place) or a symbolic link (its target is replaced);\n"
    "it may not be IN itself.\n"
    "Exit status: 0 success, 1 refused image (or, for inspect, an image the check refuses),\n"
    "2 bad command line or file I/O error.\n";

// "te-tool: COMMAND: PATH: REASON" on Err; returns Status.
int Refuse(std::ostream &Err, const std::string &Command, const std::string &Path,
           const std::string &Reason, int Status) {
  Err << "te-tool: " << Command << ": " << Path << ": " << Reason << "\n";
  return Status;
}

int Convert(const std::string &Input, const std::string &Output, std::ostream &Out,
            std::ostream &Err) {
  std::vector<uint8_t> Pe;
  std::vector<uint8_t> Te;
  std::string Error;
  if (SameFile(Input, Output)) {
    return Refuse(Err, "convert", Output, "is the same file as the input " + Input, EXIT_TROUBLE);
  }
  if (!ReadFileBytes(Input, &Pe, &Error)) {
    return Refuse(Err, "convert", Input, Error, EXIT_TROUBLE);
  }
  if (!ConvertPeToTe(Pe, &Te, &Error)) {
    return Refuse(Err, "convert", Input, Error, EXIT_FAULT);
  }
  if (!ReplaceFileBytes(Output, Te, &Error)) {
    return Refuse(Err, "convert", Output, Error, EXIT_TROUBLE);
  }
  Out << BaseName(Input) << " -> " << BaseName(Output) << ": " << Te.size() << " bytes (PE "
      << Pe.size() << " bytes)\n";
  return EXIT_OK;
}

// "inspect" lists any TE image and the check's verdict; "check" refuses an image that fails it.
int InspectOrCheck(const std::string &Command, const std::string &Path, std::ostream &Out,
                   std::ostream &Err) {
  std::vector<uint8_t> File;
  TeImage Image;
  std::string Error;
  if (!ReadFileBytes(Path, &File, &Error)) {
    return Refuse(Err, Command, Path, Error, EXIT_TROUBLE);
  }
  const bool Inspect = Command == "inspect";
  if (Inspect ? !ParseTeImage(File, &Image, &Error) : !ParseAndCheckTeImage(File, &Image, &Error)) {
    return Refuse(Err, Command, Path, Error, EXIT_FAULT);
  }
  if (!Inspect) {
    Out << BaseName(Path) << ": " << File.size() << " bytes, TE image checks passed\n";
    return EXIT_OK;
  }
  const bool Passed = CheckTeImage(Image, &Error);
  Out << DescribeTeImage(Image) << "Check\n  " << (Passed ? "passed" : "failed: " + Error) << "\n";
  return Passed ? EXIT_OK : EXIT_FAULT;
}

} // namespace

int RunTeTool(const std::vector<std::string> &Arguments, std::ostream &Out, std::ostream &Err) {
  struct Command {
    const char *Name; // cppcheck-suppress unusedStructMember ; FindByName reads it
    const char *Operands;
    size_t Count;
  };
  static const Command COMMANDS[] = {
      {"convert", "IN.efi OUT.te", 2}, {"inspect", "IMAGE.te", 1}, {"check", "IMAGE.te", 1}};
  if (AsksForHelp(Arguments)) {
    Out << USAGE;
    return EXIT_OK;
  }
  const std::string Name = Arguments.empty() ? std::string() : Arguments[0];
  const Command *Known = FindByName(COMMANDS, Name);
  if (Known != nullptr && Arguments.size() - 1 != Known->Count) {
    Err << "te-tool: usage: te-tool " << Name << " " << Known->Operands
        << " (run te-tool --help)\n";
    return EXIT_TROUBLE;
  }
  if (Known != nullptr) {
    return Name == "convert" ? Convert(Arguments[1], Arguments[2], Out, Err)
                             : InspectOrCheck(Name, Arguments[1], Out, Err);
  }
  Err << "te-tool: " << (Name.empty() ? "no command" : "unknown command '" + Name + "'")
      << " (run te-tool --help)\n";
  return EXIT_TROUBLE;
}
