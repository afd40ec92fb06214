#include "fv_cli.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "edit_check.h"
#include "exit_status.h"
#include "fv_commands.h"
#include "messages.h"
#include "name_table.h"

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
    "  fv-tool --version\n"
    "\n"
    "OUT is written whole or not at all, and insert and remove check it first. Exit status: 0\n"
    "success, 1 refused input, 2 bad command line or file I/O error, 3 the check of the\n"
    "result failed (a fault in fv-tool; nothing written).\n";
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
    return RunFfs(Line, Out, Err);
  }
  if (Name == "list") {
    return RunList(Line, Out, Err);
  }
  return Name == "insert" ? RunInsert(Line, Out, Err, Hook)
                          : RunRemoveOrExtract(Name, Line, Out, Err, Hook);
}
